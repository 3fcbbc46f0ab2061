#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <memory>

// One entry of the error list: what failed, and the result dictionary of the request.
class RTErrorMessage
{
public:
    RTErrorMessage(QString description, QVariantMap requestResponseDictionary,
                   QVariantMap userInfoDictionary = {});

    [[nodiscard]] QString description() const { return m_description; }
    [[nodiscard]] QVariantMap requestResponseDictionary() const
    {
        return m_requestResponseDictionary;
    }
    [[nodiscard]] QVariantMap userInfoDictionary() const { return m_userInfoDictionary; }
    [[nodiscard]] bool isNew() const { return m_isNew; }
    void setIsNew(bool isNew) { m_isNew = isNew; }

private:
    QString m_description;
    QVariantMap m_requestResponseDictionary;
    QVariantMap m_userInfoDictionary;
    bool m_isNew = true;
};

using RTErrorMessagePtr = std::shared_ptr<RTErrorMessage>;

// The error list the window layer shows. Posting the same message object twice lists it
// once; every failure makes a new message, so two failures give two entries. Posting is
// safe from any thread; signals and the 30-second alert timer live on the main thread.
class RTErrorMessageManager : public QObject
{
    Q_OBJECT
public:
    static constexpr int kHideStatusAlertMilliseconds = 30000;
    // Oldest entries are dropped beyond this, so a long offline spell cannot grow the
    // list (and the results it keeps alive) without end.
    static constexpr int kMaxErrorMessages = 500;

    static RTErrorMessageManager &sharedManager();

    void postErrorMessage(const RTErrorMessagePtr &message, const QString &contextString,
                          bool flashStatus);

    [[nodiscard]] QList<RTErrorMessagePtr> errorMessagesArray() const;
    // The stored entry of an identity (kRTErrorMessage, kRTErrorMessagePostDate, ...).
    [[nodiscard]] QVariantMap entryForIdentifier(const QString &identifier) const;
    [[nodiscard]] static QString identifierForMessage(const RTErrorMessagePtr &message,
                                                      const QString &contextString);

    [[nodiscard]] bool shouldHideStatusAlert() const;
    // Timer handler: the status alert has been shown long enough.
    void hideStatusAlert();
    [[nodiscard]] bool isHideTimerActive() const { return m_hideTimer && m_hideTimer->isActive(); }

    void removeAllErrorMessages();

signals:
    void errorMessagesChanged();
    void shouldHideStatusAlertChanged(bool hide);

private:
    RTErrorMessageManager();
    void restartHideTimer();

    mutable QMutex m_lock;
    QHash<QString, QVariantMap> m_entries;
    QList<RTErrorMessagePtr> m_errorMessages;
    QList<QString> m_order;
    bool m_shouldHideStatusAlert = true;
    QTimer *m_hideTimer = nullptr;
};

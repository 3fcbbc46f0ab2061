#pragma once

#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariantMap>

// The lines of the main window's status bar, as state the window layer observes. Each
// line belongs to an object (usually a request operation) and a context; the object is
// only an identity and is never dereferenced, so a line may outlive it. Safe to call from
// any thread: entries change at once under a lock, the change signals and the expiry of
// transient lines happen on the main thread.
class RTStatusManager : public QObject
{
    Q_OBJECT
public:
    struct Status
    {
        quintptr identifier = 0;
        QString contextString;
        QString statusString;
        bool showProgress = false;
        bool isTransient = false;
        QDateTime startDate;
        double transientDuration = 0; // seconds, transient lines only
    };

    static RTStatusManager &sharedManager();

    // A lasting line; replaces the line of the same object and context.
    void addStatusWithObject(const void *object, const QString &contextString, const QString &text,
                             bool showProgressIdicator);
    // A line that goes away by itself after duration seconds.
    void addTransientStatusForObject(const void *object, const QString &contextString,
                                     const QString &text, double duration);
    void removeStatusForObject(const void *object, const QString &contextString);

    [[nodiscard]] QList<Status> statuses() const;
    // The entries in dictionary form (kRTStatusIdentifier, kRTContextString, ...).
    [[nodiscard]] QList<QVariantMap> statusDictionaries() const;
    [[nodiscard]] bool hasStatusForObject(const void *object, const QString &contextString) const;
    // The newest line with a text; empty when there is none.
    [[nodiscard]] QString statusText() const;
    [[nodiscard]] bool showsProgress() const;

    // Timer handler: drops transient lines whose time is up (by the shared Clock).
    void removeExpiredStatuses();
    // Forgets every line (tests, shutdown).
    void removeAllStatuses();

signals:
    void statusesChanged();
    void statusTextChanged(const QString &text);

private:
    RTStatusManager() = default;
    void putStatus(Status status);
    void updateStatus();
    void scheduleExpiry(double seconds);

    mutable QMutex m_lock;
    QList<Status> m_statuses;
    QString m_shownText;
};

#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <memory>

class RTServiceTwitter;
class TADataManager;

// Logs a Twitter account in with a screen name and a password (the xAuth exchange) and
// adds it to the store: the add-account sheet and `talvoctl login` both go through here.
// The password stays in memory until Twitter accepts it; a failed or cancelled log-in
// leaves nothing in the keyring or the store. Main thread only.
class RTTwitterAccountLogin : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 60000;

    explicit RTTwitterAccountLogin(TADataManager &store, QObject *parent = nullptr);
    // Cancels a log-in still in flight.
    ~RTTwitterAccountLogin() override;

    // False (and errorSentence() set, nothing emitted) when the log-in cannot start: an
    // empty field, a keyring that is missing or locked, an account of another host
    // profile. Otherwise exactly one of succeeded() and failed() follows, unless cancel().
    bool start(const QString &screenName, const QString &password,
               int timeoutMs = kDefaultTimeoutMs);
    // Stops waiting; an answer that still arrives is undone (a new account's tokens are
    // taken out of the keyring again).
    void cancel();
    [[nodiscard]] bool isBusy() const { return m_attempt != nullptr; }
    [[nodiscard]] QString errorSentence() const { return m_errorSentence; }
    // The account once the log-in succeeded.
    [[nodiscard]] std::shared_ptr<RTServiceTwitter> account() const { return m_account; }

    // What the user reads for a failed token request: what went wrong and what to do.
    [[nodiscard]] static QString failureSentence(const QVariantMap &result);

signals:
    // identifier: as TAAccounts::identifier().
    void succeeded(const QString &identifier);
    void failed(const QString &sentence);

private:
    struct Attempt;
    void answered(bool success, const QVariantMap &result);
    void finishSuccess(const QVariantMap &result);
    void fail(const QString &sentence);

    TADataManager &m_store;
    std::shared_ptr<Attempt> m_attempt;
    std::shared_ptr<RTServiceTwitter> m_account;
    QString m_errorSentence;
    QTimer m_timeout;
};

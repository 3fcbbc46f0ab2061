#pragma once

#include "networks/facebook/RTServiceFacebook.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;
class RTRequestOperation;

// Logs a Facebook account in the way native programs should: the authorisation page
// opens in the user's browser, and its answer comes back to a listener on the loopback
// interface. The state value ties the answer to this log-in, and the code can be
// exchanged for a token only with the verifier whose S256 challenge went out with the
// request. Nothing reaches the keyring or the store until the service has accepted the
// token and named the account.
//
//   auto login = new RTFacebookLogin(parent);
//   connect(login, &RTFacebookLogin::loggedIn, ...);
//   login->begin();
class RTFacebookLogin : public QObject
{
    Q_OBJECT

public:
    using UrlOpener = std::function<bool(const QUrl &url)>;

    static constexpr int kDefaultTimeoutSeconds = 300;
    // A browser's request to the listener is a request line and headers; no more.
    static constexpr qsizetype kMaxRedirectRequestBytes = 16 * 1024;

    explicit RTFacebookLogin(QObject *parent = nullptr);
    ~RTFacebookLogin() override;

    // How the authorisation page is shown; the desktop's browser by default. A test or a
    // script plays the browser instead.
    void setUrlOpener(UrlOpener opener) { m_opener = std::move(opener); }
    void setTimeoutSeconds(int seconds) { m_timeoutSeconds = seconds; }
    // Logs an account in again: only a log-in as that account's person is taken, and it
    // replaces the token alone. Empty (the default) adds or renews whichever account the
    // user logs in as.
    void setAccountToRenew(const QString &serviceId) { m_accountToRenew = serviceId; }
    [[nodiscard]] QString accountToRenew() const { return m_accountToRenew; }

    // Starts listening and opens the authorisation page; false (after failed()) when the
    // listener cannot start or no Graph host is configured.
    bool begin();
    // Stops the listener and any request in flight; no signal follows.
    void cancel();
    [[nodiscard]] bool isRunning() const { return m_running; }

    [[nodiscard]] QUrl authorizationUrl() const { return m_authorizationUrl; }
    [[nodiscard]] QString redirectUri() const { return m_redirectUri; }

    // The permissions the program asks for.
    [[nodiscard]] static QString permissions();
    // Base64url without padding of SHA-256 of the verifier.
    [[nodiscard]] static QString codeChallengeForVerifier(const QString &verifier);
    // 32 random bytes as base64url without padding.
    [[nodiscard]] static QString randomToken();

signals:
    void waitingForBrowser(const QUrl &authorizationUrl);
    // The browser came back; the token is being fetched.
    void exchangingCode();
    // account: the registered account with this user's id when there is one, else a new
    // account not yet in the store; its token is in the keyring.
    void loggedIn(const std::shared_ptr<RTServiceFacebook> &account, bool isNewAccount);
    // A sentence for the user.
    void failed(const QString &sentence);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void handleRedirect(QTcpSocket *socket, const QUrl &target);
    void exchangeCode(const QString &code);
    void tokenReceived(const QString &token);
    void verifyToken(const QString &token);
    void accountVerified(const std::shared_ptr<RTServiceFacebook> &probe);
    void fail(const QString &sentence);
    void stopListening();
    static void answer(QTcpSocket *socket, int status, const QString &title,
                       const QString &sentence);

    UrlOpener m_opener;
    QString m_accountToRenew;
    int m_timeoutSeconds = kDefaultTimeoutSeconds;
    QPointer<QTcpServer> m_server;
    QTimer m_timeout;
    bool m_running = false;
    bool m_answered = false; // the redirect has come; later requests are refused
    QString m_state;
    QString m_verifier;
    QString m_redirectUri;
    QUrl m_authorizationUrl;
    std::shared_ptr<RTRequestOperation> m_pending;
    std::shared_ptr<RTServiceFacebook> m_probe;
    // Tells the answers of an abandoned run from those of the current one.
    quint64 m_generation = 0;
};

#include "networks/facebook/RTFacebookLogin.h"

#include "accounts/RTServiceRegistry.h"
#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTServiceRequests.h"
#include "networks/facebook/RTFacebookKeys.h"
#include "networks/facebook/RTFacebookRequestTypes.h"
#include "networks/facebook/RTRequestOperationFacebook.h"
#include "platform/TAUtility.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

namespace {

constexpr int kFacebookServiceType = 3;
const QString kCallbackPath = QStringLiteral("/callback");

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// Compares without stopping at the first difference.
bool sameSecret(const QString &a, const QString &b)
{
    const QByteArray x = a.toUtf8();
    const QByteArray y = b.toUtf8();
    if (x.size() != y.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < x.size(); ++i)
        diff |= static_cast<unsigned char>(x.at(i) ^ y.at(i));
    return diff == 0;
}

// Hands the answers of one request to a callback on the main thread.
class CallbackDelegate : public RTRequestDelegate
{
public:
    using Callback = std::function<void(bool success, const QVariantMap &result)>;
    explicit CallbackDelegate(Callback callback)
        : m_callback(std::move(callback))
    {
    }
    void serviceRequestSuccess(const QVariantMap &result) override { m_callback(true, result); }
    void serviceRequestFailure(const QVariantMap &result) override { m_callback(false, result); }

private:
    Callback m_callback;
};

} // namespace

RTFacebookLogin::RTFacebookLogin(QObject *parent)
    : QObject(parent)
{
    m_opener = [](const QUrl &url) {
        TAUtility::openURL(url.toString(QUrl::FullyEncoded), false);
        return true;
    };
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this,
            [this] { fail(localizedString("##RTFacebookLogin:0##")); });
}

RTFacebookLogin::~RTFacebookLogin()
{
    cancel();
}

QString RTFacebookLogin::permissions()
{
    return QStringLiteral("read_stream,publish_stream,offline_access,user_likes,friends_likes,"
                          "user_events,friends_events,user_groups,friends_groups,user_photos,"
                          "friends_photos,user_videos,friends_videos");
}

QString RTFacebookLogin::codeChallengeForVerifier(const QString &verifier)
{
    const QByteArray digest =
        QCryptographicHash::hash(verifier.toLatin1(), QCryptographicHash::Sha256);
    return QString::fromLatin1(
        digest.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString RTFacebookLogin::randomToken()
{
    QByteArray bytes(32, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

bool RTFacebookLogin::begin()
{
    cancel();
    ++m_generation;
    const QUrl graph = RTRequestOperationFacebook::graphBaseUrl();
    if (!graph.isValid() || graph.host().isEmpty()) {
        fail(localizedString("##RTFacebookLogin:1##"));
        return false;
    }
    m_server = new QTcpServer(this);
    if (!m_server->listen(QHostAddress::LocalHost, 0)) {
        const QString reason = m_server->errorString();
        delete m_server;
        fail(localizedString("##RTFacebookLogin:2##").arg(reason));
        return false;
    }
    connect(m_server, &QTcpServer::newConnection, this, &RTFacebookLogin::onNewConnection);
    m_running = true;
    m_answered = false;
    m_state = randomToken();
    m_verifier = randomToken();
    m_redirectUri =
        QStringLiteral("http://127.0.0.1:%1%2").arg(m_server->serverPort()).arg(kCallbackPath);

    const RTRequestOperationFacebook::Params params{
        {QStringLiteral("client_id"), TAUtility::facebookAPPId()},
        {QStringLiteral("redirect_uri"), m_redirectUri},
        {QStringLiteral("response_type"), QStringLiteral("code")},
        {QStringLiteral("scope"), permissions()},
        {QStringLiteral("state"), m_state},
        {QStringLiteral("code_challenge"), codeChallengeForVerifier(m_verifier)},
        {QStringLiteral("code_challenge_method"), QStringLiteral("S256")},
    };
    QString base = graph.toString(QUrl::StripTrailingSlash);
    m_authorizationUrl = QUrl(base + QStringLiteral("/oauth/authorize") +
                                  RTRequestOperationFacebook::createParamsStringWithParams(params),
                              QUrl::StrictMode);
    m_timeout.start(m_timeoutSeconds * 1000);
    emit waitingForBrowser(m_authorizationUrl);
    if (m_opener && !m_opener(m_authorizationUrl)) {
        fail(localizedString("##RTFacebookLogin:3##"));
        return false;
    }
    return true;
}

void RTFacebookLogin::cancel()
{
    ++m_generation;
    m_running = false;
    m_timeout.stop();
    stopListening();
    if (m_pending) {
        m_pending->cancel();
        m_pending.reset();
    }
    m_probe.reset();
}

void RTFacebookLogin::stopListening()
{
    if (m_server) {
        m_server->close();
        m_server->deleteLater();
        m_server = nullptr;
    }
}

void RTFacebookLogin::fail(const QString &sentence)
{
    const bool wasRunning = m_running;
    cancel();
    if (wasRunning || sentence.size() > 0)
        emit failed(sentence);
}

void RTFacebookLogin::onNewConnection()
{
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket *socket = m_server->nextPendingConnection();
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        // A connection that never sends a request is dropped.
        QTimer::singleShot(10000, socket, [socket] { socket->abort(); });
    }
}

void RTFacebookLogin::onReadyRead(QTcpSocket *socket)
{
    QByteArray buffered = socket->property("buffered").toByteArray();
    buffered += socket->read(kMaxRedirectRequestBytes + 1 - buffered.size());
    if (buffered.size() > kMaxRedirectRequestBytes) {
        answer(socket, 431, QStringLiteral("Too large"), QString());
        return;
    }
    socket->setProperty("buffered", buffered);
    if (!buffered.contains("\r\n\r\n"))
        return;
    const QByteArray requestLine = buffered.left(buffered.indexOf("\r\n"));
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || !parts.at(2).startsWith("HTTP/1.")) {
        answer(socket, 400, QStringLiteral("Bad request"), QString());
        return;
    }
    if (parts.at(0) != "GET") {
        answer(socket, 405, QStringLiteral("Not allowed"), QString());
        return;
    }
    const QUrl target(QString::fromLatin1(parts.at(1)), QUrl::StrictMode);
    if (!target.isValid() || target.path() != kCallbackPath) {
        // Browsers also ask for icons; only the callback counts.
        answer(socket, 404, QStringLiteral("Not found"), QString());
        return;
    }
    handleRedirect(socket, target);
}

void RTFacebookLogin::handleRedirect(QTcpSocket *socket, const QUrl &target)
{
    if (!m_running || m_answered) {
        answer(socket, 409, localizedString("##RTFacebookLogin:4##"),
               localizedString("##RTFacebookLogin:5##"));
        return;
    }
    const QUrlQuery query(target);
    const QString state = query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded);
    if (!sameSecret(state, m_state)) {
        // Not the answer to our request: another page may be trying to log us in.
        answer(socket, 400, localizedString("##RTFacebookLogin:4##"),
               localizedString("##RTFacebookLogin:6##"));
        fail(localizedString("##RTFacebookLogin:6##"));
        return;
    }
    m_answered = true;
    const QString error = query.queryItemValue(QStringLiteral("error"), QUrl::FullyDecoded);
    const QString code = query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
    if (!error.isEmpty() || code.isEmpty()) {
        answer(socket, 200, localizedString("##RTFacebookLogin:4##"),
               localizedString("##RTFacebookLogin:7##"));
        fail(localizedString("##RTFacebookLogin:7##"));
        return;
    }
    answer(socket, 200, localizedString("##RTFacebookLogin:8##"),
           localizedString("##RTFacebookLogin:9##"));
    stopListening();
    emit exchangingCode();
    exchangeCode(code);
}

void RTFacebookLogin::answer(QTcpSocket *socket, int status, const QString &title,
                             const QString &sentence)
{
    const QByteArray body = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                                           "<title>%1</title></head><body><h1>%1</h1><p>%2</p>"
                                           "</body></html>")
                                .arg(title.toHtmlEscaped(), sentence.toHtmlEscaped())
                                .toUtf8();
    const QByteArray head = QByteArrayLiteral("HTTP/1.1 ") + QByteArray::number(status) +
                            QByteArrayLiteral(" ") + title.toUtf8() +
                            QByteArrayLiteral("\r\nContent-Type: text/html; charset=utf-8\r\n"
                                              "Cache-Control: no-store\r\nConnection: close\r\n"
                                              "Content-Length: ") +
                            QByteArray::number(body.size()) + QByteArrayLiteral("\r\n\r\n");
    socket->write(head + body);
    socket->disconnectFromHost();
}

void RTFacebookLogin::exchangeCode(const QString &code)
{
    const quint64 generation = m_generation;
    QPointer<RTFacebookLogin> self(this);
    auto delegate = std::make_shared<CallbackDelegate>(
        [self, generation](bool success, const QVariantMap &result) {
            if (!self || self->m_generation != generation)
                return;
            self->m_pending.reset();
            if (!success) {
                self->fail(localizedString("##RTFacebookLogin:10##")
                               .arg(result.value(key(kRTOperationFailureMessageKey)).toString()));
                return;
            }
            self->tokenReceived(result.value(key(kRTOAuthTokenResultKey)).toString());
        });
    const QVariantMap parameters{
        {QStringLiteral("client_id"), TAUtility::facebookAPPId()},
        {key(kRTFacebookRedirectUriKey), m_redirectUri},
        {key(kRTFacebookCodeKey), code},
        {key(kRTFacebookCodeVerifierKey), m_verifier},
    };
    m_pending = RTServiceRequests::doRequest(RTFacebookRequestAccessToken, delegate, parameters, {},
                                             OperationQueue::ImmediateRequests,
                                             QStringLiteral("RTRequestOperationFacebook"));
    if (!m_pending)
        fail(localizedString("##RTFacebookLogin:1##"));
}

void RTFacebookLogin::tokenReceived(const QString &token)
{
    if (token.isEmpty()) {
        fail(localizedString("##RTFacebookLogin:10##").arg(QString()));
        return;
    }
    verifyToken(token);
}

void RTFacebookLogin::verifyToken(const QString &token)
{
    // A probe account without an id holds the token in memory only.
    m_probe = std::make_shared<RTServiceFacebook>();
    m_probe->setAccessToken(token);
    const quint64 generation = m_generation;
    QPointer<RTFacebookLogin> self(this);
    auto probe = m_probe;
    auto delegate = std::make_shared<CallbackDelegate>(
        [self, generation, probe](bool success, const QVariantMap &result) {
            if (!self || self->m_generation != generation)
                return;
            self->m_pending.reset();
            if (!success) {
                self->fail(localizedString("##RTFacebookLogin:10##")
                               .arg(result.value(key(kRTOperationFailureMessageKey)).toString()));
                return;
            }
            const auto users =
                result.value(key(kRTFacebookUsersKey)).value<QList<RTUserFacebookPtr>>();
            if (users.isEmpty()) {
                self->fail(localizedString("##RTFacebookLogin:10##").arg(QString()));
                return;
            }
            self->accountVerified(probe);
        });
    m_pending = RTServiceRequests::doRequest(
        m_probe, RTFacebookRequestLoggedUserInfo, delegate, {},
        {{key(kRTFacebookUserIdsKey), QStringList{QStringLiteral("me")}},
         {key(kRTBypassCredentialsCheckKey), true}},
        OperationQueue::ImmediateRequests);
    if (!m_pending)
        fail(localizedString("##RTFacebookLogin:1##"));
}

void RTFacebookLogin::accountVerified(const std::shared_ptr<RTServiceFacebook> &probe)
{
    const RTUserFacebookPtr me = probe->mySelf();
    if (!me) {
        fail(localizedString("##RTFacebookLogin:10##").arg(QString()));
        return;
    }
    // The user's id names the account: user names can change, ids do not.
    const QString id = me->userId();
    const QString token = probe->accessToken();
    if (!m_accountToRenew.isEmpty() && id != m_accountToRenew) {
        // Another person's token must not end up in this account; the probe held it in
        // memory only, so nothing is left behind.
        m_probe.reset();
        fail(localizedString("##RTFacebookLogin:11##").arg(me->displayName(), m_accountToRenew));
        return;
    }
    std::shared_ptr<RTServiceFacebook> account;
    for (const RTServicePtr &s : RTServiceRegistry::shared().services()) {
        if (s->serviceType() == kFacebookServiceType && s->serviceId() == id)
            account = std::dynamic_pointer_cast<RTServiceFacebook>(s);
    }
    const bool isNew = !account;
    if (isNew) {
        account = probe;
        account->setServiceId(id);
    }
    // Now the account has its id, the token goes to the keyring.
    account->setAccessToken(token);
    account->setNeedsLogIn(false);
    m_running = false;
    m_timeout.stop();
    m_probe.reset();
    emit loggedIn(account, isNew);
}

// Signed requests against a loopback server that checks OAuth signatures with its own
// code (Qt's HMAC and percent-encoding), so a fault shared by our signer and a check
// built from it cannot hide.
#include "NetworkTestSupport.h"
#include "TestHttpServer.h"

#include "foundation/RTGlobalVariables.h"
#include "http/HttpRequest.h"
#include "network/OAuthClock.h"
#include "network/RTErrorMessageManager.h"
#include "network/RTServiceRequests.h"
#include "network/RTXAuthExchange.h"
#include "platform/TAUtility.h"
#include "platform/fake/FakeKeychain.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QMessageAuthenticationCode>
#include <QMutex>
#include <algorithm>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

QByteArray formDecode(QByteArray s)
{
    s.replace('+', ' ');
    return QByteArray::fromPercentEncoding(s);
}

void addPairs(const std::string &encoded, QList<QPair<QByteArray, QByteArray>> &out)
{
    if (encoded.empty())
        return;
    for (const QByteArray &part : QByteArray::fromStdString(encoded).split('&')) {
        const qsizetype eq = part.indexOf('=');
        out.append({formDecode(eq < 0 ? part : part.left(eq)),
                    formDecode(eq < 0 ? QByteArray() : part.mid(eq + 1))});
    }
}

// The server's view of a request: the decoded parameters and what the signature must be.
struct Verdict
{
    bool valid = false;
    QString why;
    QMap<QByteArray, QByteArray> oauth;
    QList<QPair<QByteArray, QByteArray>> parameters;
};

Verdict verifySignature(const httplib::Request &req, const QByteArray &origin,
                        const QByteArray &consumerSecret, const QByteArray &tokenSecret)
{
    Verdict v;
    QByteArray header = QByteArray::fromStdString(req.get_header_value("Authorization"));
    if (!header.startsWith("OAuth ")) {
        v.why = QStringLiteral("no OAuth header");
        return v;
    }
    for (QByteArray item : header.mid(6).split(',')) {
        item = item.trimmed();
        const qsizetype eq = item.indexOf('=');
        QByteArray value = item.mid(eq + 1);
        if (value.size() < 2 || !value.startsWith('"') || !value.endsWith('"')) {
            v.why = QStringLiteral("unquoted header value");
            return v;
        }
        v.oauth.insert(item.left(eq),
                       QByteArray::fromPercentEncoding(value.mid(1, value.size() - 2)));
    }
    for (auto it = v.oauth.cbegin(); it != v.oauth.cend(); ++it) {
        if (it.key() != "realm" && it.key() != "oauth_signature")
            v.parameters.append({it.key(), it.value()});
    }
    const std::string &target = req.target;
    const auto q = target.find('?');
    const std::string path = target.substr(0, q);
    QList<QPair<QByteArray, QByteArray>> requestParameters;
    if (q != std::string::npos)
        addPairs(target.substr(q + 1), requestParameters);
    if (req.get_header_value("Content-Type").rfind("application/x-www-form-urlencoded", 0) == 0)
        addPairs(req.body, requestParameters);
    v.parameters += requestParameters;

    QList<QPair<QByteArray, QByteArray>> encoded;
    for (const auto &p : v.parameters)
        encoded.append({QUrl::toPercentEncoding(QString::fromUtf8(p.first)),
                        QUrl::toPercentEncoding(QString::fromUtf8(p.second))});
    std::sort(encoded.begin(), encoded.end());
    QByteArrayList joined;
    for (const auto &p : encoded)
        joined.append(p.first + '=' + p.second);
    const QByteArray base =
        QByteArray::fromStdString(req.method) + '&' +
        QUrl::toPercentEncoding(QString::fromUtf8(origin + QByteArray::fromStdString(path))) + '&' +
        QUrl::toPercentEncoding(QString::fromLatin1(joined.join('&')));
    const QByteArray signingKey = QUrl::toPercentEncoding(QString::fromUtf8(consumerSecret)) + '&' +
                                  QUrl::toPercentEncoding(QString::fromUtf8(tokenSecret));
    const QByteArray expected =
        QMessageAuthenticationCode::hash(base, signingKey, QCryptographicHash::Sha1).toBase64();
    v.valid = expected == v.oauth.value("oauth_signature") &&
              v.oauth.value("oauth_signature_method") == "HMAC-SHA1";
    v.parameters = requestParameters;
    if (!v.valid)
        v.why = QStringLiteral("signature mismatch; base string ") + QString::fromLatin1(base);
    return v;
}

class SignedRequestTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Keychain::setShared(&m_keychain);
        registerTestRequestOperation();
        HttpRequest::setDefaultCaBundle(TestHttpServer::caBundle());
        const QByteArray consumerSecret = TAUtility::twitterConsumerSecret().toUtf8();

        m_plain.server().Post(
            "/signed", [this, consumerSecret](const httplib::Request &req, httplib::Response &res) {
                check(req, res, "http://127.0.0.1:" + QByteArray::number(m_plain.port()),
                      consumerSecret, "token-secret");
            });
        m_plain.server().Get(
            "/signed", [this, consumerSecret](const httplib::Request &req, httplib::Response &res) {
                check(req, res, "http://127.0.0.1:" + QByteArray::number(m_plain.port()),
                      consumerSecret, "token-secret");
            });
        m_secure.server().Post(
            "/oauth/access_token",
            [this, consumerSecret](const httplib::Request &req, httplib::Response &res) {
                const Verdict v =
                    verifySignature(req, "https://127.0.0.1:" + QByteArray::number(m_secure.port()),
                                    consumerSecret, "");
                QMutexLocker locker(&m_lock);
                m_verdicts.append(v);
                if (!v.valid || v.oauth.value("oauth_token") != "") {
                    res.status = 401;
                    return;
                }
                res.set_content(m_tokenAnswer.toStdString(), "text/plain");
            });
        m_plain.start();
        m_secure.start();
        TestRequestTarget::host = QStringLiteral("127.0.0.1:%1").arg(m_plain.port());
        TestRequestTarget::secureHost = QStringLiteral("127.0.0.1:%1").arg(m_secure.port());

        m_service = std::make_shared<TestService>();
        m_service->setServiceId(QStringLiteral("alice"));
        m_service->setServiceName(QStringLiteral("Test"));
        m_service->setOAuthTokenPair(QStringLiteral("token"), QStringLiteral("token-secret"));
        RTErrorMessageManager::sharedManager().removeAllErrorMessages();
    }

    void TearDown() override
    {
        OperationQueue::forType(0).waitUntilAllOperationsAreFinished();
        m_service->log.clear();
        HttpRequest::setDefaultCaBundle(QString());
        OAuthClock::setTimestampOffset(0);
        Keychain::setShared(nullptr);
    }

    void check(const httplib::Request &req, httplib::Response &res, const QByteArray &origin,
               const QByteArray &consumerSecret, const QByteArray &tokenSecret)
    {
        const Verdict v = verifySignature(req, origin, consumerSecret, tokenSecret);
        {
            QMutexLocker locker(&m_lock);
            m_verdicts.append(v);
        }
        const qint64 skew = m_serverSkew.load();
        if (skew != 0) {
            const QDateTime serverNow = QDateTime::currentDateTimeUtc().addSecs(skew);
            res.set_header(
                "Date", QLocale(QLocale::English, QLocale::UnitedStates)
                            .toString(serverNow, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"))
                            .toStdString());
        }
        res.status = v.valid ? 200 : 401;
        res.set_content(v.why.toStdString(), "text/plain");
    }

    RecordedAnswer runRequest(qint32 type, const QVariantMap &parameters = {})
    {
        const int before = m_service->log.count();
        RTServiceRequests::doRequest(m_service, type, nullptr, parameters, {}, 0);
        EXPECT_TRUE(waitUntil([&] { return m_service->log.count() > before; }));
        const auto answers = m_service->log.answers();
        return answers.isEmpty() ? RecordedAnswer{} : answers.last();
    }

    Verdict lastVerdict()
    {
        QMutexLocker locker(&m_lock);
        return m_verdicts.isEmpty() ? Verdict{} : m_verdicts.last();
    }

    FakeKeychain m_keychain;
    TestHttpServer m_plain;
    TestHttpServer m_secure{TestHttpServer::Scheme::Https};
    std::shared_ptr<TestService> m_service;
    QMutex m_lock;
    QList<Verdict> m_verdicts;
    QString m_tokenAnswer;
    std::atomic<qint64> m_serverSkew{0};
};

} // namespace

TEST_F(SignedRequestTest, ServerAcceptsSignaturesOfQueriesAndFormsWithEscapes)
{
    // A status that literally holds a percent escape, beside escapes in the query.
    RecordedAnswer a = runRequest(
        TestRequestSigned, {{QStringLiteral("status"), QStringLiteral("100%41 sure & more")}});
    EXPECT_TRUE(a.success) << lastVerdict().why.toStdString();
    const QList<QPair<QByteArray, QByteArray>> sent{
        {"since_id", "5"}, {"q", "#tag one"}, {"status", "100%41 sure & more"}};
    EXPECT_EQ(lastVerdict().parameters, sent);
    EXPECT_EQ(lastVerdict().oauth.value("oauth_token"), QByteArray("token"));
    EXPECT_EQ(lastVerdict().oauth.value("oauth_consumer_key"),
              TAUtility::twitterConsumerKey().toUtf8());
    EXPECT_EQ(lastVerdict().oauth.value("oauth_version"), QByteArray("1.0"));

    // Repeated names, UTF-8 and an escaped percent sign in a GET query.
    a = runRequest(TestRequestSignedGet);
    EXPECT_TRUE(a.success) << lastVerdict().why.toStdString();

    // A wrong token secret is refused by the server.
    m_service->setOAuthTokenPair(QStringLiteral("token"), QStringLiteral("other-secret"));
    a = runRequest(TestRequestSigned, {{QStringLiteral("status"), QStringLiteral("x")}});
    EXPECT_FALSE(a.success);
    EXPECT_EQ(a.result.value(key(kRTResponseStatusCodeKey)).toInt(), 401);
}

TEST_F(SignedRequestTest, ServerDateCorrectsTheTimestampOfLaterSignings)
{
    m_serverSkew.store(600);
    RecordedAnswer a =
        runRequest(TestRequestSigned, {{QStringLiteral("status"), QStringLiteral("x")}});
    ASSERT_TRUE(a.success) << lastVerdict().why.toStdString();
    EXPECT_TRUE(a.result.value(QStringLiteral("clockCorrected")).toBool());
    EXPECT_NEAR(OAuthClock::timestampOffset(), 600, 2);
    const qint64 firstSigned = lastVerdict().oauth.value("oauth_timestamp").toLongLong();
    EXPECT_NEAR(firstSigned, QDateTime::currentSecsSinceEpoch(), 5);
    EXPECT_EQ(a.result.value(QStringLiteral("signedAt")).toLongLong(), firstSigned);

    // The next request signs with the server's time and corrects nothing.
    a = runRequest(TestRequestSigned, {{QStringLiteral("status"), QStringLiteral("y")}});
    ASSERT_TRUE(a.success) << lastVerdict().why.toStdString();
    EXPECT_FALSE(a.result.value(QStringLiteral("clockCorrected")).toBool());
    EXPECT_NEAR(lastVerdict().oauth.value("oauth_timestamp").toLongLong(),
                QDateTime::currentSecsSinceEpoch() + 600, 5);
}

TEST_F(SignedRequestTest, XAuthExchangeStoresTheTokenPairAndVerifiesTheAccount)
{
    m_service->setServicePassword(QStringLiteral("pa ss&word"));
    m_service->setVerifiedCredentials(false);
    m_tokenAnswer = QStringLiteral(
        "oauth_token=T%2B1&oauth_token_secret=S%3D&user_id=7&screen_name=Alice&junk");

    RTXAuthExchange::requestOAuthToken(m_service, TestRequestXAuth, nullptr);
    ASSERT_TRUE(waitUntil([&] { return m_service->log.count() == 1; }));
    RecordedAnswer a = m_service->log.answers().last();
    ASSERT_TRUE(a.success) << lastVerdict().why.toStdString();
    const QList<QPair<QByteArray, QByteArray>> sent{{"x_auth_mode", "client_auth"},
                                                    {"x_auth_password", "pa ss&word"},
                                                    {"x_auth_username", "alice"}};
    EXPECT_EQ(lastVerdict().parameters, sent);
    EXPECT_EQ(m_service->oauthToken(), QStringLiteral("T+1"));
    EXPECT_EQ(m_service->oauthTokenSecret(), QStringLiteral("S="));
    EXPECT_TRUE(m_service->verifiedCredentials());
    EXPECT_EQ(a.result.value(key(kRTScreenNameKey)).toString(), QStringLiteral("Alice"));
    EXPECT_EQ(a.result.value(key(kRTOAuthTokenResultKey)).toString(), QStringLiteral("T+1"));
    EXPECT_EQ(a.result.value(key(kRTResponseStringKey)).toString(), m_tokenAnswer);

    // An answer with one token: the token is kept, the exchange fails.
    m_service->setVerifiedCredentials(false);
    m_tokenAnswer = QStringLiteral("oauth_token=only");
    RTXAuthExchange::requestOAuthToken(m_service, TestRequestXAuth, nullptr);
    ASSERT_TRUE(waitUntil([&] { return m_service->log.count() == 2; }));
    a = m_service->log.answers().last();
    EXPECT_FALSE(a.success);
    EXPECT_EQ(a.result.value(key(kRTOperationFailureMessageKey)).toString(),
              QStringLiteral("Missing response parameters for xAuth request."));
    EXPECT_EQ(m_service->oauthToken(), QStringLiteral("only"));
    EXPECT_EQ(m_service->oauthTokenSecret(), QStringLiteral(""));
    EXPECT_FALSE(m_service->verifiedCredentials());

    // What stays behind in the error list holds neither the token answer nor, through
    // the operation, the password.
    ASSERT_TRUE(waitUntil(
        [] { return !RTErrorMessageManager::sharedManager().errorMessagesArray().isEmpty(); }));
    const QVariantMap kept = RTErrorMessageManager::sharedManager()
                                 .errorMessagesArray()
                                 .last()
                                 ->requestResponseDictionary();
    for (const char *secret :
         {kRTResponseStringKey, kRTOAuthTokenResultKey, kRTOAuthTokenSecretResultKey})
        EXPECT_FALSE(kept.contains(key(secret))) << secret;
    const auto operation = kept.value(key(kRTRequestOperationKey)).value<RTRequestOperationPtr>();
    ASSERT_TRUE(operation);
    EXPECT_FALSE(operation->postParameters().contains(QStringLiteral("x_auth_password")));
    EXPECT_TRUE(operation->postParameters().contains(QStringLiteral("x_auth_username")));
}

TEST_F(SignedRequestTest, SignedRequestsStillCheckCertificates)
{
    // Without the test CA the server's certificate is not trusted, and the tokens are
    // not sent.
    HttpRequest::setDefaultCaBundle(QString());
    m_tokenAnswer = QStringLiteral("oauth_token=T&oauth_token_secret=S");
    RTXAuthExchange::requestOAuthToken(m_service, TestRequestXAuth, nullptr);
    ASSERT_TRUE(waitUntil([&] { return m_service->log.count() == 1; }));
    const RecordedAnswer a = m_service->log.answers().last();
    EXPECT_FALSE(a.success);
    EXPECT_EQ(a.result.value(key(kRTOperationFailureMessageKey)).toString(),
              QStringLiteral("Network Connection Problem. Connected?"));
    QMutexLocker locker(&m_lock);
    EXPECT_TRUE(m_verdicts.isEmpty());
}

TEST(XAuthExchange, ParsesFormEncodedAnswers)
{
    const QVariantMap parsed =
        RTXAuthExchange::parseResponse(QStringLiteral("a=1&b=x%20y+z&novalue&=empty&c=d=e&&"));
    const QVariantMap expected{{"a", "1"}, {"b", "x y z"}, {"", "empty"}, {"c", "d"}};
    EXPECT_EQ(parsed, expected);
}

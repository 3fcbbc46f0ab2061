#include "network/OAuthSigning.h"
#include "foundation/Clock.h"
#include "network/OAuthClock.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QThread>
#include <atomic>
#include <cstdlib>
#include <vector>

namespace {

OAuthCredentials rfcCredentials()
{
    OAuthCredentials c;
    c.consumerKey = QStringLiteral("9djdj82h48djs9d2");
    c.token = QStringLiteral("kkk9d7dh3k39sjv7");
    c.sendVersion = false;
    return c;
}

// Extracts the decoded parameter part of a base string for readable comparisons.
QString parametersOf(const QString &baseString)
{
    return QUrl::fromPercentEncoding(baseString.section(QLatin1Char('&'), 2).toLatin1());
}

} // namespace

TEST(OAuthSigning, ReproducesTheRfc5849Examples)
{
    // Section 3.4.1: query escapes, a repeated name, empty values and a form body.
    OAuthRequestParts request;
    request.method = QStringLiteral("post");
    request.url =
        QUrl(QStringLiteral("http://example.com/request?b5=%3D%253D&a3=a&c%40=&a2=r%20b"));
    request.formFields = {{QStringLiteral("c2"), QString()},
                          {QStringLiteral("a3"), QStringLiteral("2 q")}};
    EXPECT_EQ(
        OAuthSigning::signatureBaseString(request, rfcCredentials(), QStringLiteral("HMAC-SHA1"),
                                          QStringLiteral("7d8f3e4a"), QStringLiteral("137131201")),
        QStringLiteral(
            "POST&http%3A%2F%2Fexample.com%2Frequest&a2%3Dr%2520b%26a3%3D2%2520q%26a3%3Da%26b5%3D%"
            "253D%25253D%26c%2540%3D%26c2%3D%26oauth_consumer_key%3D9djdj82h48djs9d2%26oauth_nonce%"
            "3D7d8f3e4a%26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D137131201%26oauth_"
            "token%3Dkkk9d7dh3k39sjv7"));

    // Section 1.2: the complete HMAC-SHA1 signature.
    OAuthRequestParts photos;
    photos.url =
        QUrl(QStringLiteral("http://photos.example.net/photos?file=vacation.jpg&size=original"));
    const OAuthCredentials credentials{
        QStringLiteral("dpf43f3p2l4k3l03"), QStringLiteral("kd94hf93k423kf44"),
        QStringLiteral("nnch734d00sl2jdk"), QStringLiteral("pfkkdhi9sl3r4s00"), false};
    const SignatureProviderHMAC_SHA1 hmac;
    EXPECT_EQ(OAuthSigning::oauthSignature(photos, credentials, hmac, QStringLiteral("chapoH"),
                                           QStringLiteral("137131202")),
              QStringLiteral("MdpQcU8iPSUjWoN/UDMsK2sui9I="));
    const QString header = OAuthSigning::authorizationHeader(
        photos, credentials, hmac, QStringLiteral("chapoH"), QStringLiteral("137131202"));
    EXPECT_TRUE(
        header.contains(QStringLiteral("oauth_signature=\"MdpQcU8iPSUjWoN%2FUDMsK2sui9I%3D\"")));
}

TEST(OAuthSigning, BaseUrlKeepsOnlyNonDefaultPorts)
{
    const struct
    {
        const char *url;
        const char *base;
    } cases[] = {
        {"https://api.example.com:443/1/x.json?a=b", "https://api.example.com/1/x.json"},
        {"http://api.example.com:80/x", "http://api.example.com/x"},
        {"http://api.example.com:8080/x", "http://api.example.com:8080/x"},
        {"https://api.example.com:80/x", "https://api.example.com:80/x"},
        {"HTTP://API.Example.COM/Path", "http://api.example.com/Path"},
        {"ftp://example.com:2121/f", "ftp://example.com/f"},
        {"http://example.com", "http://example.com/"},
        {"http://example.com/a%20b", "http://example.com/a%20b"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(OAuthSigning::baseUrl(QUrl(QString::fromLatin1(c.url))), QLatin1String(c.base))
            << c.url;
}

TEST(OAuthSigning, NormalisesQueryAndFormParameters)
{
    const OAuthCredentials credentials{QStringLiteral("ck"), QStringLiteral("cs"),
                                       QStringLiteral("tok"), QStringLiteral("ts")};
    const auto params = [&](const QString &method, const QString &url,
                            const QList<QPair<QString, QString>> &form = {}) {
        OAuthRequestParts r;
        r.method = method;
        r.url = QUrl(url);
        r.formFields = form;
        const QString base = OAuthSigning::signatureBaseString(
            r, credentials, QStringLiteral("HMAC-SHA1"), QStringLiteral("n"), QStringLiteral("1"));
        QStringList kept;
        for (const QString &pair : parametersOf(base).split(QLatin1Char('&'))) {
            if (!pair.startsWith(QLatin1String("oauth_")))
                kept.append(pair);
        }
        return kept.join(QLatin1Char('&')).toStdString();
    };
    // An escape in a query is kept once in the list (the base string escapes it again).
    EXPECT_EQ(params("GET", "http://h/s?q=%23tag%20x"), std::string("q=%23tag%20x"));
    // Lower-case escapes, "+" and bare names come out canonical.
    EXPECT_EQ(params("GET", "http://h/s?q=%7e+a&flag"), std::string("flag=&q=~%20a"));
    // Equal names are ordered by value.
    EXPECT_EQ(params("GET", "http://h/s?id=3&id=1&id=2"), std::string("id=1&id=2&id=3"));
    // Form fields of a POST sign like the same fields in a GET query.
    EXPECT_EQ(params("POST", "http://h/s", {{"status", "a b&c"}, {"in_reply_to", "9"}}),
              std::string("in_reply_to=9&status=a%20b%26c"));
    EXPECT_EQ(params("GET", "http://h/s?status=a%20b%26c&in_reply_to=9"),
              std::string("in_reply_to=9&status=a%20b%26c"));
    // A status that literally holds "%41" is signed as the form body sends it.
    EXPECT_EQ(params("POST", "http://h/s", {{"status", "100%41 sure"}}),
              std::string("status=100%2541%20sure"));
    // Non-ASCII text is signed from its UTF-8 bytes.
    EXPECT_EQ(params("POST", "http://h/s", {{"status", QString::fromUtf8("caf\u00e9")}}),
              std::string("status=caf%C3%A9"));
}

TEST(OAuthSigning, KeysProvidersAndHeader)
{
    EXPECT_EQ(OAuthSigning::signingKey(QStringLiteral("s&cret"), QString()),
              QStringLiteral("s%26cret&"));
    EXPECT_EQ(OAuthSigning::signingKey(QStringLiteral("cs"), QStringLiteral("t s")),
              QStringLiteral("cs&t%20s"));

    const SignatureProviderHMAC_SHA1 hmac;
    const QString sig = hmac.signPlainText(QStringLiteral("text"), QStringLiteral("key"));
    EXPECT_EQ(sig.size(), 28);
    EXPECT_FALSE(sig.contains(QLatin1Char('\n')));
    const SignatureProviderPlainText plain;
    EXPECT_EQ(plain.signatureMethod(), QStringLiteral("PLAINTEXT"));
    EXPECT_EQ(plain.signPlainText(QStringLiteral("text"), QStringLiteral("cs&ts")),
              QStringLiteral("cs&ts"));

    OAuthRequestParts r;
    r.method = QStringLiteral("POST");
    r.url = QUrl(QStringLiteral("https://api.example.com/oauth/access_token"));
    const QString header = OAuthSigning::authorizationHeader(
        r, {QStringLiteral("ck"), QStringLiteral("cs"), {}, {}}, hmac, QStringLiteral("N-1"),
        QStringLiteral("1262304000"));
    static const QRegularExpression shape(QStringLiteral(
        R"(^OAuth oauth_consumer_key="ck",oauth_nonce="N-1",oauth_signature="[A-Za-z0-9%]{28,}",)"
        R"(oauth_signature_method="HMAC-SHA1",oauth_timestamp="1262304000",oauth_token="",)"
        R"(oauth_version="1\.0",realm="https%3A%2F%2Fapi\.example\.com%2Foauth%2Faccess_token"$)"));
    EXPECT_TRUE(shape.match(header).hasMatch()) << header.toStdString();
    EXPECT_FALSE(header.contains(QStringLiteral("%0A")));
}

namespace {

class RecordingDelegate : public OAuthAuthenticationTimestampDelegate
{
public:
    int offset = 0;
    qint64 signedAt = 0;
    qint64 raw = 0;
    [[nodiscard]] int timestampOffset() const override { return offset; }
    void setOAuthTimeStamp(qint64 s, qint64 r) override
    {
        signedAt = s;
        raw = r;
    }
};

class OAuthClockTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Clock::setShared(&m_clock);
        OAuthClock::setTimestampOffset(0);
    }
    void TearDown() override
    {
        Clock::setShared(nullptr);
        OAuthClock::setTimestampOffset(0);
    }
    static QMap<QString, QString> dateHeader(qint64 secs)
    {
        const QString date = QLocale(QLocale::English, QLocale::UnitedStates)
                                 .toString(QDateTime::fromSecsSinceEpoch(secs, Qt::UTC),
                                           QStringLiteral("ddd, dd MMM yyyy HH:mm:ss")) +
                             QStringLiteral(" GMT");
        return {{QStringLiteral("date"), date}};
    }
    FakeClock m_clock;
    const qint64 m_now = 1262304000;
};

} // namespace

TEST_F(OAuthClockTest, NoncesAndTimestampsUseTheCorrectedClock)
{
    static const QRegularExpression uuid(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    const QString a = OAuthSigning::oauthNonceString();
    EXPECT_TRUE(uuid.match(a).hasMatch()) << a.toStdString();
    EXPECT_NE(a, OAuthSigning::oauthNonceString());

    EXPECT_EQ(OAuthSigning::oauthTimestampString(nullptr), QString::number(m_now));
    RecordingDelegate delegate;
    delegate.offset = -90;
    EXPECT_EQ(OAuthSigning::oauthTimestampString(&delegate), QString::number(m_now - 90));
    EXPECT_EQ(delegate.signedAt, m_now - 90);
    EXPECT_EQ(delegate.raw, m_now);
}

TEST_F(OAuthClockTest, ServerDateCorrectsTheOffsetOnce)
{
    EXPECT_EQ(OAuthClock::parseHttpDate(QStringLiteral("Sun, 06 Nov 1994 08:49:37 GMT")),
              784111777);
    EXPECT_EQ(OAuthClock::parseHttpDate(QStringLiteral("Sun, 31 Feb 1994 08:49:37 GMT")), -1);
    EXPECT_EQ(OAuthClock::parseHttpDate(QStringLiteral("Sunday, 06-Nov-94 08:49:37 GMT")), -1);

    OAuthTimestampTracker early; // signed before the correction
    early.setOAuthTimeStamp(m_now, m_now);
    OAuthTimestampTracker first;
    first.setOAuthTimeStamp(m_now, m_now);

    // Missing, unparseable and tolerated dates change nothing.
    EXPECT_FALSE(first.updateTimestampWithHeaders({}));
    EXPECT_FALSE(
        first.updateTimestampWithHeaders({{QStringLiteral("Date"), QStringLiteral("yesterday")}}));
    EXPECT_FALSE(first.updateTimestampWithHeaders(dateHeader(m_now + 299)));
    EXPECT_FALSE(first.updateTimestampWithHeaders(dateHeader(m_now - 299)));
    EXPECT_EQ(OAuthClock::timestampOffset(), 0);

    // Ten minutes ahead: the offset becomes server - now.
    EXPECT_TRUE(first.updateTimestampWithHeaders(dateHeader(m_now + 600)));
    EXPECT_EQ(OAuthClock::timestampOffset(), 600);
    // A late answer to a request signed before the correction leaves it alone.
    EXPECT_FALSE(early.updateTimestampWithHeaders(dateHeader(m_now + 601)));
    EXPECT_EQ(OAuthClock::timestampOffset(), 600);

    // Saved headers stand in when the request's own are gone.
    OAuthTimestampTracker redirected;
    redirected.setOAuthTimeStamp(m_now + 600, m_now);
    redirected.setResponseHeader(dateHeader(m_now - 1200));
    EXPECT_TRUE(redirected.updateTimestampWithHeaders({}));
    EXPECT_EQ(OAuthClock::timestampOffset(), -1200);
}

TEST_F(OAuthClockTest, ConcurrentResponsesCorrectOnlyOnce)
{
    std::atomic<int> changed{0};
    std::vector<QThread *> threads;
    for (int i = 0; i < 8; ++i) {
        threads.push_back(QThread::create([&] {
            if (OAuthClock::updateTimestamp(dateHeader(m_now + 3600), m_now, m_now))
                ++changed;
        }));
        threads.back()->start();
    }
    for (QThread *t : threads) {
        t->wait();
        delete t;
    }
    EXPECT_EQ(changed.load(), 1);
    EXPECT_EQ(OAuthClock::timestampOffset(), 3600);
}

TEST_F(OAuthClockTest, DatesBeyondAnyRealClockErrorAreIgnored)
{
    const struct
    {
        const char *date;
        bool corrects;
    } cases[] = {
        {"Tue, 01 Jan 1980 00:00:00 GMT", false},
        {"Fri, 01 Jan 2100 00:00:00 GMT", false},
        {"Sat, 01 Jan 2000 00:00:00 GMT", false},
        // 2 days and 1 second either way is no clock error; 1 day is a zone set wrong.
        {"Sun, 03 Jan 2010 00:00:01 GMT", false},
        {"Tue, 29 Dec 2009 23:59:59 GMT", false},
        {"Sat, 02 Jan 2010 00:00:00 GMT", true},
        {"Thu, 31 Dec 2009 00:00:00 GMT", true},
    };
    for (const auto &c : cases) {
        OAuthClock::setTimestampOffset(0);
        OAuthTimestampTracker tracker;
        tracker.setOAuthTimeStamp(m_now, m_now);
        const bool corrected = tracker.updateTimestampWithHeaders(
            {{QStringLiteral("Date"), QString::fromLatin1(c.date)}});
        EXPECT_EQ(corrected, c.corrects) << c.date;
        const qint64 offset = OAuthClock::timestampOffset();
        EXPECT_EQ(offset != 0, c.corrects) << c.date;
        EXPECT_LE(std::abs(offset), OAuthClock::kMaxOffsetSeconds) << c.date;
    }
}

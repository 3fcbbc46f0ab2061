#include "TestHttpServer.h"

#include "foundation/OperationQueue.h"
#include "http/HttpRequest.h"
#include "http/HttpRequestDelegate.h"
#include "http/HttpSession.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>
#include <mutex>
#include <zlib.h>

namespace {

struct Captured
{
    std::mutex lock;
    std::string method;
    std::string body;
    httplib::Headers headers;

    void take(const httplib::Request &req)
    {
        std::lock_guard<std::mutex> g(lock);
        method = req.method;
        body = req.body;
        headers = req.headers;
    }
    std::string header(const char *name)
    {
        std::lock_guard<std::mutex> g(lock);
        auto it = headers.find(name);
        return it == headers.end() ? std::string("<none>") : it->second;
    }
};

QByteArray gzip(const QByteArray &data)
{
    z_stream s = {};
    deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
    QByteArray out(static_cast<qsizetype>(deflateBound(&s, static_cast<uLong>(data.size()))), 0);
    s.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef *>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(static_cast<qsizetype>(s.total_out));
    deflateEnd(&s);
    return out;
}

class RecordingDelegate : public HttpRequestDelegate
{
public:
    void requestFinished(HttpRequest *) override { ++finished; }
    void requestFailed(HttpRequest *) override { ++failed; }
    void requestWillCancelLoad(HttpRequest *request) override
    {
        std::lock_guard<std::mutex> g(lock);
        cancelLoads.append(QString::number(request->responseStatusCode()) + QLatin1Char(' ') +
                           request->responseHeader(QStringLiteral("Location")));
    }
    std::mutex lock;
    QStringList cancelLoads;
    int finished = 0;
    int failed = 0;
};

std::shared_ptr<HttpRequest> get(const QUrl &url)
{
    auto r = HttpRequest::requestWithURL(url);
    r->setTimeOutSeconds(5);
    return r;
}

} // namespace

TEST(HttpRequest, RedirectsChangeMethodByStatusAndMode)
{
    TestHttpServer s;
    Captured seen;
    s.server().Post(R"(/redirect/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
        res.status = std::stoi(req.matches[1]);
        res.set_header("Location", "../echo");
    });
    auto echo = [&seen](const httplib::Request &req, httplib::Response &res) {
        seen.take(req);
        res.set_content(req.method + ":" + req.body, "text/plain");
    };
    s.server().Get("/echo", echo);
    s.server().Post("/echo", echo);
    s.start();

    const struct
    {
        int status;
        bool rfc2616;
        const char *expected;
    } cases[] = {
        {301, false, "GET:"},     {301, true, "POST:a=1"}, {302, false, "GET:"},
        {302, true, "POST:a=1"},  {303, false, "GET:"},    {303, true, "GET:"},
        {307, false, "POST:a=1"}, {307, true, "POST:a=1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.status << (c.rfc2616 ? " rfc2616" : " default"));
        auto r = get(s.url(QStringLiteral("/redirect/%1").arg(c.status)));
        r->setRequestMethod(QStringLiteral("POST"));
        r->appendPostData("a=1");
        r->setShouldUseRFC2616RedirectBehaviour(c.rfc2616);
        r->startSynchronous();
        EXPECT_TRUE(r->error().isNull()) << r->error().localizedDescription().toStdString();
        EXPECT_EQ(r->responseStatusCode(), 200);
        EXPECT_EQ(r->responseString().toStdString(), c.expected);
        EXPECT_EQ(r->url(), s.url(QStringLiteral("/echo")));
        // A dropped body must not leave a stale length behind.
        if (std::string(c.expected) == "GET:") {
            EXPECT_EQ(seen.header("Content-Length"), "<none>");
        }
    }
}

TEST(HttpRequest, FollowsFiveRedirectsAndFailsOnTheSixth)
{
    TestHttpServer s;
    s.server().Get(R"(/hop/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
        const int n = std::stoi(req.matches[1]);
        if (n == 0) {
            res.set_content("arrived", "text/plain");
            return;
        }
        res.status = 302;
        res.set_header("Location", "/hop/" + std::to_string(n - 1));
        res.set_header("X-Hop", std::to_string(n));
    });
    s.start();

    auto five = get(s.url(QStringLiteral("/hop/5")));
    RecordingDelegate delegate;
    five->setDelegate(&delegate);
    five->startSynchronous();
    EXPECT_TRUE(five->error().isNull());
    EXPECT_EQ(five->responseString(), QStringLiteral("arrived"));
    // The hook saw each redirect's headers before they were dropped.
    EXPECT_EQ(delegate.cancelLoads,
              QStringList({"302 /hop/4", "302 /hop/3", "302 /hop/2", "302 /hop/1", "302 /hop/0"}));
    EXPECT_TRUE(five->responseHeader(QStringLiteral("X-Hop")).isEmpty());

    auto six = get(s.url(QStringLiteral("/hop/6")));
    six->startSynchronous();
    EXPECT_EQ(six->error().code(), HttpErrorCode::TooMuchRedirection);
    EXPECT_EQ(six->error().localizedDescription(),
              QStringLiteral("The request failed because it redirected too many times"));
    EXPECT_EQ(six->error().domain(), QStringLiteral("HttpRequestErrorDomain"));

    auto manual = get(s.url(QStringLiteral("/hop/1")));
    manual->setShouldRedirect(false);
    manual->startSynchronous();
    EXPECT_TRUE(manual->error().isNull());
    EXPECT_EQ(manual->responseStatusCode(), 302);
    EXPECT_EQ(manual->responseHeader(QStringLiteral("location")), QStringLiteral("/hop/0"));
}

TEST(HttpRequest, RedirectToAnotherHostDropsTheCallersAuthorization)
{
    TestHttpServer s;
    Captured seen;
    s.server().Get("/away", [&s](const httplib::Request &, httplib::Response &res) {
        res.status = 302;
        res.set_header("Location", "http://localhost:" + std::to_string(s.port()) + "/landing");
    });
    s.server().Get("/landing", [&seen](const httplib::Request &req, httplib::Response &res) {
        seen.take(req);
        res.set_content("ok", "text/plain");
    });
    s.start();
    auto r = get(s.url(QStringLiteral("/away")));
    r->addRequestHeader("Authorization", "OAuth secret");
    r->startSynchronous();
    ASSERT_TRUE(r->error().isNull());
    EXPECT_EQ(seen.header("Authorization"), "<none>");
}

namespace {

QByteArray md5Hex(const QByteArray &text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

// Checks "Authorization: Digest ..." against user "ann", password "s3cret".
bool digestMatches(const httplib::Request &req)
{
    const QString header = QString::fromStdString(req.get_header_value("Authorization"));
    if (!header.startsWith(QLatin1String("Digest ")))
        return false;
    QMap<QString, QString> f;
    static const QRegularExpression field(QStringLiteral(R"re((\w+)=(?:"([^"]*)"|([^,\s]*)))re"));
    auto it = field.globalMatch(header.mid(7));
    while (it.hasNext()) {
        const auto m = it.next();
        f[m.captured(1)] = m.captured(2).isEmpty() ? m.captured(3) : m.captured(2);
    }
    const QByteArray ha1 = md5Hex("ann:talvo:s3cret");
    const QByteArray ha2 =
        md5Hex(QByteArray::fromStdString(req.method) + ':' + f[QStringLiteral("uri")].toUtf8());
    const QByteArray expected =
        md5Hex(ha1 + ':' + f[QStringLiteral("nonce")].toUtf8() + ':' +
               f[QStringLiteral("nc")].toUtf8() + ':' + f[QStringLiteral("cnonce")].toUtf8() + ':' +
               f[QStringLiteral("qop")].toUtf8() + ':' + ha2);
    return f[QStringLiteral("username")] == QLatin1String("ann") &&
           f[QStringLiteral("nonce")] == QLatin1String("n0nce") &&
           f[QStringLiteral("response")].toUtf8() == expected;
}

} // namespace

TEST(HttpRequest, AnswersBasicAndDigestChallenges)
{
    TestHttpServer s;
    s.server().Get("/basic", [](const httplib::Request &req, httplib::Response &res) {
        if (req.get_header_value("Authorization") ==
            "Basic " + QByteArray("ann:s3cret").toBase64().toStdString()) {
            res.set_content("basic ok", "text/plain");
            return;
        }
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"talvo\"");
        res.set_content("denied", "text/plain");
    });
    s.server().Get("/digest", [](const httplib::Request &req, httplib::Response &res) {
        if (digestMatches(req)) {
            res.set_content("digest ok", "text/plain");
            return;
        }
        res.status = 401;
        res.set_header("WWW-Authenticate",
                       "Digest realm=\"talvo\", nonce=\"n0nce\", qop=\"auth\", algorithm=MD5");
    });
    s.start();

    const struct
    {
        const char *path;
        const char *user;
        const char *password;
        int status;
        HttpErrorCode code;
    } cases[] = {
        {"/basic", "ann", "s3cret", 200, HttpErrorCode::NoError},
        {"/digest", "ann", "s3cret", 200, HttpErrorCode::NoError},
        {"/basic", "ann", "wrong", 401, HttpErrorCode::AuthenticationNeeded},
        {"/digest", "ann", "wrong", 401, HttpErrorCode::AuthenticationNeeded},
        {"/basic", "", "", 401, HttpErrorCode::AuthenticationNeeded},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.path << " " << c.user << ":" << c.password);
        HttpRequest::clearSession();
        auto r = get(s.url(QString::fromLatin1(c.path)));
        r->setUsername(QString::fromLatin1(c.user));
        r->setPassword(QString::fromLatin1(c.password));
        r->startSynchronous();
        EXPECT_EQ(r->responseStatusCode(), c.status);
        EXPECT_EQ(r->error().code(), c.code);
        if (c.code == HttpErrorCode::AuthenticationNeeded) {
            EXPECT_EQ(r->error().localizedDescription(), QStringLiteral("Authentication needed"));
        }
    }

    // Credentials that succeeded are reused by later requests of the run, unless the
    // request opts out.
    HttpRequest::clearSession();
    auto first = get(s.url(QStringLiteral("/digest")));
    first->setUsername(QStringLiteral("ann"));
    first->setPassword(QStringLiteral("s3cret"));
    RecordingDelegate delegate;
    first->setDelegate(&delegate);
    first->startSynchronous();
    ASSERT_TRUE(first->error().isNull());
    // The challenge was dropped before the retry, once.
    EXPECT_EQ(delegate.cancelLoads, QStringList({QStringLiteral("401 ")}));
    auto second = get(s.url(QStringLiteral("/digest")));
    second->startSynchronous();
    EXPECT_TRUE(second->error().isNull());
    EXPECT_EQ(second->responseString(), QStringLiteral("digest ok"));
    auto optedOut = get(s.url(QStringLiteral("/digest")));
    optedOut->setUseSessionPersistence(false);
    optedOut->startSynchronous();
    EXPECT_EQ(optedOut->error().code(), HttpErrorCode::AuthenticationNeeded);
    HttpRequest::clearSession();
}

TEST(HttpRequest, InflatesGzipAndRejectsBadOrOversizedBodies)
{
    TestHttpServer s;
    Captured seen;
    const std::string json =
        std::string("{\"text\":\"caf\xc3\xa9\",\"statuses\":[") + std::string(3000, ' ') + "]}";
    const QByteArray zipped = gzip(QByteArray::fromStdString(json));
    s.server().Get("/json", [&](const httplib::Request &req, httplib::Response &res) {
        seen.take(req);
        if (req.get_header_value("Accept-Encoding") == "gzip") {
            res.set_header("Content-Encoding", "gzip");
            res.set_content(zipped.toStdString(), "application/json; charset=utf-8");
        } else {
            res.set_content(json, "application/json; charset=utf-8");
        }
    });
    const QByteArray bomb = gzip(QByteArray(8 * 1024 * 1024, '\0'));
    s.server().Get("/bomb", [&](const httplib::Request &, httplib::Response &res) {
        res.set_header("Content-Encoding", "gzip");
        res.set_content(bomb.toStdString(), "application/octet-stream");
    });
    s.server().Get("/garbage", [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Content-Encoding", "gzip");
        res.set_content("this is not gzip at all", "application/octet-stream");
    });
    const QByteArray wholeGzip = gzip(QByteArray(5000, 'x'));
    const QByteArray truncated = wholeGzip.left(wholeGzip.size() - 10);
    s.server().Get("/truncated", [&](const httplib::Request &, httplib::Response &res) {
        res.set_header("Content-Encoding", "gzip");
        res.set_content(truncated.toStdString(), "application/octet-stream");
    });
    s.server().Get("/big", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(std::string(300000, 'b'), "application/octet-stream");
    });
    s.server().Get("/bigchunks", [](const httplib::Request &, httplib::Response &res) {
        res.set_chunked_content_provider("application/octet-stream",
                                         [](size_t offset, httplib::DataSink &sink) {
                                             std::string chunk(4096, 'c');
                                             sink.write(chunk.data(), chunk.size());
                                             if (offset > 4000000)
                                                 sink.done();
                                             return true;
                                         });
    });
    s.start();

    auto r = get(s.url(QStringLiteral("/json")));
    r->startSynchronous();
    ASSERT_TRUE(r->error().isNull());
    EXPECT_EQ(seen.header("Accept-Encoding"), "gzip");
    EXPECT_EQ(r->responseHeader(QStringLiteral("Content-Encoding")), QStringLiteral("gzip"));
    EXPECT_EQ(r->responseString(), QString::fromStdString(json));
    EXPECT_TRUE(r->responseString().startsWith(QStringLiteral("{\"text\":\"caf\u00e9\"")));

    auto plain = get(s.url(QStringLiteral("/json")));
    plain->setAllowCompressedResponse(false);
    plain->startSynchronous();
    EXPECT_EQ(seen.header("Accept-Encoding"), "<none>");
    EXPECT_EQ(plain->responseData().toStdString(), json);

    const struct
    {
        const char *path;
        qint64 cap;
    } bad[] = {{"/bomb", 1024 * 1024},
               {"/garbage", 1024 * 1024},
               {"/truncated", 1024 * 1024},
               {"/big", 100000},
               {"/bigchunks", 1024 * 1024}};
    for (const auto &c : bad) {
        SCOPED_TRACE(c.path);
        auto b = get(s.url(QString::fromLatin1(c.path)));
        b->setMaxResponseBodySize(c.cap);
        b->startSynchronous();
        EXPECT_EQ(b->error().code(), HttpErrorCode::FileManagementError);
        EXPECT_LE(b->responseData().size(), c.cap);
    }
}

TEST(HttpRequest, StalledServerTimesOutAndCancelStopsTheWait)
{
    TestHttpServer s;
    s.server().Get("/stall", [&s](const httplib::Request &, httplib::Response &res) {
        s.waitWhileRunning(10000);
        res.set_content("late", "text/plain");
    });
    s.start();

    auto r = get(s.url(QStringLiteral("/stall")));
    r->setTimeOutSeconds(0.3);
    RecordingDelegate delegate;
    r->setDelegate(&delegate);
    r->startSynchronous();
    EXPECT_EQ(r->error().code(), HttpErrorCode::RequestTimedOut);
    EXPECT_EQ(r->error().localizedDescription(), QStringLiteral("The request timed out"));
    EXPECT_EQ(r->responseStatusCode(), 0);
    EXPECT_EQ(delegate.cancelLoads.size(), 1);
    EXPECT_TRUE(r->complete());

    auto c = get(s.url(QStringLiteral("/stall")));
    std::thread canceller([c] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        c->cancel();
    });
    c->startSynchronous();
    canceller.join();
    EXPECT_EQ(c->error().code(), HttpErrorCode::RequestCancelled);
    EXPECT_EQ(c->error().localizedDescription(), QStringLiteral("The request was cancelled"));

    auto early = get(s.url(QStringLiteral("/stall")));
    early->cancel();
    early->startSynchronous();
    EXPECT_EQ(early->error().code(), HttpErrorCode::RequestCancelled);
}

TEST(HttpRequest, TransportAndUrlFailuresHaveTheirCodes)
{
    const struct
    {
        QString url;
        HttpErrorCode code;
        const char *text;
    } cases[] = {
        {QStringLiteral("http://127.0.0.1:%1/").arg(closedLoopbackPort()),
         HttpErrorCode::ConnectionFailure, "A connection failure occurred"},
        {QStringLiteral("ftp://127.0.0.1/file"), HttpErrorCode::UnableToCreateRequest,
         "Unable to create request (bad url?)"},
        {QStringLiteral("http:///nohost"), HttpErrorCode::UnableToCreateRequest,
         "Unable to create request (bad url?)"},
        {QStringLiteral("not a url"), HttpErrorCode::UnableToCreateRequest,
         "Unable to create request (bad url?)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        auto r = get(QUrl(c.url));
        r->startSynchronous();
        EXPECT_EQ(r->error().code(), c.code);
        EXPECT_EQ(r->error().localizedDescription(), QString::fromLatin1(c.text));
        EXPECT_EQ(r->responseStatusCode(), 0);
    }

    // Header text that would split the request is refused before anything is sent.
    auto injected = get(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(closedLoopbackPort())));
    injected->addRequestHeader("X-Test", "a\r\nX-Evil: 1");
    injected->startSynchronous();
    EXPECT_EQ(injected->error().code(), HttpErrorCode::InternalErrorWhileBuildingRequest);
}

TEST(HttpRequest, HostileAnswersEndInAnError)
{
    RawCaptureServer raw;
    const struct
    {
        const char *answer;
        HttpErrorCode code;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", HttpErrorCode::NoError},
        {"", HttpErrorCode::ConnectionFailure},
        {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\ntruncated",
         HttpErrorCode::ConnectionFailure},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc",
         HttpErrorCode::ConnectionFailure},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabc",
         HttpErrorCode::ConnectionFailure},
        {"not http at all\r\n\r\n", HttpErrorCode::ConnectionFailure},
        {"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 3\r\n\r\nabc",
         HttpErrorCode::FileManagementError},
        {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999\r\n\r\nabc",
         HttpErrorCode::FileManagementError},
        {"HTTP/1.1 302 Found\r\nLocation: javascript:alert(1)\r\nContent-Length: 0\r\n\r\n",
         HttpErrorCode::UnableToCreateRequest},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.answer);
        raw.setAnswer(c.answer);
        auto r = get(raw.url(QStringLiteral("/")));
        r->setShouldAttemptPersistentConnection(false);
        r->startSynchronous();
        EXPECT_EQ(r->error().code(), c.code) << r->error().localizedDescription().toStdString();
        EXPECT_TRUE(r->complete());
    }

    // A HEAD answer announces a length but carries no body.
    raw.setAnswer("HTTP/1.1 200 OK\r\nContent-Length: 99999999999\r\n\r\n");
    auto head = get(raw.url(QStringLiteral("/")));
    head->setRequestMethod(QStringLiteral("HEAD"));
    head->startSynchronous();
    EXPECT_TRUE(head->error().isNull()) << head->error().localizedDescription().toStdString();
    EXPECT_EQ(raw.last().requestLine, QByteArray("HEAD / HTTP/1.1"));
}

TEST(HttpRequest, ErrorStatusesFinishNormallyWithChunkedBodies)
{
    TestHttpServer s;
    s.server().Get(R"(/status/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
        res.status = std::stoi(req.matches[1]);
        res.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink &sink) {
            if (offset == 0) {
                sink.write("part one, ", 10);
            } else {
                sink.write("part two", 8);
                sink.done();
            }
            return true;
        });
    });
    s.start();
    for (int status : {200, 404, 500, 503}) {
        SCOPED_TRACE(status);
        auto r = get(s.url(QStringLiteral("/status/%1").arg(status)));
        r->startSynchronous();
        EXPECT_TRUE(r->error().isNull());
        EXPECT_EQ(r->responseStatusCode(), status);
        EXPECT_FALSE(r->responseStatusMessage().isEmpty());
        EXPECT_EQ(r->responseString(), QStringLiteral("part one, part two"));
        EXPECT_EQ(r->responseHeader(QStringLiteral("transfer-encoding")),
                  QStringLiteral("chunked"));
    }
}

TEST(HttpRequest, ResponseStringUsesTheCharsetOfContentType)
{
    TestHttpServer s;
    s.server().Get("/text", [](const httplib::Request &req, httplib::Response &res) {
        const std::string type = req.get_param_value("type");
        const std::string hex = req.get_param_value("hex");
        res.set_content(QByteArray::fromHex(QByteArray::fromStdString(hex)).toStdString(), type);
    });
    s.start();
    const struct
    {
        const char *type;
        const char *hex;
        QString expected;
    } cases[] = {
        {"text/plain; charset=utf-8", "c3a92e", QStringLiteral("\u00e9.")},
        {"text/plain; charset=\"UTF-8\"", "e282ac", QStringLiteral("\u20ac")},
        {"text/plain", "e9", QStringLiteral("\u00e9")},
        {"text/plain; charset=iso-8859-1", "c3a9", QStringLiteral("\u00c3\u00a9")},
        {"text/plain; charset=utf-16le", "41004200", QStringLiteral("AB")},
        {"text/plain; charset=no-such-charset", "e9", QStringLiteral("\u00e9")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type);
        QUrl url = s.url(QStringLiteral("/text"));
        url.setQuery(
            QStringLiteral("type=%1&hex=%2")
                .arg(QString::fromLatin1(QUrl::toPercentEncoding(QString::fromLatin1(c.type))),
                     QString::fromLatin1(c.hex)));
        auto r = get(url);
        r->setAllowCompressedResponse(false);
        r->startSynchronous();
        ASSERT_TRUE(r->error().isNull());
        EXPECT_EQ(r->responseString(), c.expected);
    }
}

TEST(HttpRequest, CookiesPersistAcrossRequestsUnlessSwitchedOff)
{
    HttpSession::clearCookies();
    TestHttpServer s;
    Captured seen;
    s.server().Get("/set", [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Set-Cookie", "session=abc123; Path=/");
        res.set_header("Set-Cookie", "theme=dark; Path=/");
        res.set_header("Set-Cookie", "elsewhere=1; Path=/other");
    });
    s.server().Get("/check",
                   [&seen](const httplib::Request &req, httplib::Response &) { seen.take(req); });
    s.start();

    get(s.url(QStringLiteral("/set")))->startSynchronous();
    get(s.url(QStringLiteral("/check")))->startSynchronous();
    EXPECT_EQ(seen.header("Cookie"), "session=abc123; theme=dark");

    auto without = get(s.url(QStringLiteral("/check")));
    without->setUseCookiePersistence(false);
    without->startSynchronous();
    EXPECT_EQ(seen.header("Cookie"), "<none>");
    HttpSession::clearCookies();
}

TEST(HttpRequest, SendsTheDefaultAndCallerHeaders)
{
    TestHttpServer s;
    Captured seen;
    s.server().Put("/put",
                   [&seen](const httplib::Request &req, httplib::Response &) { seen.take(req); });
    s.start();
    auto r = get(s.url(QStringLiteral("/put")));
    r->setRequestMethod(QStringLiteral("PUT"));
    r->addRequestHeader("X-Thing", "first");
    r->addRequestHeader("x-thing", "second");
    r->appendPostData("12345");
    r->startSynchronous();
    ASSERT_TRUE(r->error().isNull());
    EXPECT_EQ(seen.method, "PUT");
    EXPECT_EQ(seen.header("X-Thing"), "second");
    EXPECT_EQ(seen.header("Content-Length"), "5");
    EXPECT_EQ(seen.header("Content-Type"), "<none>");
    EXPECT_EQ(seen.header("User-Agent"), HttpRequest::defaultUserAgentString().toStdString());
    EXPECT_EQ(seen.body, "12345");

    // "Talvo 0.1.0 (X11; Linux 6.1.0-13-amd64; en_US)"
    static const QRegularExpression form(
        QStringLiteral(R"(^Talvo \S+ \(X11; \S+ \S+; [a-zA-Z_]+\)$)"));
    EXPECT_TRUE(form.match(HttpRequest::defaultUserAgentString()).hasMatch())
        << HttpRequest::defaultUserAgentString().toStdString();
}

TEST(HttpRequest, KeptAliveConnectionsAreReusedUnlessSwitchedOff)
{
    TestHttpServer s;
    s.server().set_keep_alive_max_count(100);
    std::mutex lock;
    std::vector<int> ports;
    s.server().Get("/port", [&](const httplib::Request &req, httplib::Response &res) {
        std::lock_guard<std::mutex> g(lock);
        ports.push_back(req.remote_port);
        // The last request closes the connection so that the server can stop at once.
        if (req.has_param("last"))
            res.set_header("Connection", "close");
    });
    s.start();
    const char *paths[] = {"/port", "/port", "/port", "/port?last=1"};
    for (int i = 0; i < 4; ++i) {
        auto r = get(s.url(QString::fromLatin1(paths[i])));
        r->setShouldAttemptPersistentConnection(i != 2);
        r->startSynchronous();
        ASSERT_TRUE(r->error().isNull());
    }
    std::lock_guard<std::mutex> g(lock);
    ASSERT_EQ(ports.size(), 4u);
    EXPECT_EQ(ports[0], ports[1]);
    // The third asks for a fresh connection of its own and closes it.
    EXPECT_NE(ports[2], ports[1]);
    EXPECT_EQ(ports[3], ports[1]);
}

TEST(HttpRequest, HttpsVerifiesAgainstTheConfiguredCa)
{
    TestHttpServer s(TestHttpServer::Scheme::Https);
    s.server().Get("/secure", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("secret", "text/plain");
    });
    s.start();

    auto trusted = get(s.url(QStringLiteral("/secure")));
    trusted->setCaBundle(TestHttpServer::caBundle());
    trusted->startSynchronous();
    EXPECT_TRUE(trusted->error().isNull()) << trusted->error().localizedDescription().toStdString();
    EXPECT_EQ(trusted->responseString(), QStringLiteral("secret"));

    HttpRequest::setDefaultCaBundle(TestHttpServer::caBundle());
    auto viaDefault = get(s.url(QStringLiteral("/secure")));
    viaDefault->startSynchronous();
    HttpRequest::setDefaultCaBundle(QString());
    EXPECT_TRUE(viaDefault->error().isNull());

    // Switching validation off does not make an unknown CA acceptable.
    auto untrusted = get(s.url(QStringLiteral("/secure")));
    untrusted->setValidatesSecureCertificate(false);
    untrusted->startSynchronous();
    EXPECT_EQ(untrusted->error().code(), HttpErrorCode::ConnectionFailure);
    EXPECT_TRUE(untrusted->error().localizedDescription().endsWith(
        QLatin1String(": SSL problem (possibly a bad/expired/self-signed certificate)")))
        << untrusted->error().localizedDescription().toStdString();
    EXPECT_TRUE(untrusted->responseData().isEmpty());
}

TEST(HttpRequest, AsynchronousRunCallsBackOnTheMainThread)
{
    TestHttpServer s;
    s.server().Get("/hello", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("hello", "text/plain");
    });
    s.server().Get("/stall", [&s](const httplib::Request &, httplib::Response &res) {
        s.waitWhileRunning(10000);
        res.set_content("late", "text/plain");
    });
    s.start();

    RecordingDelegate delegate;
    auto ok = get(s.url(QStringLiteral("/hello")));
    ok->setDelegate(&delegate);
    auto failing = get(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(closedLoopbackPort())));
    failing->setDelegate(&delegate);
    bool onMainThread = false;
    QString body;
    auto withBlock = get(s.url(QStringLiteral("/hello")));
    withBlock->setDidFinishSelector([&](HttpRequest *r) {
        onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        body = r->responseString();
    });
    ok->startAsynchronous();
    failing->startAsynchronous();
    withBlock->startAsynchronous();
    ASSERT_TRUE(
        waitUntil([&] { return delegate.finished + delegate.failed == 2 && !body.isEmpty(); }));
    EXPECT_EQ(delegate.finished, 1);
    EXPECT_EQ(delegate.failed, 1);
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(body, QStringLiteral("hello"));

    // Cancelling a running request, directly or through its operation, fails it with code 4.
    OperationQueue queue(-1);
    auto stalled = get(s.url(QStringLiteral("/stall")));
    auto viaOperation = get(s.url(QStringLiteral("/stall")));
    QList<int> codes;
    for (const auto &r : {stalled, viaOperation})
        r->setDidFailSelector(
            [&codes](HttpRequest *failed) { codes.append(failed->error().codeValue()); });
    stalled->startAsynchronous();
    const std::shared_ptr<Operation> op = viaOperation->operation();
    queue.addOperation(op);
    ASSERT_TRUE(waitUntil([&] { return op->isExecuting(); }));
    stalled->cancel();
    op->cancel();
    ASSERT_TRUE(waitUntil([&] { return codes.size() == 2; }));
    EXPECT_EQ(codes, QList<int>({4, 4}));
}

TEST(HttpRequest, UtilitiesInflateEncodeAndLookUp)
{
    const QByteArray text(10000, 'z');
    int code = 1;
    EXPECT_EQ(HttpRequest::uncompressZippedData(gzip(text), 1 << 20, &code), text);
    EXPECT_EQ(code, Z_OK);
    EXPECT_TRUE(HttpRequest::uncompressZippedData(gzip(text), 9999, &code).isEmpty());
    EXPECT_EQ(code, Z_MEM_ERROR);
    EXPECT_TRUE(HttpRequest::uncompressZippedData("\x1f\x8b garbage", 1 << 20, &code).isEmpty());
    EXPECT_NE(code, Z_OK);
    // zlib-wrapped data inflates too.
    EXPECT_EQ(HttpRequest::uncompressZippedData(qCompress(text).mid(4), 1 << 20, &code), text);

    auto r = HttpRequest::requestWithURL(QUrl(QStringLiteral("http://example.com/")));
    r->setUsername(QStringLiteral("Aladdin"));
    r->setPassword(QStringLiteral("open sesame"));
    r->basicHTTPAuthentication();
    EXPECT_EQ(r->requestHeader("authorization"), QByteArray("Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ=="));

    EXPECT_EQ(HttpRequest::mimeTypeForFileAtPath(QStringLiteral("/x/photo.jpg")),
              QStringLiteral("image/jpeg"));
    EXPECT_EQ(HttpRequest::mimeTypeForFileAtPath(QStringLiteral("/x/p.png")),
              QStringLiteral("image/png"));
    EXPECT_EQ(HttpRequest::mimeTypeForFileAtPath(QStringLiteral("/x/blob.zzqq")),
              QStringLiteral("application/octet-stream"));
}

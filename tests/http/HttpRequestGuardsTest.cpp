#include "TestHttpServer.h"

#include "http/HttpRequest.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <zlib.h>

namespace {

std::string gzip(const std::string &data)
{
    z_stream s = {};
    deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&s, static_cast<uLong>(data.size())), '\0');
    s.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef *>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

std::shared_ptr<HttpRequest> get(const QUrl &url)
{
    auto r = HttpRequest::requestWithURL(url);
    r->setTimeOutSeconds(5);
    r->setUseSessionPersistence(false);
    return r;
}

} // namespace

TEST(HttpRequestGuards, CredentialsNeverFollowARedirectToAnotherOrigin)
{
    TestHttpServer s;
    std::mutex lock;
    QStringList authorizations;
    s.server().Get("/here", [](const httplib::Request &, httplib::Response &res) {
        res.status = 302;
        res.set_header("Location", "/protected");
    });
    s.server().Get("/away", [&s](const httplib::Request &, httplib::Response &res) {
        res.status = 302;
        res.set_header("Location", "http://localhost:" + std::to_string(s.port()) + "/protected");
    });
    s.server().Get("/protected", [&](const httplib::Request &req, httplib::Response &res) {
        const std::string auth = req.get_header_value("Authorization");
        {
            std::lock_guard<std::mutex> g(lock);
            authorizations << QString::fromStdString(auth);
        }
        if (auth == "Basic " + QByteArray("ann:s3cret").toBase64().toStdString()) {
            res.set_content("inside", "text/plain");
            return;
        }
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"talvo\"");
    });
    s.start();

    const QString basic = QStringLiteral("Basic ") + QByteArray("ann:s3cret").toBase64();
    const struct
    {
        const char *path;
        int status;
        HttpErrorCode code;
        bool passwordSent;
    } cases[] = {
        // Same origin: the challenge is answered.
        {"/here", 200, HttpErrorCode::NoError, true},
        // Another host: the password stays home.
        {"/away", 401, HttpErrorCode::AuthenticationNeeded, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        {
            std::lock_guard<std::mutex> g(lock);
            authorizations.clear();
        }
        auto r = get(s.url(QString::fromLatin1(c.path)));
        r->setUsername(QStringLiteral("ann"));
        r->setPassword(QStringLiteral("s3cret"));
        r->startSynchronous();
        EXPECT_EQ(r->responseStatusCode(), c.status);
        EXPECT_EQ(r->error().code(), c.code);
        std::lock_guard<std::mutex> g(lock);
        EXPECT_EQ(authorizations.contains(basic), c.passwordSent);
    }
}

TEST(HttpRequestGuards, ErrorAnswersAreInflatedAndDecodedLikeSuccesses)
{
    TestHttpServer s;
    // "ö" in UTF-8; a type the test server does not compress again on its own.
    const std::string text = "Zugriff verweigert: \xc3\xb6";
    s.server().Get("/denied", [&](const httplib::Request &, httplib::Response &res) {
        res.status = 401;
        res.set_header("Content-Encoding", "gzip");
        res.set_content(gzip(text), "application/x-talvo-test; charset=utf-8");
    });
    s.server().Get("/loop", [&](const httplib::Request &, httplib::Response &res) {
        res.status = 302;
        res.set_header("Location", "/loop");
        res.set_header("Content-Encoding", "gzip");
        res.set_content(gzip(text), "application/x-talvo-test; charset=utf-8");
    });
    s.start();

    const struct
    {
        const char *path;
        HttpErrorCode code;
    } cases[] = {
        {"/denied", HttpErrorCode::AuthenticationNeeded},
        {"/loop", HttpErrorCode::TooMuchRedirection},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        auto r = get(s.url(QString::fromLatin1(c.path)));
        r->startSynchronous();
        EXPECT_EQ(r->error().code(), c.code);
        EXPECT_EQ(r->responseData(), QByteArray::fromStdString(text));
        EXPECT_EQ(r->responseString(), QStringLiteral("Zugriff verweigert: \u00f6"));
    }
}

TEST(HttpRequestGuards, ARequestRunsOnce)
{
    TestHttpServer s;
    std::atomic<int> hits{0};
    s.server().Get("/once", [&](const httplib::Request &, httplib::Response &res) {
        ++hits;
        res.set_content("ok", "text/plain");
    });
    s.start();

    auto r = get(s.url(QStringLiteral("/once")));
    r->startSynchronous();
    ASSERT_TRUE(r->error().isNull());
    r->startSynchronous();
    EXPECT_EQ(r->error().code(), HttpErrorCode::InternalErrorWhileBuildingRequest);
    EXPECT_EQ(hits.load(), 1);
}

TEST(HttpRequestGuards, TheDeadlineEndsAServerThatKeepsDripping)
{
    TestHttpServer s;
    // One byte every 50 ms: never idle, so only the deadline can end it early.
    s.server().Get("/drip", [&s](const httplib::Request &req, httplib::Response &res) {
        const int bytes = std::stoi(req.get_param_value("bytes"));
        res.set_chunked_content_provider(
            "text/plain", [&s, bytes](size_t offset, httplib::DataSink &sink) {
                if (offset >= static_cast<size_t>(bytes) || s.stopping()) {
                    sink.done();
                    return true;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                return sink.write("x", 1);
            });
    });
    s.start();

    const struct
    {
        int bytes;
        double deadline;
        HttpErrorCode code;
        qsizetype received;
    } cases[] = {
        {400, 0.5, HttpErrorCode::RequestTimedOut, -1}, // 20 s of dripping
        {4, 5.0, HttpErrorCode::NoError, 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bytes);
        auto r = get(s.url(QStringLiteral("/drip?bytes=%1").arg(c.bytes)));
        r->setTimeOutSeconds(2);
        r->setDeadlineSeconds(c.deadline);
        r->startSynchronous();
        EXPECT_EQ(r->error().code(), c.code);
        if (c.received >= 0) {
            EXPECT_EQ(r->responseData().size(), c.received);
        }
    }
}

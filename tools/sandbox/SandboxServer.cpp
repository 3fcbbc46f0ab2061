#include "SandboxServer.h"

#include "Certificates.h"
#include "CompanionApi.h"
#include "FacebookApi.h"
#include "PictureHostApi.h"
#include "ReleaseFeeds.h"
#include "Seeder.h"
#include "ShortLinks.h"
#include "ShortenerApi.h"
#include "TextServicesApi.h"
#include "TwitterApi.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <httplib.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

// Room for the largest picture upload (16 MB) and its form fields.
constexpr size_t kMaxPayloadBytes = 17 * 1024 * 1024;
constexpr int kServerThreads = 16;

QList<OAuthVerifier::Param> queryOf(const std::string &target)
{
    const auto q = target.find('?');
    if (q == std::string::npos)
        return {};
    return OAuthVerifier::parseForm(QByteArray::fromStdString(target.substr(q + 1)));
}

void sleepUnlessStopping(int ms, const std::atomic<bool> &stopping)
{
    for (int waited = 0; waited < ms && !stopping; waited += 50)
        std::this_thread::sleep_for(std::chrono::milliseconds(qMin(50, ms - waited)));
}

} // namespace

SandboxServer::SandboxServer(SandboxOptions options)
    : m_options(std::move(options))
    , m_rng(m_options.seed)
{
}

SandboxServer::~SandboxServer()
{
    stop();
}

QStringList SandboxServer::shortenerNames()
{
    return {QStringLiteral("bitly"), QStringLiteral("jmp"),   QStringLiteral("trim"),
            QStringLiteral("cligs"), QStringLiteral("isgd"),  QStringLiteral("tinyurl"),
            QStringLiteral("unu"),   QStringLiteral("budurl")};
}

QStringList SandboxServer::virtualHosts()
{
    QStringList hosts = {QStringLiteral("localhost"),
                         QStringLiteral("www.localhost"),
                         QStringLiteral("frame.localhost"),
                         QStringLiteral("frameset.localhost"),
                         QStringLiteral("pics.localhost"),
                         QStringLiteral("photos.localhost"),
                         QString::fromLatin1(FacebookApi::kGraphHost),
                         QString::fromLatin1(FacebookApi::kWebHost)};
    for (const QString &name : shortenerNames())
        hosts << name + QStringLiteral(".localhost")
              << QStringLiteral("api.") + name + QStringLiteral(".localhost");
    for (const QString &name : PictureHostApi::hostNames())
        hosts << QStringLiteral("upload.") + name + QStringLiteral(".localhost");
    hosts << TextServicesApi::hostNames();
    return hosts;
}

bool SandboxServer::start(QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (m_options.dataDir.isEmpty())
        return fail(QStringLiteral("no data folder"));
    if (!QDir().mkpath(m_options.dataDir))
        return fail(QStringLiteral("cannot create %1").arg(m_options.dataDir));
    const QDir dir(m_options.dataDir);

    QString dbError;
    if (!m_db.open(dir.absoluteFilePath(QStringLiteral("sandbox.sqlite")), &dbError))
        return fail(QStringLiteral("database: %1").arg(dbError));
    m_oauth = std::make_unique<OAuthVerifier>(m_options.consumerKey, m_options.consumerSecret);
    m_faults = std::make_unique<Faults>(m_options.faultsFile);
    m_twitter = std::make_unique<TwitterApi>(*this);
    m_companion = std::make_unique<CompanionApi>(*this);
    m_shortLinks = std::make_unique<ShortLinks>(*this);
    m_pictureHosts = std::make_unique<PictureHostApi>(*this);
    m_shortenerApi = std::make_unique<ShortenerApi>(*this);
    m_facebook = std::make_unique<FacebookApi>(*this, m_options.facebookAppId);
    m_textServices = std::make_unique<TextServicesApi>(*this);

    if (m_db.wasCreated()) {
        Seeder seeder(*this);
        seeder.seed(m_options.users);
        qInfo("sandbox: new data in %s, %d users (password \"%s\" for each)",
              qPrintable(dir.absolutePath()), m_options.users, Seeder::kPassword);
    }
    m_facebook->seedIfEmpty();

    Certificates certs;
    QString certError;
    if (!Certificates::ensure(dir.absolutePath(), virtualHosts(), &certs, &certError))
        return fail(certError);
    m_caBundle = certs.caPem;

    m_http = std::make_unique<httplib::Server>();
    m_https = std::make_unique<httplib::SSLServer>(certs.serverPem.toLocal8Bit().constData(),
                                                   certs.serverKey.toLocal8Bit().constData());
    if (!m_https->is_valid())
        return fail(QStringLiteral("cannot load the server certificate"));

    for (auto *svr : {m_http.get(), m_https.get()}) {
        const bool tls = svr == m_https.get();
        auto handler = [this, tls](const httplib::Request &req, httplib::Response &res) {
            handle(req, res, tls);
        };
        svr->new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
        svr->set_payload_max_length(kMaxPayloadBytes);
        svr->set_keep_alive_max_count(100);
        svr->set_read_timeout(10, 0);
        // Without SO_REUSEPORT: a second sandbox on the same port must fail to bind instead
        // of sharing the port and taking part of the first one's connections.
        svr->set_socket_options([](socket_t sock) {
            int yes = 1;
            setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
        });
        svr->Get(".*", handler);
        svr->Post(".*", handler);
        svr->Put(".*", handler);
        svr->Delete(".*", handler);
    }
    auto bindTo = [](httplib::Server &svr, int wanted) {
        if (wanted == 0)
            return svr.bind_to_any_port("127.0.0.1");
        return svr.bind_to_port("127.0.0.1", wanted) ? wanted : -1;
    };
    const auto cannotListen = [](int port) {
        const int code = errno;
        if (code == EADDRINUSE)
            return QStringLiteral("port %1 is taken (is another talvo-sandbox running?)").arg(port);
        return QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
            .arg(port)
            .arg(QString::fromLocal8Bit(std::strerror(code)));
    };
    errno = 0;
    m_port = bindTo(*m_http, m_options.port);
    if (m_port <= 0)
        return fail(cannotListen(m_options.port));
    m_tlsPort = bindTo(*m_https, m_options.tlsPort);
    if (m_tlsPort <= 0)
        return fail(cannotListen(m_options.tlsPort));
    m_httpThread = std::thread([this] { m_http->listen_after_bind(); });
    m_httpsThread = std::thread([this] { m_https->listen_after_bind(); });
    while (!m_http->is_running() || !m_https->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (m_options.activity > 0)
        m_activityThread = std::thread([this] { activityLoop(); });
    return true;
}

void SandboxServer::stop()
{
    if (m_stopping.exchange(true))
        return;
    if (m_http)
        m_http->stop();
    if (m_https)
        m_https->stop();
    for (std::thread *t : {&m_httpThread, &m_httpsThread, &m_activityThread}) {
        if (t->joinable())
            t->join();
    }
    std::lock_guard lock(m_stateMutex);
    m_db.close();
}

void SandboxServer::closeForExit()
{
    m_stopping = true;
    std::lock_guard lock(m_stateMutex);
    m_db.close();
}

HostProfile SandboxServer::profile() const
{
    HostProfile p;
    p.setName(QStringLiteral("sandbox"));
    p.setCaBundle(m_caBundle);
    p.setPollInterval(m_options.pollInterval);
    const QString api = QStringLiteral("https://127.0.0.1:%1").arg(m_tlsPort);
    for (const char *service : {"twitter-api", "twitter-oauth", "twitter-search", "twitter-web",
                                "companion", "companion-web"})
        p.setBaseUrl(QString::fromLatin1(service), QUrl(api));
    for (const QString &name : shortenerNames()) {
        p.setBaseUrl(name,
                     QUrl(QStringLiteral("https://api.%1.localhost:%2").arg(name).arg(m_tlsPort)));
        p.setBaseUrl(name + QStringLiteral("-links"),
                     QUrl(QStringLiteral("https://%1.localhost:%2").arg(name).arg(m_tlsPort)));
    }
    p.setBaseUrl(QStringLiteral("facebook-graph"),
                 QUrl(QStringLiteral("https://%1:%2").arg(FacebookApi::kGraphHost).arg(m_tlsPort)));
    p.setBaseUrl(QStringLiteral("facebook-web"),
                 QUrl(QStringLiteral("https://%1:%2").arg(FacebookApi::kWebHost).arg(m_tlsPort)));
    for (const QString &name : PictureHostApi::hostNames())
        p.setBaseUrl(
            name, QUrl(QStringLiteral("https://upload.%1.localhost:%2").arg(name).arg(m_tlsPort)));
    for (const auto &[service, host] : {std::pair{"pingfm", "api.pingfm"},
                                        {"pingfm-links", "pingfm"},
                                        {"instapaper", "www.instapaper"},
                                        {"shrink", "api.shrink"},
                                        {"translate", "api.translate"}})
        p.setBaseUrl(QString::fromLatin1(service), QUrl(QStringLiteral("https://%1.localhost:%2")
                                                            .arg(QString::fromLatin1(host))
                                                            .arg(m_tlsPort)));
    return p;
}

qint64 SandboxServer::now()
{
    return QDateTime::currentSecsSinceEpoch() + (m_faults ? m_faults->clockSkewSecs() : 0);
}

SandboxServer::RateLimit SandboxServer::rateLimitFor(qint64 userId, bool counts, qint64 nowSecs)
{
    Window &w = m_rateWindows[userId];
    if (w.start == 0 || nowSecs >= w.start + 3600 || nowSecs < w.start) {
        w.start = nowSecs;
        w.used = 0;
    }
    RateLimit r;
    const int perHour = m_options.rateLimit;
    r.limit = perHour;
    r.reset = w.start + 3600;
    const std::optional<int> forced = m_faults->forcedRateLimitRemaining();
    if (counts) {
        if ((forced && *forced == 0) || (!forced && w.used >= perHour))
            r.exceeded = true;
        else
            ++w.used;
    }
    r.remaining = forced ? *forced : qMax(0, perHour - w.used);
    return r;
}

void SandboxServer::handle(const httplib::Request &req, httplib::Response &res, bool tls)
{
    QElapsedTimer timer;
    timer.start();
    m_faults->refresh();

    SandboxCall call;
    call.req = &req;
    call.tls = tls;
    call.method = QByteArray::fromStdString(req.method).toUpper();
    call.hostHeader = QByteArray::fromStdString(req.get_header_value("Host"));
    {
        QString host = QString::fromUtf8(call.hostHeader).toLower();
        const qsizetype colon = host.lastIndexOf(u':');
        if (colon > 0 && !host.endsWith(u']'))
            host.truncate(colon);
        call.host = host;
    }
    call.path = QString::fromStdString(req.path);
    call.rawPath = QByteArray::fromStdString(req.target.substr(0, req.target.find('?')));
    call.query = queryOf(req.target);
    const std::string contentType = req.get_header_value("Content-Type");
    if (contentType.rfind("application/x-www-form-urlencoded", 0) == 0)
        call.form = OAuthVerifier::parseForm(QByteArray::fromStdString(req.body));
    for (const auto &[name, file] : req.files) {
        if (file.filename.empty())
            call.form.append(
                {QByteArray::fromStdString(name), QByteArray::fromStdString(file.content)});
    }
    call.authorization = QByteArray::fromStdString(req.get_header_value("Authorization"));

    const std::optional<Faults::Rule> fault = m_faults->ruleFor(call.path);
    if (fault && fault->delayMs > 0)
        sleepUnlessStopping(fault->delayMs, m_stopping);

    if (fault && fault->replays())
        call.replay = SandboxCall::Replay{fault->status, fault->body, fault->contentType};
    if (fault && !fault->replays())
        call.injectedStatus = fault->status;
    {
        std::lock_guard lock(m_stateMutex);
        call.now = now();
        if (m_stopping) {
            call.text("stopping", 503);
        } else {
            route(call);
        }
    }
    if (call.holdMs > 0)
        sleepUnlessStopping(call.holdMs, m_stopping);

    res.status = call.status;
    res.set_header("Date", httpDate(call.now).toStdString());
    for (const auto &[name, value] : call.headers)
        res.set_header(name.toStdString(), value.toStdString());
    const std::string type = call.contentType.toStdString();
    if (fault && (fault->drop || fault->stallMs > 0)) {
        auto body = std::make_shared<std::string>(call.body.toStdString());
        const bool drop = fault->drop;
        const int stallMs = fault->stallMs;
        res.set_content_provider(
            body->size(), type,
            [body, drop, stallMs, this](size_t offset, size_t length, httplib::DataSink &sink) {
                if (drop)
                    return false; // the connection closes after the headers
                const size_t half = body->size() / 2;
                if (offset < half) {
                    sink.write(body->data() + offset, half - offset);
                    return true;
                }
                if (offset == half)
                    sleepUnlessStopping(stallMs, m_stopping);
                sink.write(body->data() + offset, length);
                return true;
            });
    } else {
        res.set_content(call.body.toStdString(), type);
    }

    std::fprintf(stdout, "%s %s %s%s -> %d %lld bytes%s%s %lld ms\n",
                 httpDate(call.now).constData(), call.method.constData(),
                 call.hostHeader.constData(), req.path.c_str(), call.status,
                 static_cast<long long>(call.body.size()), call.account.isEmpty() ? "" : " @",
                 call.account.toUtf8().constData(), static_cast<long long>(timer.elapsed()));
    std::fflush(stdout);
}

void SandboxServer::answerInjectedFault(SandboxCall &call)
{
    SandboxJson err = SandboxJson::object();
    err.set(QStringLiteral("error"), QStringLiteral("Injected fault"));
    err.set(QStringLiteral("request"), call.path);
    call.json(err, call.injectedStatus);
}

void SandboxServer::route(SandboxCall &call)
{
    const QString &host = call.host;
    // Twitter answers a fault after its signature and rate-limit checks; the other
    // services before they do anything.
    const bool twitter =
        !host.endsWith(QLatin1String(".localhost")) && !call.path.startsWith(QLatin1String("/v1/"));
    if (call.injectedStatus > 0 && !twitter) {
        answerInjectedFault(call);
        return;
    }
    if (host.endsWith(QLatin1String(".localhost"))) {
        if (m_facebook->handle(call) || call.answerWithReplay() || m_textServices->handle(call) ||
            m_pictureHosts->handle(call) || m_shortenerApi->handle(call) ||
            m_shortLinks->handle(call))
            return;
    } else if (call.path.startsWith(QLatin1String("/v1/"))) {
        if (call.answerWithReplay() || ReleaseFeeds::handle(call, m_options) ||
            m_companion->handle(call))
            return;
    } else if (m_twitter->handle(call)) {
        return;
    }
    SandboxJson err = SandboxJson::object();
    if (call.injectedStatus > 0) {
        answerInjectedFault(call);
        return;
    }
    err.set(QStringLiteral("error"), QStringLiteral("Not found"));
    err.set(QStringLiteral("request"), call.path);
    call.json(err, 404);
}

void SandboxServer::addActivity()
{
    std::lock_guard lock(m_stateMutex);
    Seeder(*this).addActivity(now());
}

void SandboxServer::activityLoop()
{
    const int intervalMs = int(qBound(50.0, 60000.0 / m_options.activity, 3600000.0));
    while (!m_stopping) {
        sleepUnlessStopping(intervalMs, m_stopping);
        if (!m_stopping)
            addActivity();
    }
}

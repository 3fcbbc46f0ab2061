#include "TestHttpServer.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void runOpenssl(const QStringList &args, const QString &dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        throw std::runtime_error("openssl failed: " + p.readAllStandardError().toStdString());
}

// EC keys keep generation fast; the server certificate names localhost and 127.0.0.1.
QString makeCertificates()
{
    const QString dir = testTempDir() + QStringLiteral("/tls");
    QDir().mkpath(dir);
    runOpenssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "30", "-subj",
                "/CN=Talvo Test CA", "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                "keyUsage=critical,keyCertSign,cRLSign"},
               dir);
    runOpenssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=localhost"},
               dir);
    QFile ext(dir + QStringLiteral("/server.ext"));
    if (!ext.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write server.ext");
    ext.write("subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n"
              "keyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n");
    ext.close();
    runOpenssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                "-CAcreateserial", "-out", "server.pem", "-days", "30", "-extfile", "server.ext"},
               dir);
    return dir;
}

QString certificateDir()
{
    static std::once_flag once;
    static QString dir;
    std::call_once(once, [] { dir = makeCertificates(); });
    return dir;
}

} // namespace

TestHttpServer::TestHttpServer(Scheme scheme)
    : m_scheme(scheme)
{
    if (scheme == Scheme::Https) {
        const QByteArray dir = certificateDir().toLocal8Bit();
        m_server = std::make_unique<httplib::SSLServer>((dir + "/server.pem").constData(),
                                                        (dir + "/server.key").constData());
    } else {
        m_server = std::make_unique<httplib::Server>();
    }
    // One request per connection: a kept-alive connection would hold the server's
    // shutdown for its whole keep-alive time-out.
    m_server->set_keep_alive_max_count(1);
}

TestHttpServer::~TestHttpServer()
{
    m_stopping.store(true);
    m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

void TestHttpServer::start()
{
    m_port = m_server->bind_to_any_port("127.0.0.1");
    ASSERT_GT(m_port, 0);
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    while (!m_server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

QUrl TestHttpServer::url(const QString &path) const
{
    return QUrl(
        QStringLiteral("%1://127.0.0.1:%2%3")
            .arg(m_scheme == Scheme::Https ? QStringLiteral("https") : QStringLiteral("http"))
            .arg(m_port)
            .arg(path));
}

QString TestHttpServer::caBundle()
{
    return certificateDir() + QStringLiteral("/ca.pem");
}

void TestHttpServer::waitWhileRunning(int maxMs) const
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    while (!m_stopping.load() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

int closedLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 1;
    const int port = probe.serverPort();
    probe.close();
    return port;
}

RawCaptureServer::RawCaptureServer()
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(m_listenFd, reinterpret_cast<sockaddr *>(&addr), len) != 0 ||
        ::listen(m_listenFd, 8) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        throw std::runtime_error("cannot listen on loopback");
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { serve(); });
}

RawCaptureServer::~RawCaptureServer()
{
    m_stop.store(true);
    m_thread.join();
    ::close(m_listenFd);
}

QUrl RawCaptureServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
}

RawCaptureServer::Request RawCaptureServer::last() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_last;
}

void RawCaptureServer::setAnswer(const QByteArray &answer)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_answer = answer;
}

QByteArray RawCaptureServer::Request::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return "<none>";
}

void RawCaptureServer::serve()
{
    while (!m_stop.load()) {
        pollfd p = {m_listenFd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const int fd = ::accept(m_listenFd, nullptr, nullptr);
        if (fd < 0)
            continue;
        QByteArray data;
        Request req;
        qsizetype headerEnd = -1;
        qsizetype contentLength = 0;
        char buf[65536];
        for (;;) {
            pollfd c = {fd, POLLIN, 0};
            if (::poll(&c, 1, 2000) <= 0)
                break;
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            data.append(buf, n);
            if (headerEnd < 0 && (headerEnd = data.indexOf("\r\n\r\n")) >= 0) {
                const QList<QByteArray> lines = data.left(headerEnd).split('\n');
                req.requestLine = lines.value(0).trimmed();
                for (qsizetype i = 1; i < lines.size(); ++i) {
                    const qsizetype colon = lines[i].indexOf(':');
                    if (colon > 0)
                        req.headers.append(
                            {lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
                }
                contentLength = req.header("Content-Length") == "<none>"
                                    ? 0
                                    : req.header("Content-Length").toLongLong();
            }
            if (headerEnd >= 0 && data.size() >= headerEnd + 4 + contentLength)
                break;
        }
        if (headerEnd >= 0)
            req.body = data.mid(headerEnd + 4);
        QByteArray answer;
        {
            std::lock_guard<std::mutex> g(m_lock);
            m_last = req;
            answer = m_answer;
        }
        [[maybe_unused]] const ssize_t written = ::write(fd, answer.constData(), answer.size());
        ::close(fd);
    }
}

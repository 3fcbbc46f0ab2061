#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <atomic>
#include <httplib.h>
#include <memory>
#include <mutex>
#include <thread>

// A loopback HTTP or HTTPS server on a free port for the engine's tests. Register
// handlers on server() before calling start(). HTTPS uses a certificate issued by a CA
// made for this test process (caBundle()).
class TestHttpServer
{
public:
    enum class Scheme
    {
        Http,
        Https,
    };

    explicit TestHttpServer(Scheme scheme = Scheme::Http);
    ~TestHttpServer();

    httplib::Server &server() { return *m_server; }
    void start();
    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] QUrl url(const QString &path) const;

    // PEM file of the test CA; created on first use.
    [[nodiscard]] static QString caBundle();

    // Handlers that must stall wait on this; the destructor releases them.
    [[nodiscard]] bool stopping() const { return m_stopping.load(); }
    void waitWhileRunning(int maxMs) const;

private:
    Scheme m_scheme;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
};

// A one-connection-at-a-time HTTP/1.1 server that keeps the raw bytes of the last
// request, for checking bodies byte for byte. By default it answers 200 "ok".
class RawCaptureServer
{
public:
    RawCaptureServer();
    ~RawCaptureServer();
    [[nodiscard]] QUrl url(const QString &path) const;

    struct Request
    {
        QByteArray requestLine;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        // "<none>" when absent.
        [[nodiscard]] QByteArray header(const QByteArray &name) const;
    };
    [[nodiscard]] Request last() const;
    // The bytes sent back (then the connection is closed).
    void setAnswer(const QByteArray &answer);

private:
    void serve();
    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    Request m_last;
    QByteArray m_answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
    std::thread m_thread;
};

// A port on loopback on which nothing listens.
[[nodiscard]] int closedLoopbackPort();

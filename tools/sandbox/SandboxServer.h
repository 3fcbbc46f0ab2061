#pragma once

#include "Database.h"
#include "Faults.h"
#include "OAuthVerifier.h"
#include "SandboxCall.h"

#include "foundation/HostProfile.h"

#include <QHash>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib
class TwitterApi;
class CompanionApi;
class ShortLinks;
class PictureHostApi;
class ShortenerApi;
class FacebookApi;
class TextServicesApi;

struct SandboxOptions
{
    QString dataDir;
    int port = 0;    // plain HTTP; 0 picks a free port
    int tlsPort = 0; // HTTPS; 0 picks a free port
    quint32 seed = 1;
    int users = 12;
    double activity = 0;  // new statuses, mentions and messages per minute
    int rateLimit = 150;  // signed reads per account and hour
    int pollInterval = 0; // written into the profile for clients; 0: the real intervals
    QString faultsFile;
    QByteArray consumerKey;
    QByteArray consumerSecret;
    QByteArray apiKey; // the companion service's API key
    QByteArray facebookAppId;
};

// talvo-sandbox: a local stand-in for the Twitter API, the companion service and the
// link shorteners, on loopback, with its state in SQLite.
class SandboxServer
{
public:
    explicit SandboxServer(SandboxOptions options);
    ~SandboxServer();

    bool start(QString *error);
    void stop();
    // For a process about to exit: refuses further requests and closes the database once
    // no request is inside it, without waiting for idle kept-alive connections to time out.
    void closeForExit();

    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] int tlsPort() const { return m_tlsPort; }
    [[nodiscard]] const SandboxOptions &options() const { return m_options; }
    // The profile a client uses to reach this sandbox over HTTPS.
    [[nodiscard]] HostProfile profile() const;

    // Host names the sandbox answers for besides 127.0.0.1 (they resolve to loopback).
    static QStringList shortenerNames();
    static QStringList virtualHosts();
    // The JSON error answer for call.injectedStatus.
    static void answerInjectedFault(SandboxCall &call);

    // Shared state for the route handlers; call them with stateMutex() held.
    Database &db() { return m_db; }
    std::mt19937 &rng() { return m_rng; }
    OAuthVerifier &oauth() { return *m_oauth; }
    [[nodiscard]] qint64 now();

    struct RateLimit
    {
        int limit = 0;
        int remaining = 0;
        qint64 reset = 0;
        bool exceeded = false;
    };
    // Counts one request of an account (only when counts is true) and tells what to send.
    RateLimit rateLimitFor(qint64 userId, bool counts, qint64 now);

    // Adds statuses, mentions and direct messages as if other users were active.
    void addActivity();

private:
    void handle(const httplib::Request &req, httplib::Response &res, bool tls);
    void route(SandboxCall &call);
    void activityLoop();

    SandboxOptions m_options;
    Database m_db;
    std::mutex m_stateMutex;
    std::mt19937 m_rng;
    std::unique_ptr<OAuthVerifier> m_oauth;
    std::unique_ptr<Faults> m_faults;
    std::unique_ptr<TwitterApi> m_twitter;
    std::unique_ptr<CompanionApi> m_companion;
    std::unique_ptr<ShortLinks> m_shortLinks;
    std::unique_ptr<PictureHostApi> m_pictureHosts;
    std::unique_ptr<ShortenerApi> m_shortenerApi;
    std::unique_ptr<FacebookApi> m_facebook;
    std::unique_ptr<TextServicesApi> m_textServices;
    std::unique_ptr<httplib::Server> m_http;
    std::unique_ptr<httplib::Server> m_https;
    std::thread m_httpThread;
    std::thread m_httpsThread;
    std::thread m_activityThread;
    std::atomic<bool> m_stopping{false};
    int m_port = 0;
    int m_tlsPort = 0;
    QString m_caBundle;

    struct Window
    {
        qint64 start = 0;
        int used = 0;
    };
    QHash<qint64, Window> m_rateWindows;
};

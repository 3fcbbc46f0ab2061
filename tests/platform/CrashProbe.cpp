// A program that crashes on purpose: CrashProbe FOLDER segv|abort|fpe|two
// It logs a few lines (one with credentials), starts a second thread, then dies.
#include "platform/linux/CrashReportWriter.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <thread>

Q_LOGGING_CATEGORY(lcProbe, "talvo.probe")

namespace {
std::atomic<bool> g_workerReady{false};
} // namespace

// Kept out of line and with external linkage, so the report can name them.
[[gnu::noinline]] void talvoProbeCrashHere(int sig);
[[gnu::noinline]] void talvoProbeWorker();

void talvoProbeCrashHere(int sig)
{
    std::raise(sig);
}

void talvoProbeWorker()
{
    g_workerReady = true;
    for (;;)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    if (!CrashReportWriter::install(QString::fromLocal8Bit(argv[1]), "9.8.7", "probe-build"))
        return 3;
    qCInfo(lcProbe) << "probe log line before the crash";
    qCInfo(lcProbe).noquote() << "GET /1/account?oauth_token=s3cr3t-token&count=5";
    qCInfo(lcProbe).noquote() << "Authorization: Basic aHVudGVyMg==";
    std::thread worker(talvoProbeWorker);
    while (!g_workerReady)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));

    const QByteArray kind(argv[2]);
    const int sig = kind == "abort" ? SIGABRT : kind == "fpe" ? SIGFPE : SIGSEGV;
    // "two": another thread crashes at the same moment.
    std::atomic<bool> go{false};
    std::thread second;
    if (kind == "two") {
        second = std::thread([&go] {
            while (!go)
                std::this_thread::yield();
            talvoProbeCrashHere(SIGBUS);
        });
        go = true;
    }
    talvoProbeCrashHere(sig);
    worker.detach();
    if (second.joinable())
        second.detach();
    return 4;
}

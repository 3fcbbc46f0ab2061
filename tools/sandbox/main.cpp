// talvo-sandbox: serves, on loopback, the web services Talvo talks to.
#include "SandboxServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>

namespace {

bool writeProfile(const HostProfile &profile, const QString &path, QString *error)
{
    if (path == u"-") {
        std::fputs(profile.toIni().constData(), stdout);
        std::fflush(stdout);
        return true;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(profile.toIni()) < 0 || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // The server's threads inherit this mask, so a stop request always reaches the main
    // thread's wait below, whichever thread the kernel picks.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("talvo-sandbox"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVO_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A local stand-in for the Twitter API, the companion service and the link shorteners.\n"
        "\n"
        "Fault rules (--faults FILE, re-read whenever the file changes), one per line:\n"
        "  clock_skew = 600               seconds added to the sandbox's clock\n"
        "  rate_limit_remaining = 0       forced for every account\n"
        "  path GLOB status=N             answer this status\n"
        "  path GLOB delay=MS             wait first\n"
        "  path GLOB drop                 close the connection after the headers\n"
        "  path GLOB stall=MS             send half the body, then stall\n"
        "  path GLOB body=FILE [status=N] [type=MIME]\n"
        "                                 replay a recorded answer: the file's bytes, after\n"
        "                                 the OAuth check and the rate-limit accounting\n"
        "A relative FILE is read from the faults file's folder when the rules are loaded."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dataDir(
        QStringLiteral("data-dir"), QStringLiteral("State and CA folder (created on first start)."),
        QStringLiteral("DIR"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("HTTP port (0: any free)."), QStringLiteral("N"),
                                  QStringLiteral("0"));
    const QCommandLineOption tlsPort(QStringLiteral("tls-port"),
                                     QStringLiteral("HTTPS port (0: any free)."),
                                     QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Random seed."),
                                  QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption users(QStringLiteral("users"),
                                   QStringLiteral("Users made for a new data folder."),
                                   QStringLiteral("N"), QStringLiteral("12"));
    const QCommandLineOption activity(
        QStringLiteral("activity"),
        QStringLiteral("New statuses, mentions and messages per minute."), QStringLiteral("RATE"),
        QStringLiteral("0"));
    const QCommandLineOption faults(QStringLiteral("faults"),
                                    QStringLiteral("Fault rules, re-read when the file changes."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption printProfile(
        QStringLiteral("print-profile"),
        QStringLiteral(
            "Write the host profile that reaches this sandbox (\"-\": standard output)."),
        QStringLiteral("FILE"));
    const QCommandLineOption rateLimit(QStringLiteral("rate-limit"),
                                       QStringLiteral("Signed reads per account and hour."),
                                       QStringLiteral("N"), QStringLiteral("150"));
    const QCommandLineOption pollInterval(
        QStringLiteral("poll-interval"),
        QStringLiteral("Seconds between the polls of the busiest timelines, written into the "
                       "profile (0: the real service's intervals)."),
        QStringLiteral("N"), QStringLiteral("0"));
    parser.addOptions({dataDir, port, tlsPort, seed, users, activity, faults, printProfile,
                       rateLimit, pollInterval});
    parser.process(app);

    auto number = [&parser](const QCommandLineOption &o, qint64 lo, qint64 hi, bool *ok) {
        const qint64 v = parser.value(o).toLongLong(ok);
        *ok = *ok && v >= lo && v <= hi;
        return v;
    };
    SandboxOptions options;
    bool ok1, ok2, ok3, ok4, ok5 = true;
    options.port = int(number(port, 0, 65535, &ok1));
    options.tlsPort = int(number(tlsPort, 0, 65535, &ok2));
    options.seed = quint32(number(seed, 0, 0xffffffffLL, &ok3));
    options.users = int(number(users, 2, 1000, &ok4));
    options.activity = parser.value(activity).toDouble(&ok5);
    bool ok6, ok7;
    options.rateLimit = int(number(rateLimit, 1, 1000000, &ok6));
    options.pollInterval = int(number(pollInterval, 0, HostProfile::kMaxPollInterval, &ok7));
    ok7 =
        ok7 && (options.pollInterval == 0 || options.pollInterval >= HostProfile::kMinPollInterval);
    if (!ok1 || !ok2 || !ok3 || !ok4 || !ok5 || !ok6 || !ok7 || options.activity < 0 ||
        options.activity > 6000) {
        std::fprintf(stderr, "talvo-sandbox: a numeric option is out of range\n");
        return 2;
    }
    options.dataDir = parser.isSet(dataDir)
                          ? QDir(parser.value(dataDir)).absolutePath()
                          : QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                QStringLiteral("/talvo-sandbox");
    if (parser.isSet(faults))
        options.faultsFile = QDir(parser.value(faults)).absolutePath();
    options.consumerKey = TALVO_TWITTER_CONSUMER_KEY;
    options.consumerSecret = TALVO_TWITTER_CONSUMER_SECRET;
    options.apiKey = TALVO_API_KEY;
    options.facebookAppId = TALVO_FACEBOOK_APP_ID;

    SandboxServer server(options);
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "talvo-sandbox: %s\n", qPrintable(error));
        return 1;
    }
    if (parser.isSet(printProfile) &&
        !writeProfile(server.profile(), parser.value(printProfile), &error)) {
        std::fprintf(stderr, "talvo-sandbox: cannot write the profile: %s\n", qPrintable(error));
        server.stop();
        return 1;
    }
    if (parser.isSet(printProfile) && parser.value(printProfile) != u"-")
        std::printf("talvo-sandbox host profile written to %s\n",
                    qPrintable(QDir(parser.value(printProfile)).absolutePath()));
    std::printf("talvo-sandbox listening on http://127.0.0.1:%d and https://127.0.0.1:%d "
                "(data in %s)\n",
                server.port(), server.tlsPort(), qPrintable(options.dataDir));
    std::fflush(stdout);

    int signal = 0;
    while (sigwait(&stopSignals, &signal) != 0) {
    }
    // Idle kept-alive connections would hold a normal shutdown for seconds; every answer
    // is already committed, so once the database is closed the process may simply end.
    server.closeForExit();
    std::printf("talvo-sandbox stopped\n");
    std::fflush(stdout);
    std::_Exit(0);
}

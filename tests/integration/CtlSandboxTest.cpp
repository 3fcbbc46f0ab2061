// talvoctl against a real talvo-sandbox: a run ends cleanly whatever its requests were
// doing, and logging in keeps one account per screen name.
#include "support/SandboxFixture.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

struct CtlRun
{
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    int exitCode = -1;
    QString out;
    QString err;
};

class CtlSandboxTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        sandbox = new SandboxFixture;
        SandboxFixture::Options options;
        options.users = 4;
        started = sandbox->start(options);
    }
    static void TearDownTestSuite()
    {
        delete sandbox;
        sandbox = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(started) << sandbox->errorString().toStdString();
        ASSERT_TRUE(sandbox->writeFaults(QByteArray()));
    }

    static QString profilePath()
    {
        return QDir(sandbox->dataDir()).filePath(QStringLiteral("../profile.conf"));
    }

    static CtlRun ctl(QStringList args, const QByteArray &input = QByteArray())
    {
        QProcess p;
        p.start(QStringLiteral(TALVOCTL_BINARY), args);
        p.write(input);
        p.closeWriteChannel();
        CtlRun run;
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return run;
        }
        run.exitStatus = p.exitStatus();
        run.exitCode = p.exitCode();
        run.out = QString::fromUtf8(p.readAllStandardOutput());
        run.err = QString::fromUtf8(p.readAllStandardError());
        return run;
    }

    static CtlRun login(const QString &name, const QByteArray &password = "sandbox\n")
    {
        return ctl({QStringLiteral("login"), QStringLiteral("--profile"), profilePath(), name},
                   password);
    }

    static inline SandboxFixture *sandbox = nullptr;
    static inline bool started = false;
};

} // namespace

// Each run ends while requests may still be queued or running (a log-in's answer leaves
// its worker posting to the error list; a poll that fails does the same).
TEST_F(CtlSandboxTest, EveryRunEndsCleanlyWithRequestsInFlight)
{
    const struct
    {
        const char *what;
        QStringList args;
        QByteArray input;
        QByteArray faults;
        int exitCode;
    } cases[] = {
        {"first log-in", {QStringLiteral("login"), QStringLiteral("bob")}, "sandbox\n", "", 0},
        {"log-in again", {QStringLiteral("login"), QStringLiteral("bob")}, "sandbox\n", "", 0},
        {"failing poll",
         {QStringLiteral("poll"), QStringLiteral("--type"), QStringLiteral("home")},
         "",
         "path /1/statuses/home_timeline* status=404\n",
         1},
        {"watch",
         {QStringLiteral("watch"), QStringLiteral("--seconds"), QStringLiteral("1")},
         "",
         "path /1/* delay=400\n",
         0},
        // Last: the exchange blanks the account's tokens before it fails.
        {"wrong password", {QStringLiteral("login"), QStringLiteral("bob")}, "nope\n", "", 1},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(sandbox->writeFaults(c.faults));
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(testing::Message() << c.what << " #" << i);
            QStringList args = c.args;
            args.insert(1, QStringLiteral("--profile"));
            args.insert(2, profilePath());
            const CtlRun run = ctl(args, c.input);
            EXPECT_EQ(run.exitStatus, QProcess::NormalExit) << run.err.toStdString();
            EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
            EXPECT_FALSE(run.err.contains(QLatin1String("different thread")))
                << run.err.toStdString();
            EXPECT_FALSE(run.err.contains(QLatin1String("another thread")))
                << run.err.toStdString();
        }
    }
}

TEST_F(CtlSandboxTest, AScreenNameInAnotherCaseIsTheSameAccount)
{
    for (const QString &name :
         {QStringLiteral("carol"), QStringLiteral("CAROL"), QStringLiteral("Carol")}) {
        SCOPED_TRACE(name.toStdString());
        const CtlRun run = login(name);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out.trimmed(), QStringLiteral("logged in as carol"));
    }
    const CtlRun store = ctl({QStringLiteral("store")});
    EXPECT_EQ(store.out.count(QLatin1String("serviceId carol")), 1) << store.out.toStdString();
    EXPECT_FALSE(store.out.contains(QLatin1String("CAROL"))) << store.out.toStdString();
}

TEST_F(CtlSandboxTest, SearchPrintsWhatItFoundAndSavesTheQuery)
{
    ASSERT_EQ(login(QStringLiteral("dave")).exitCode, 0);
    const auto search = [](QStringList words) {
        // Other tests leave accounts in the store; this one is dave's.
        words = QStringList{QStringLiteral("search"), QStringLiteral("--profile"), profilePath(),
                            QStringLiteral("--account"), QStringLiteral("dave")} +
                words;
        return ctl(words);
    };
    const CtlRun found =
        search({QStringLiteral("--account"), QStringLiteral("dave"), QStringLiteral("game")});
    ASSERT_EQ(found.exitCode, 0) << found.err.toStdString();
    const QStringList lines = found.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    for (const QString &line : lines)
        EXPECT_TRUE(line.contains(QLatin1String("game"), Qt::CaseInsensitive))
            << line.toStdString();
    EXPECT_TRUE(found.err.contains(QStringLiteral("%1 messages").arg(lines.size())))
        << found.err.toStdString();

    const CtlRun saved =
        search({QStringLiteral("--save"), QStringLiteral("game"), QStringLiteral("night")});
    ASSERT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    EXPECT_TRUE(
        saved.out.contains(QRegularExpression(QStringLiteral("saved search \\d+: game night\\n"))))
        << saved.out.toStdString();

    const struct
    {
        QStringList args;
        QByteArray faults;
        int exitCode;
        const char *message;
    } refusals[] = {
        {{QStringLiteral("   ")}, "", 2, "usage"},
        {{QStringLiteral("--bogus"), QStringLiteral("game")}, "", 2, "usage"},
        {{QStringLiteral("game")}, "path /search* status=503\n", 1, "Twitter Fail Whale (503)"},
        {{QStringLiteral("--save"), QStringLiteral("game")},
         "path /1/saved_searches/* status=500\n",
         1,
         "saving failed: Twitter Fail Whale (500)"},
    };
    for (const auto &r : refusals) {
        SCOPED_TRACE(r.args.join(QLatin1Char(' ')).toStdString());
        ASSERT_TRUE(sandbox->writeFaults(r.faults));
        const CtlRun run = search(r.args);
        EXPECT_EQ(run.exitCode, r.exitCode);
        EXPECT_TRUE(run.err.contains(QLatin1String(r.message))) << run.err.toStdString();
    }
    ASSERT_TRUE(sandbox->writeFaults(QByteArray()));
}

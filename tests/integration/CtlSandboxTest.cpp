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

TEST_F(CtlSandboxTest, AFacebookAccountLogsInPollsAndPostsFromTheCommandLine)
{
    const QStringList facebook{QStringLiteral("--kind"), QStringLiteral("facebook"),
                               QStringLiteral("--profile"), profilePath()};
    const QStringList asAlice{QStringLiteral("--browser-user"), QStringLiteral("alice")};
    QString id;
    for (int i = 0; i < 2; ++i) {
        const CtlRun run =
            ctl(QStringList{QStringLiteral("login")} + facebook + asAlice, "sandbox\n");
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        ASSERT_TRUE(run.out.startsWith(QLatin1String("logged in as "))) << run.out.toStdString();
        id = run.out.section(QLatin1Char(' '), 3, 3);
    }
    const CtlRun store = ctl({QStringLiteral("store")});
    EXPECT_EQ(store.out.count(QStringLiteral("serviceId %1").arg(id)), 1)
        << store.out.toStdString();

    const CtlRun poll = ctl(QStringList{QStringLiteral("poll")} + facebook +
                            QStringList{QStringLiteral("--count"), QStringLiteral("3")});
    ASSERT_EQ(poll.exitCode, 0) << poll.err.toStdString();
    EXPECT_TRUE(poll.out.contains(QLatin1String("3 posts,"))) << poll.out.toStdString();

    const CtlRun post = ctl(QStringList{QStringLiteral("post")} + facebook +
                            QStringList{QStringLiteral("From the command line")});
    ASSERT_EQ(post.exitCode, 0) << post.err.toStdString();
    EXPECT_TRUE(post.out.contains(QStringLiteral("posted %1_").arg(id))) << post.out.toStdString();
    EXPECT_TRUE(post.out.contains(QLatin1String("\tFrom the command line\t")))
        << post.out.toStdString();

    const CtlRun wrong = ctl(QStringList{QStringLiteral("login")} + facebook + asAlice +
                                 QStringList{QStringLiteral("--timeout"), QStringLiteral("2")},
                             "not-the-password\n");
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_TRUE(wrong.err.contains(QLatin1String("Wrong e-mail or password.")))
        << wrong.err.toStdString();
}

// Translation and shrinking as scripts use them: the text on standard output, a failure
// as a reason on standard error and a non-zero exit.
TEST_F(CtlSandboxTest, TranslateAndShrink)
{
    struct Case
    {
        const char *name;
        QStringList args;
        QByteArray faults;
        int exitCode;
        QString out;
        QString err; // contained in standard error
    };
    const QString profile = profilePath();
    const QList<Case> cases = {
        {"translate, tokens kept",
         {"translate", "--profile", profile, "--to", "de", "Good morning #coffee @ann"},
         {},
         0,
         "Gut morgen #coffee @ann\n",
         {}},
        {"translate from a given language",
         {"translate", "--profile", profile, "--from", "fr", "--to", "en", "bonjour ami"},
         {},
         0,
         "hello friend\n",
         {}},
        {"translate into a language the service refuses",
         {"translate", "--profile", profile, "--to", "xx", "hello"},
         {},
         1,
         {},
         "invalid translation language pair"},
        {"shrink",
         {"shrink", "--profile", profile, "see you tomorrow"},
         {},
         0,
         "see u tmrw\n",
         "saved 6 characters"},
        {"shrink while the service fails",
         {"shrink", "--profile", profile, "see you tomorrow"},
         "path /shrink status=500\n",
         1,
         {},
         "HTTP 500"},
        {"no text", {"shrink", "--profile", profile}, {}, 2, {}, "usage:"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(sandbox->writeFaults(c.faults));
        const CtlRun run = ctl(c.args);
        EXPECT_EQ(run.exitStatus, QProcess::NormalExit);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_EQ(run.out, c.out);
        EXPECT_TRUE(run.err.contains(c.err)) << run.err.toStdString();
    }
}

// The host tables come from the sandbox's companion service; each link gets one line.
TEST_F(CtlSandboxTest, ExpandSaysWhereEachLinkLeads)
{
    const int port = sandbox->tlsPort();
    const auto link = [port](const char *host, const char *path) {
        return QStringLiteral("https://%1:%2%3")
            .arg(QLatin1String(host))
            .arg(port)
            .arg(QLatin1String(path));
    };
    const QString hop = link("budurl.localhost", "/hop/2/ctl");
    const QString framed = link("frame.localhost", "/f2");
    const QString loop = link("budurl.localhost", "/loop/a");
    const QString photo = link("photos.localhost", "/p7");
    const QString direct = link("pics.localhost", "/p9");
    const CtlRun run =
        ctl({QStringLiteral("expand"), QStringLiteral("--profile"), profilePath(),
             QStringLiteral("--timeout"), QStringLiteral("5"), hop, framed, loop, photo, direct});
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << run.out.toStdString();
    EXPECT_EQ(
        lines.at(0),
        hop +
            QStringLiteral("\tbudurl.localhost\thttps://www.localhost:%1/articles/ctl").arg(port));
    EXPECT_TRUE(
        lines.at(1).startsWith(framed + QStringLiteral("\tsandboxframe\thttps://www.localhost:")))
        << lines.at(1).toStdString();
    EXPECT_EQ(lines.at(2), loop + QStringLiteral("\tbudurl.localhost\tnot expanded"));
    EXPECT_TRUE(lines.at(3).startsWith(photo + QStringLiteral("\tpicture\t") +
                                       link("photos.localhost", "/full/p7.png")))
        << lines.at(3).toStdString();
    EXPECT_EQ(lines.at(4),
              direct + QStringLiteral("\tpicture\t") + link("pics.localhost", "/full/p9"));
}

TEST_F(CtlSandboxTest, AccountsAreListedAndRemovedByName)
{
    ASSERT_EQ(login(QStringLiteral("dave")).exitCode, 0);
    const QStringList profile{QStringLiteral("--profile"), profilePath()};
    const CtlRun listed = ctl(QStringList{QStringLiteral("accounts")} + profile);
    ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    EXPECT_TRUE(listed.out.contains(QLatin1String("twitter:dave\tTwitter\tsandbox\n")))
        << listed.out.toStdString();

    const struct
    {
        const char *what;
        QString id;
        int exitCode;
        const char *says;
    } cases[] = {
        {"unknown", QStringLiteral("nobody"), 1, "no account is called nobody"},
        {"by kind and name, another case", QStringLiteral("Twitter:DAVE"), 0,
         "removed twitter:dave"},
        {"already gone", QStringLiteral("dave"), 1, "no account is called dave"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const CtlRun run =
            ctl(QStringList{QStringLiteral("accounts")} + profile + QStringList{"remove", c.id});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_TRUE((run.out + run.err).contains(QLatin1String(c.says)))
            << (run.out + run.err).toStdString();
    }
    const CtlRun store = ctl({QStringLiteral("store")});
    EXPECT_FALSE(store.out.contains(QLatin1String("serviceId dave"))) << store.out.toStdString();
}

TEST_F(CtlSandboxTest, SettingsAreReadAndWrittenInTheirDefaultsType)
{
    const struct
    {
        QStringList args;
        int exitCode;
        const char *out; // standard output, or a part of the error
    } steps[] = {
        {{"set", "TAMessageFontSize", "12.5"}, 0, ""},
        {{"get", "TAMessageFontSize"}, 0, "12.5\n"},
        {{"set", "RTPostOnEnter", "no"}, 0, ""},
        {{"get", "RTPostOnEnter"}, 0, "false\n"},
        {{"set", "RTPostOnEnter", "maybe"}, 1, "expected true or false"},
        {{"set", "TAMessageFontSize", "big"}, 1, "expected a number"},
        {{"set", "RTShowHideTalvoGlobalShortcutFlags", "-3"}, 1, "0 or more"},
        {{"set", "NoSuchSetting", "1"}, 1, "no setting is called NoSuchSetting"},
        {{"set", "RTMessageQuoteSyntax", "\"%t\" via @%u "}, 0, ""},
        {{"get", "RTMessageQuoteSyntax"}, 0, "\"%t\" via @%u \n"},
        {{"reset", "TAMessageFontSize"}, 0, ""},
        {{"get", "TAMessageFontSize"}, 0, "12\n"},
        {{"get"}, 2, "usage: talvoctl settings"},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.args.join(QLatin1Char(' ')).toStdString());
        const CtlRun run = ctl(QStringList{QStringLiteral("settings")} + s.args);
        EXPECT_EQ(run.exitCode, s.exitCode) << run.err.toStdString();
        if (s.exitCode == 0)
            EXPECT_EQ(run.out, QString::fromUtf8(s.out));
        else
            EXPECT_TRUE(run.err.contains(QString::fromUtf8(s.out))) << run.err.toStdString();
    }
    const CtlRun list = ctl({QStringLiteral("settings"), QStringLiteral("list")});
    EXPECT_TRUE(list.out.contains(QLatin1String("RTPostOnEnter=false\n")));
    EXPECT_TRUE(list.out.contains(QLatin1String("TAMessageFontSize=12\t(default)\n")));
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

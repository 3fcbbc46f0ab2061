// The talvo program itself against a sandbox: the demo account logs in with talvoctl,
// then talvo runs its scripted check and its picture tour on the offscreen platform.
#include "support/SandboxFixture.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

class ProgramTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_sandbox = new SandboxFixture;
        SandboxFixture::Options options;
        options.activity = 240; // new statuses keep coming, so a reload finds one
        if (!s_sandbox->start(options))
            s_error = s_sandbox->errorString();
        else
            s_error = login();
    }
    static void TearDownTestSuite()
    {
        delete s_sandbox;
        s_sandbox = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_error.isEmpty()) << s_error.toStdString(); }

    static QString profilePath()
    {
        return QFileInfo(s_sandbox->dataDir()).dir().filePath(QStringLiteral("profile.conf"));
    }
    // Tried three times: a sandbox on a loaded machine may drop the first exchange.
    static QString login()
    {
        QString error;
        for (int attempt = 0; attempt < 3; ++attempt) {
            error = loginOnce();
            if (error.isEmpty())
                break;
        }
        return error;
    }
    static QString loginOnce()
    {
        QProcess ctl;
        ctl.start(QStringLiteral(TALVOCTL_BINARY),
                  {QStringLiteral("login"), QStringLiteral("--profile"), profilePath(),
                   QStringLiteral("alice")});
        ctl.write("sandbox\n");
        ctl.closeWriteChannel();
        if (!ctl.waitForFinished(60000) || ctl.exitCode() != 0)
            return QStringLiteral("talvoctl login failed: ") +
                   QString::fromLocal8Bit(ctl.readAllStandardError());
        return {};
    }
    // Runs talvo with args; returns its exit code, with its standard output in out.
    static int runTalvo(const QStringList &args, QString *out)
    {
        QProcess talvo;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        talvo.setProcessEnvironment(env);
        talvo.start(QStringLiteral(TALVO_BINARY),
                    QStringList{QStringLiteral("--profile"), profilePath()} + args);
        if (!talvo.waitForFinished(150000)) {
            talvo.kill();
            talvo.waitForFinished();
        }
        *out = QString::fromLocal8Bit(talvo.readAllStandardOutput());
        // A crash says why on standard error: keep it in what a failure prints.
        if (talvo.exitStatus() != QProcess::NormalExit || talvo.exitCode() != 0)
            *out += QString::fromLocal8Bit(talvo.readAllStandardError()).right(20000);
        return talvo.exitStatus() == QProcess::NormalExit ? talvo.exitCode() : -1;
    }

    inline static SandboxFixture *s_sandbox = nullptr;
    inline static QString s_error;
};

TEST_F(ProgramTest, HomeFillsANewMessageArrivesOnReloadAndMarkingAllSeenClearsTheBadge)
{
    QString out;
    const int code = runTalvo({QStringLiteral("--check")}, &out);
    EXPECT_EQ(code, 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("check: home shows"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("arrived after"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("cleared the badge"))) << out.toStdString();
}

TEST_F(ProgramTest, ThePictureTourWritesEveryPicture)
{
    const QString folder = testTempDir() + QStringLiteral("/shots");
    QString out;
    const int code = runTalvo({QStringLiteral("--screenshots"), folder,
                               QStringLiteral("--screenshot-wait"), QStringLiteral("15000")},
                              &out);
    ASSERT_EQ(code, 0) << out.toStdString();
    // The last two need the companion's menu items, installed by the program.
    for (const char *name : {"main-light.png", "main-dark.png", "outline.png", "conversation.png",
                             "errors.png", "prefs-shortcuts.png", "prefs-accounts-login.png",
                             "login-needed.png", "message-menu.png", "filters.png"}) {
        const QImage image(QDir(folder).filePath(QString::fromLatin1(name)));
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_GT(image.width(), 100) << name;
        // Light and dark pictures differ in their background.
        if (QLatin1String(name) == QLatin1String("main-dark.png")) {
            const QImage light(QDir(folder).filePath(QStringLiteral("main-light.png")));
            const QPoint probe(image.width() - 20, image.height() / 2);
            EXPECT_LT(qGray(image.pixel(probe)), 90) << "dark background";
            EXPECT_GT(qGray(light.pixel(probe)), 180) << "light background";
        }
    }
}

} // namespace

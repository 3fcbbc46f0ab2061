// The helper's own compose window, when the main application is not running: the hot key
// or a link opens it for the account in the store, and what is written there is posted to
// a real sandbox through the account's keyring credentials.
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "helper/XServer.h"
#include "support/SandboxFixture.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <functional>
#include <gtest/gtest.h>

namespace {
const QString kHelperName = QStringLiteral("org.talvo.Helper");
const QString kWindowTitle = QStringLiteral("New Post");

QDBusConnection bus()
{
    return QDBusConnection::sessionBus();
}

uint helperPid()
{
    const QDBusReply<uint> pid = bus().interface()->servicePid(kHelperName);
    return pid.isValid() ? pid.value() : 0;
}

class HelperCompose : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_sandbox = new SandboxFixture;
        SandboxFixture::Options options;
        options.users = 6;
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

    void SetUp() override
    {
        if (!bus().isConnected())
            GTEST_SKIP() << "no session bus";
        if (!x.isRunning() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "needs Xvfb and xdotool";
        ASSERT_TRUE(s_error.isEmpty()) << s_error.toStdString();
        ASSERT_FALSE(bus().interface()->isServiceRegistered(kHelperName))
            << "a helper is left over";
        qputenv("DISPLAY", x.display().toLatin1());
        qputenv("QT_QPA_PLATFORM", "xcb");
        // The helper reads these from the settings file the main application would write.
        SettingsStore::resetShared();
        SettingsStore &settings = SettingsStore::shared();
        settings.setInteger(QLatin1String(RTNewTweetGlobalShortcutKeyCodeKey), Qt::Key_T);
        settings.setValue(QLatin1String(RTNewTweetGlobalShortcutFlagsKey),
                          quint32(Qt::ControlModifier | Qt::AltModifier));
        settings.setBool(QLatin1String(RTAlwaysShortenLinksInMessagesKey), false);
        settings.synchronize();
    }
    void TearDown() override
    {
        if (m_helper.state() == QProcess::Running) {
            QDBusMessage quit =
                QDBusMessage::createMethodCall(kHelperName, QStringLiteral("/org/talvo/Helper"),
                                               kHelperName, QStringLiteral("Quit"));
            quit.setAutoStartService(false);
            bus().call(quit, QDBus::Block, 5000);
            if (!m_helper.waitForFinished(10000))
                m_helper.kill();
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    static QString profilePath()
    {
        return QDir(s_sandbox->dataDir()).filePath(QStringLiteral("../profile.conf"));
    }
    static QString login()
    {
        QString error;
        for (int attempt = 0; attempt < 3; ++attempt) {
            QProcess ctl;
            ctl.start(QStringLiteral(TALVOCTL_BINARY),
                      {QStringLiteral("login"), QStringLiteral("--profile"), profilePath(),
                       QStringLiteral("alice")});
            ctl.write("sandbox\n");
            ctl.closeWriteChannel();
            if (ctl.waitForFinished(60000) && ctl.exitCode() == 0)
                return QString();
            error = QStringLiteral("talvoctl login failed: ") +
                    QString::fromLocal8Bit(ctl.readAllStandardError());
        }
        return error;
    }
    // The texts of alice's own posts on the sandbox.
    static QString sentTimeline()
    {
        QProcess ctl;
        ctl.start(QStringLiteral(TALVOCTL_BINARY),
                  {QStringLiteral("poll"), QStringLiteral("--profile"), profilePath(),
                   QStringLiteral("--type"), QStringLiteral("sent")});
        ctl.waitForFinished(30000);
        return QString::fromUtf8(ctl.readAllStandardOutput() + ctl.readAllStandardError());
    }

    bool startHelper(const QStringList &arguments = {})
    {
        m_helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_helper.start(QStringLiteral(TALVO_HELPER_BINARY),
                       QStringList{QStringLiteral("--profile"), profilePath()} + arguments);
        return waitUntil([] { return helperPid() != 0; }, 10000);
    }
    // Waits for the compose window, types into it and posts with Ctrl+Return.
    bool writeAndPost(const QString &typed)
    {
        QString window;
        if (!waitUntil([&] { return !(window = x.visibleWindow(kWindowTitle)).isEmpty(); }, 15000))
            return false;
        return x.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}) &&
               x.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"),
                          typed}) &&
               x.press(QStringLiteral("ctrl+Return"));
    }

    inline static SandboxFixture *s_sandbox = nullptr;
    inline static QString s_error;
    XServer x;
    QProcess m_helper;
};

TEST_F(HelperCompose, HotKeyOrLinkOpensTheWindowAndItsPostArrives)
{
    ASSERT_TRUE(startHelper());
    struct Case
    {
        const char *what;
        std::function<bool()> open;
        QString typed;
        QString posted;
    };
    const qint64 stamp = QDateTime::currentMSecsSinceEpoch();
    const QString plain = QStringLiteral("From the hot key %1").arg(stamp);
    const QString shared = QStringLiteral("Worth a read %1").arg(stamp);
    const Case cases[] = {
        {"the hot key", [this] { return x.press(QStringLiteral("ctrl+alt+t")); }, plain, plain},
        // The link goes after the text, the caret before it.
        {"a link handed over by a second start",
         [this] {
             QProcess second;
             second.start(QStringLiteral(TALVO_HELPER_BINARY),
                          {QStringLiteral("talvo:https://example.org/read?id=7")});
             return second.waitForFinished(10000) && second.exitCode() == 0;
         },
         shared, shared + QStringLiteral(" https://example.org/read?id=7")},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(x.visibleWindow(kWindowTitle), QString()) << c.what;
        ASSERT_TRUE(c.open()) << c.what;
        ASSERT_TRUE(writeAndPost(c.typed)) << c.what << ": no compose window to write in";
        QString sent;
        EXPECT_TRUE(waitUntil([&] { return (sent = sentTimeline()).contains(c.posted); }, 30000))
            << c.what << ":\n"
            << sent.toStdString();
        EXPECT_TRUE(waitUntil([&] { return x.visibleWindow(kWindowTitle).isEmpty(); }, 10000))
            << c.what << ": the window closes after the post";
        EXPECT_EQ(m_helper.state(), QProcess::Running) << c.what;
    }
}

} // namespace

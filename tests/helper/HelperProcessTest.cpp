// The helper program itself, on the test's session bus and a private X server.
#include "app/RTAppComponents.h"
#include "app/RTTalvoAppDelegate.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "helper/XServer.h"
#include "platform/fake/FakePlatform.h"
#include "platform/linux/DBusSystemNotifications.h"
#include "platform/linux/LinuxDesktopApplication.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <csignal>
#include <gtest/gtest.h>

namespace {
constexpr quint32 kCtrlAlt = Qt::ControlModifier | Qt::AltModifier;
const QString kHelperName = QStringLiteral("org.talvo.Helper");
const QString kMainName = QStringLiteral("org.talvo.Talvo");

QDBusConnection bus()
{
    return QDBusConnection::sessionBus();
}

uint helperPid()
{
    const QDBusReply<uint> pid = bus().interface()->servicePid(kHelperName);
    return pid.isValid() ? pid.value() : 0;
}

// A round trip to the helper: everything it was sent before has been handled.
QDBusMessage callHelper(const QString &method, const QVariantList &args = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        kHelperName, QStringLiteral("/org/talvo/Helper"), kHelperName, method);
    call.setArguments(args);
    call.setAutoStartService(false);
    return bus().call(call, QDBus::Block, 5000);
}

bool processGone(uint pid)
{
    return pid == 0 || ::kill(pid_t(pid), 0) != 0;
}

class HelperProcess : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!bus().isConnected())
            GTEST_SKIP() << "no session bus";
        if (!x.isRunning() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "needs Xvfb and xdotool";
        // Programs started from here (the helper) run on the private server.
        qputenv("DISPLAY", x.display().toLatin1());
        qputenv("QT_QPA_PLATFORM", "xcb");
        SettingsStore::resetShared();
        ASSERT_FALSE(bus().interface()->isServiceRegistered(kHelperName))
            << "a helper is left over";
    }
    void TearDown() override
    {
        if (bus().isConnected() && bus().interface()->isServiceRegistered(kHelperName)) {
            const uint pid = helperPid();
            callHelper(QStringLiteral("Quit"));
            waitUntil([pid] { return processGone(pid); });
        }
        if (bus().isConnected())
            bus().interface()->unregisterService(kMainName);
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    XServer x;
};

class NoComponents : public RTAppComponents
{
public:
    void createSoundAlertManager() override {}
    void restoreStore() override {}
    void startTreeNodeManager() override {}
    bool hasServiceInServiceList() const override { return true; }
    void createPopupDelegate() override {}
    void saveStore() override {}
    void disableStoreSaving() override {}
    void markAllMessagesAsSeen() override {}
    void synchronizeGroups() override {}
    void synchronizeSearches() override {}
    void synchronizeLists() override {}
};
} // namespace

TEST_F(HelperProcess, SecondStartHandsItsLinkToTheFirstAndExits)
{
    LinuxDesktopApplication desktop;
    ASSERT_TRUE(desktop.announceApplication(kMainName)); // the helper hands requests to "us"
    DBusSystemNotifications notifications;
    QStringList links;
    notifications.subscribe(
        QLatin1String(RTTalvoHelperCaughtNewTweetHotKey),
        [&](const QString &, const QVariantMap &info) {
            links << info.value(QLatin1String(RTURLKey), QStringLiteral("-")).toString();
        });

    QProcess first;
    first.start(QStringLiteral(TALVO_HELPER_BINARY), {});
    ASSERT_TRUE(waitUntil([] { return helperPid() != 0; }, 10000));
    EXPECT_EQ(helperPid(), uint(first.processId()));

    struct Case
    {
        const char *what;
        QStringList arguments;
        int expectedExit;
        QStringList expectedLinks;
    };
    const Case cases[] = {
        {"a link",
         {QStringLiteral("talvo:https://example.org/a?b=1")},
         0,
         {QStringLiteral("https://example.org/a?b=1")}},
        {"no link: nothing to hand over", {}, 0, {}},
        {"a refused link is never posted", {QStringLiteral("talvo:javascript:alert(1)")}, 1, {}},
        {"two links, one refused",
         {QStringLiteral("talvo:file:///etc/passwd"), QStringLiteral("talvo:")},
         1,
         {QStringLiteral("-")}},
    };
    for (const Case &c : cases) {
        links.clear();
        QProcess second;
        second.start(QStringLiteral(TALVO_HELPER_BINARY), c.arguments);
        ASSERT_TRUE(second.waitForFinished(10000)) << c.what;
        EXPECT_EQ(second.exitCode(), c.expectedExit) << c.what;
        if (c.expectedExit != 0) {
            EXPECT_TRUE(second.readAllStandardError().contains("talvo: link")) << c.what;
        }
        // The helper posts before it answers the hand-over; one more round trip to be sure.
        callHelper(QStringLiteral("Ping"));
        waitUntil([&] { return links.size() >= c.expectedLinks.size(); }, 2000);
        EXPECT_EQ(links, c.expectedLinks) << c.what;
        EXPECT_EQ(helperPid(), uint(first.processId())) << c.what << ": the first one stays";
        EXPECT_EQ(first.state(), QProcess::Running) << c.what;
    }

    callHelper(QStringLiteral("Quit"));
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_FALSE(bus().interface()->isServiceRegistered(kHelperName));
}

TEST_F(HelperProcess, MainApplicationStartsMovesQuitsAndRestartsTheHelper)
{
    FakePlatform platform; // the main application's windows
    LinuxDesktopApplication desktop;
    DBusSystemNotifications notifications;
    DesktopApplication::setShared(&desktop);
    SystemNotifications::setShared(&notifications);
    NoComponents components;
    RTTalvoAppDelegate app(components);
    app.setHelperPath(QStringLiteral(TALVO_HELPER_BINARY));
    const auto requests = [&] {
        return platform.calls.count(QStringLiteral("showDirectInputWindowForUrl "));
    };

    // Quitting a helper that does not run must not start one through the bus.
    EXPECT_NE(desktop.quitApplication(kHelperName), 0);
    EXPECT_FALSE(bus().interface()->isServiceRegistered(kHelperName));

    app.changeNewTweetHotKey(Qt::Key_T, kCtrlAlt); // recorded before the helper runs
    app.applicationWillFinishLaunching();          // takes the main name and starts the helper
    app.applicationDidFinishLaunching();
    ASSERT_TRUE(waitUntil([] { return helperPid() != 0; }, 10000));
    const uint firstPid = helperPid();
    ASSERT_EQ(callHelper(QStringLiteral("HotKeyStatus")).arguments().value(0).toString(),
              QString());

    ASSERT_TRUE(x.press(QStringLiteral("ctrl+alt+t")));
    ASSERT_TRUE(waitUntil([&] { return requests() == 1; }))
        << "the hot key reaches the main application";
    callHelper(QStringLiteral("Ping"));
    EXPECT_EQ(x.visibleWindow(QStringLiteral("New Post")), QString())
        << "with the main application running the helper opens no window of its own";
    EXPECT_FALSE(x.canGrab('t')) << "the helper holds the key";

    // A new combination recorded in the main application moves the grab.
    app.changeNewTweetHotKey(Qt::Key_Y, kCtrlAlt);
    callHelper(QStringLiteral("Ping"));
    EXPECT_TRUE(x.canGrab('t')) << "the old key is released";
    EXPECT_FALSE(x.canGrab('y'));
    ASSERT_TRUE(x.press(QStringLiteral("ctrl+alt+y")));
    ASSERT_TRUE(waitUntil([&] { return requests() == 2; }));

    // A key another program holds is reported, not pretended.
    ASSERT_TRUE(x.hold('u'));
    app.changeNewTweetHotKey(Qt::Key_U, kCtrlAlt);
    const QString status =
        callHelper(QStringLiteral("HotKeyStatus")).arguments().value(0).toString();
    EXPECT_TRUE(status.contains(QStringLiteral("Another program"))) << qPrintable(status);
    app.changeNewTweetHotKey(Qt::Key_Y, kCtrlAlt);
    EXPECT_EQ(callHelper(QStringLiteral("HotKeyStatus")).arguments().value(0).toString(),
              QString());

    // Before an update the main application quits the helper; its next start brings it back.
    app.updaterWillInstallUpdate();
    ASSERT_TRUE(waitUntil([&] { return processGone(firstPid); }, 10000));
    EXPECT_FALSE(bus().interface()->isServiceRegistered(kHelperName));
    app.applicationWillFinishLaunching();
    ASSERT_TRUE(waitUntil([] { return helperPid() != 0; }, 10000));
    EXPECT_NE(helperPid(), firstPid);
    callHelper(QStringLiteral("Ping"));
    ASSERT_TRUE(x.press(QStringLiteral("ctrl+alt+y")));
    EXPECT_TRUE(waitUntil([&] { return requests() == 3; })) << "the restarted helper has the key";

    DesktopApplication::setShared(&platform);
    SystemNotifications::setShared(&platform);
}

TEST_F(HelperProcess, LinkOpenedByTheDesktopReachesTheRunningHelper)
{
    for (const char *tool : {"xdg-open", "xdg-mime", "update-desktop-database"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            GTEST_SKIP() << "needs " << tool;
    }
    // Install the shipped desktop entry for this build, as a package would.
    const QString applications =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QLatin1String("/applications");
    ASSERT_TRUE(QDir().mkpath(applications));
    QFile shipped(testSourceDir() + QLatin1String("/resources/talvo-helper.desktop"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    QString entry = QString::fromUtf8(shipped.readAll());
    ASSERT_TRUE(entry.contains(QLatin1String("MimeType=x-scheme-handler/talvo;")));
    entry.replace(QLatin1String("Exec=talvo-helper"),
                  QLatin1String("Exec=") + QLatin1String(TALVO_HELPER_BINARY));
    QFile installed(applications + QLatin1String("/talvo-helper.desktop"));
    ASSERT_TRUE(installed.open(QIODevice::WriteOnly));
    installed.write(entry.toUtf8());
    installed.close();
    const auto run = [](const QString &program, const QStringList &arguments) {
        QProcess process;
        process.start(program, arguments);
        return process.waitForFinished(10000) && process.exitCode() == 0;
    };
    ASSERT_TRUE(run(QStringLiteral("update-desktop-database"), {applications}));
    ASSERT_TRUE(run(QStringLiteral("xdg-mime"),
                    {QStringLiteral("default"), QStringLiteral("talvo-helper.desktop"),
                     QStringLiteral("x-scheme-handler/talvo")}));

    LinuxDesktopApplication desktop;
    ASSERT_TRUE(desktop.announceApplication(kMainName));
    DBusSystemNotifications notifications;
    QStringList links;
    notifications.subscribe(QLatin1String(RTTalvoHelperCaughtNewTweetHotKey),
                            [&](const QString &, const QVariantMap &info) {
                                links << info.value(QLatin1String(RTURLKey)).toString();
                            });
    QProcess helper;
    helper.start(QStringLiteral(TALVO_HELPER_BINARY), {});
    ASSERT_TRUE(waitUntil([] { return helperPid() != 0; }, 10000));

    // xdg-open hands the link over in raw UTF-8.
    ASSERT_TRUE(run(QStringLiteral("xdg-open"),
                    {QStringLiteral("talvo:https://b\u00fccher.example/?q=caf\u00e9")}));
    ASSERT_TRUE(waitUntil([&] { return !links.isEmpty(); }, 10000));
    EXPECT_EQ(links, QStringList{QStringLiteral("https://xn--bcher-kva.example/?q=caf%C3%A9")});
    EXPECT_EQ(helperPid(), uint(helper.processId()));
}

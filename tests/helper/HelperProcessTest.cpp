// The helper program itself, on the test's session bus and a private X server.
#include "app/RTAppComponents.h"
#include "app/RTTalvoAppDelegate.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
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
#include <cstdlib>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace {
constexpr quint32 kCtrlAlt = Qt::ControlModifier | Qt::AltModifier;
const QString kHelperName = QStringLiteral("org.talvo.Helper");
const QString kMainName = QStringLiteral("org.talvo.Talvo");

// A private X server; the display number comes back on its standard output.
class XServer
{
public:
    XServer()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            return;
        m_process.start(QStringLiteral("Xvfb"),
                        {QStringLiteral("-displayfd"), QStringLiteral("1"),
                         QStringLiteral("-screen"), QStringLiteral("0"),
                         QStringLiteral("640x480x24"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp")});
        if (!m_process.waitForStarted() || !m_process.waitForReadyRead(10000))
            return;
        m_display =
            QLatin1Char(':') + QString::fromLatin1(m_process.readAllStandardOutput()).trimmed();
        m_connection = xcb_connect(m_display.toLatin1().constData(), nullptr);
        if (xcb_connection_has_error(m_connection)) {
            xcb_disconnect(m_connection);
            m_connection = nullptr;
        }
    }
    ~XServer()
    {
        if (m_connection)
            xcb_disconnect(m_connection);
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    [[nodiscard]] bool isRunning() const { return m_connection != nullptr; }
    [[nodiscard]] QString display() const { return m_display; }

    // Whether another client could grab ctrl+alt+key now; releases it again.
    bool canGrab(char key)
    {
        xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(m_connection);
        xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, xcb_keysym_t(key));
        const xcb_keycode_t code = codes ? codes[0] : 0;
        std::free(codes);
        xcb_key_symbols_free(symbols);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const quint16 mods = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
        xcb_generic_error_t *error = xcb_request_check(
            m_connection, xcb_grab_key_checked(m_connection, 1, root, mods, code,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        const bool grabbed = error == nullptr;
        std::free(error);
        if (grabbed && !m_held.contains(key)) {
            xcb_ungrab_key(m_connection, code, root, mods);
            xcb_flush(m_connection);
        }
        return grabbed;
    }
    // Grabs ctrl+alt+key for as long as the server runs, as another program would.
    bool hold(char key)
    {
        m_held.append(key);
        return canGrab(key);
    }

    bool press(const QString &keys) const
    {
        QProcess xdotool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        xdotool.setProcessEnvironment(env);
        xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
        return xdotool.waitForFinished(10000) && xdotool.exitCode() == 0;
    }

private:
    QProcess m_process;
    QString m_display;
    xcb_connection_t *m_connection = nullptr;
    QList<char> m_held;
};

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

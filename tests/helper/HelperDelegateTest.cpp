#include "accounts/RTServiceRegistry.h"
#include "app/RTTalvoAppDelegate.h"
#include "app/TalvoRegistration.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "helper/THAppDelegate.h"
#include "platform/DirectInputWindows.h"
#include "platform/fake/FakeKeychain.h"
#include "platform/fake/FakePlatform.h"
#include "platform/linux/XdgAutostart.h"
#include "store/TADataManager.h"
#include "support/TestSupport.h"
#include "twitter/RTServiceTwitter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QUrl>
#include <gtest/gtest.h>

namespace {
constexpr quint32 kCtrlAlt = Qt::ControlModifier | Qt::AltModifier;

// What the compose windows were asked, as lines.
class RecordingWindows : public DirectInputWindows
{
public:
    RecordingWindows() { setShared(this); }
    ~RecordingWindows() override { setShared(nullptr); }
    QStringList calls;
    bool showDirectInputWindowForService(const QString &serviceId, int serviceType,
                                         const QString &url) override
    {
        calls << QStringLiteral("show %1 %2 %3").arg(serviceId).arg(serviceType).arg(url);
        return true;
    }
    void closeAllDirectInputWindows() override { calls << QStringLiteral("closeAll"); }
};

// Notifications with their values, which the platform fake does not keep.
class RecordingNotifications : public SystemNotifications
{
public:
    RecordingNotifications() { setShared(this); }
    ~RecordingNotifications() override { setShared(nullptr); }
    QList<std::pair<QString, QVariantMap>> posted;
    void post(const QString &name, const QString &, const QVariantMap &userInfo) override
    {
        posted.append({name, userInfo});
    }
    int subscribe(const QString &name, Callback callback) override
    {
        m_subscriptions.append({name, std::move(callback)});
        return int(m_subscriptions.size());
    }
    void unsubscribe(int) override {}
    void deliver(const QString &name, const QString &object, const QVariantMap &userInfo)
    {
        const auto subscriptions = m_subscriptions;
        for (const auto &[subscribed, callback] : subscriptions) {
            if (subscribed == name)
                callback(object, userInfo);
        }
    }

private:
    QList<std::pair<QString, Callback>> m_subscriptions;
};

struct HelperFixture
{
    explicit HelperFixture(const char *name)
    {
        Keychain::setShared(&keychain);
        registerTalvoLayers();
        const QString root = testTempDir() + QLatin1Char('/') + QLatin1String(name);
        SettingsStore::resetShared(root + QLatin1String("/Talvo.conf"));
        THAppDelegate::initialize(SettingsStore::shared());
        TADataManager::resetSharedManagerForTesting(root + QLatin1String("/store"));
        LoginItems::setShared(&autostart);
    }
    ~HelperFixture()
    {
        LoginItems::setShared(nullptr);
        Keychain::setShared(nullptr);
    }
    void addAccount()
    {
        auto account = std::make_shared<RTServiceTwitter>();
        account->setServiceId(QStringLiteral("alice"));
        TADataManager::sharedManager().addService(account);
    }

    FakeKeychain keychain;
    FakePlatform platform;
    RecordingNotifications notifications;
    XdgAutostart autostart{testTempDir() + QLatin1String("/autostart-unused")};
};
} // namespace

TEST(THAppDelegate, NewPostGoesToTheMainApplicationWhenItRunsElseToTheHelpersWindow)
{
    struct Case
    {
        const char *what;
        bool mainRunning;
        bool account;
        bool windows;
        QString argument;          // a link, or empty for the hot key
        QStringList expectedPosts; // name and RTURL of each notification
        QStringList expectedWindows;
        bool expectBeep;
    };
    const QString caught = QLatin1String(RTTalvoHelperCaughtNewTweetHotKey);
    const int twitter = RTServiceTwitter().serviceType();
    const QString shown = QStringLiteral("show alice %1 ").arg(twitter);
    const Case cases[] = {
        {"hot key, main application running",
         true,
         true,
         true,
         QString(),
         {caught + QLatin1String(" <none>")},
         {},
         false},
        {"link, main application running",
         true,
         true,
         true,
         QStringLiteral("talvo:https://example.org/p"),
         {caught + QLatin1String(" https://example.org/p")},
         {},
         false},
        {"hot key, helper alone", false, true, true, QString(), {}, {shown}, false},
        {"link, helper alone",
         false,
         true,
         true,
         QStringLiteral("talvo:https://example.org/p"),
         {},
         {shown + QLatin1String("https://example.org/p")},
         false},
        {"no account that can post", false, false, true, QString(), {}, {}, false},
        {"no compose window in this build", false, true, false, QString(), {}, {}, true},
        {"refused link, main application running",
         true,
         true,
         true,
         QStringLiteral("talvo:javascript:alert(1)"),
         {},
         {},
         false},
        {"refused link, helper alone",
         false,
         true,
         true,
         QStringLiteral("talvo:file:///etc/passwd"),
         {},
         {},
         false},
    };
    int n = 0;
    for (const Case &c : cases) {
        HelperFixture f(qPrintable(QStringLiteral("route%1").arg(n++)));
        if (c.mainRunning)
            f.platform.runningApplications << QLatin1String(RTTalvoAppDelegate::mainBundleId);
        if (c.account)
            f.addAccount();
        std::optional<RecordingWindows> windows;
        if (c.windows)
            windows.emplace();
        THAppDelegate delegate(QStringLiteral("/usr/bin/talvo-helper"), QStringLiteral("1.0"));
        if (c.argument.isEmpty())
            delegate.hotKeyPressed();
        else
            EXPECT_EQ(delegate.handleURL(c.argument).isEmpty(),
                      !c.expectedPosts.isEmpty() || !c.expectedWindows.isEmpty())
                << c.what;
        QStringList posts;
        for (const auto &[name, info] : f.notifications.posted)
            posts << name + QLatin1Char(' ') +
                         info.value(QLatin1String(RTURLKey), QStringLiteral("<none>")).toString();
        EXPECT_EQ(posts, c.expectedPosts) << c.what;
        EXPECT_EQ(windows ? windows->calls : QStringList(), c.expectedWindows) << c.what;
        EXPECT_EQ(f.platform.called(QStringLiteral("beep")), c.expectBeep) << c.what;
    }
}

TEST(THAppDelegate, HotKeyFollowsTheSettingsAndTheMainApplicationsChanges)
{
    HelperFixture f("hotkey");
    SettingsStore::shared().setInteger(QLatin1String(RTNewTweetGlobalShortcutKeyCodeKey),
                                       Qt::Key_T);
    SettingsStore::shared().setValue(QLatin1String(RTNewTweetGlobalShortcutFlagsKey), kCtrlAlt);
    THAppDelegate delegate(QStringLiteral("/usr/bin/talvo-helper"), QStringLiteral("1.0"));
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    ASSERT_EQ(f.platform.hotKeys.size(), 1);
    EXPECT_EQ(f.platform.hotKeys.first().keyCode, int(Qt::Key_T));
    EXPECT_EQ(f.platform.hotKeys.first().flags, kCtrlAlt);
    EXPECT_EQ(f.platform.hotKeys.first().signature, 0x54486831u); // "THh1"
    EXPECT_EQ(THAppDelegate::hotKeyHandle(), f.platform.hotKeys.firstKey());

    struct Change
    {
        const char *what;
        QVariantMap userInfo;
        QString refusal; // the hot-key service refuses with this
        int expectedKey; // 0: no hot key registered
        bool expectProblem;
    };
    const QString keyCode = QLatin1String(RTKeyCodeKey);
    const QString flags = QLatin1String(RTFlagsKey);
    const Change changes[] = {
        {"moved", {{keyCode, int(Qt::Key_Y)}, {flags, kCtrlAlt}}, QString(), Qt::Key_Y, false},
        {"key code -1 removes it", {{keyCode, -1}, {flags, kCtrlAlt}}, QString(), 0, false},
        {"flags 0 remove it", {{keyCode, int(Qt::Key_Y)}, {flags, 0u}}, QString(), 0, false},
        {"missing values remove it", {}, QString(), 0, false},
        {"set again", {{keyCode, int(Qt::Key_U)}, {flags, kCtrlAlt}}, QString(), Qt::Key_U, false},
        {"held by another program",
         {{keyCode, int(Qt::Key_I)}, {flags, kCtrlAlt}},
         QStringLiteral("held elsewhere"),
         0,
         true},
        {"a working key clears the problem",
         {{keyCode, int(Qt::Key_O)}, {flags, kCtrlAlt}},
         QString(),
         Qt::Key_O,
         false},
    };
    for (const Change &c : changes) {
        f.platform.hotKeyRefusal = c.refusal;
        f.notifications.deliver(QLatin1String(RTTalvoMainAppNotificationChangedNewTweetHotKey),
                                QString(), c.userInfo);
        if (c.expectedKey) {
            ASSERT_EQ(f.platform.hotKeys.size(), 1) << c.what;
            EXPECT_EQ(f.platform.hotKeys.first().keyCode, c.expectedKey) << c.what;
        } else {
            EXPECT_TRUE(f.platform.hotKeys.isEmpty()) << c.what;
        }
        EXPECT_EQ(delegate.hotKeyProblem(), c.expectProblem ? c.refusal : QString()) << c.what;
    }

    // The registered key's press asks for a new post.
    f.platform.runningApplications << QLatin1String(RTTalvoAppDelegate::mainBundleId);
    f.platform.hotKeys.first().onPressed();
    ASSERT_FALSE(f.notifications.posted.isEmpty());
    EXPECT_EQ(f.notifications.posted.last().first,
              QLatin1String(RTTalvoHelperCaughtNewTweetHotKey));
}

TEST(THAppDelegate, OnlyTheNewestHelperStaysAndAnUpdateQuitsIt)
{
    HelperFixture f("instances");
    THAppDelegate delegate(QStringLiteral("/usr/bin/talvo-helper"), QStringLiteral("1.0"));
    delegate.applicationWillFinishLaunching();
    ASSERT_EQ(f.notifications.posted.size(), 1);
    EXPECT_EQ(f.notifications.posted.first().first,
              QLatin1String(RTTalvoHelperNewInstanceLaunched));
    const QString announced = delegate.objectId();
    EXPECT_EQ(announced, QStringLiteral("objectID: %1").arg(QCoreApplication::applicationPid()));

    const QString name = QLatin1String(RTTalvoHelperNewInstanceLaunched);
    f.notifications.deliver(name, announced, {});
    EXPECT_FALSE(f.platform.called(QStringLiteral("terminate"))) << "its own announcement";
    f.notifications.deliver(name, QStringLiteral("objectID: 1"), {});
    EXPECT_EQ(f.platform.calls.count(QStringLiteral("terminate")), 1);

    delegate.mainAppWillUpdate();
    EXPECT_EQ(f.platform.calls.count(QStringLiteral("terminate")), 2);
    RecordingWindows windows;
    delegate.fakeQuit();
    EXPECT_EQ(windows.calls, QStringList{QStringLiteral("closeAll")});
    EXPECT_EQ(f.platform.calls.count(QStringLiteral("terminate")), 2) << "fake quit keeps running";
}

TEST(THAppDelegate, LoginItemIsWrittenOncePerVersionAndNeverAgainAfterTheUserRemovedIt)
{
    HelperFixture f("login");
    const QString folder = testTempDir() + QLatin1String("/login-autostart");
    XdgAutostart autostart(folder);
    LoginItems::setShared(&autostart);
    const QString entry = autostart.entryPath(QLatin1String(THAppDelegate::loginItemName));
    const QString marker = QStringLiteral("# untouched\n");
    const auto mark = [&] {
        QFile file(entry);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(marker.toUtf8());
    };
    const auto content = [&] {
        QFile file(entry);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };

    struct Step
    {
        const char *what;
        std::function<void()> before;
        QString program;
        QString version;
        bool expectEntry;
        QString expectVersion; // in the entry and the settings
        bool expectMarker;     // the entry was not rewritten
    };
    const QString bin = QStringLiteral("/usr/bin/talvo-helper");
    const Step steps[] = {
        {"first start writes it", [] {}, bin, QStringLiteral("1.0"), true, QStringLiteral("1.0"),
         false},
        {"same version leaves it", mark, bin, QStringLiteral("1.0"), true, QStringLiteral("1.0"),
         true},
        {"another location replaces it", [] {}, QStringLiteral("/opt/talvo/bin/talvo-helper"),
         QStringLiteral("1.0"), true, QStringLiteral("1.0"), false},
        {"new version replaces it", mark, bin, QStringLiteral("1.1"), true, QStringLiteral("1.1"),
         false},
        {"removed by the user: not added again", [&] { QFile::remove(entry); }, bin,
         QStringLiteral("1.1"), false, QStringLiteral("1.1"), false},
        {"nor by the next version", [] {}, bin, QStringLiteral("1.2"), false, QStringLiteral("1.1"),
         false},
    };
    for (const Step &s : steps) {
        s.before();
        THAppDelegate(s.program, s.version).addDaemonToLoginItemsIfNeeded();
        const QString text = content();
        EXPECT_EQ(!text.isEmpty(), s.expectEntry) << s.what;
        if (s.expectEntry) {
            EXPECT_TRUE(text.contains(QStringLiteral("X-Talvo-Version=") + s.expectVersion))
                << s.what;
            EXPECT_TRUE(
                text.contains(QStringLiteral("Exec=") + s.program + QLatin1String(" --autostart")))
                << s.what;
            EXPECT_EQ(text.contains(marker), s.expectMarker) << s.what;
        }
        EXPECT_EQ(
            SettingsStore::shared().stringForKey(QLatin1String(RTInstalledDaemonBundleVersionKey)),
            s.expectVersion)
            << s.what;
    }

    // An entry the user turned off counts as removed.
    THAppDelegate(bin, QStringLiteral("1.2")).removeDaemonFromLoginItems();
    EXPECT_FALSE(SettingsStore::shared().boolForKey(QLatin1String(RTAddedDaemonToLoginItemsKey)));
    THAppDelegate(bin, QStringLiteral("1.2")).addDaemonToLoginItemsIfNeeded();
    ASSERT_TRUE(QFile::exists(entry)) << "after uninstalling, a new install adds it";
    {
        QFile file(entry);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("Hidden=true\n");
    }
    EXPECT_FALSE(autostart.findLoginItem(QLatin1String(THAppDelegate::loginItemName)));
    THAppDelegate(bin, QStringLiteral("1.3")).addDaemonToLoginItemsIfNeeded();
    EXPECT_TRUE(content().contains(QStringLiteral("Hidden=true"))) << "turned off stays off";

    // Uninstalling removes the entry.
    THAppDelegate(bin, QStringLiteral("1.3")).removeDaemonFromLoginItems();
    EXPECT_FALSE(QFile::exists(entry));
    LoginItems::setShared(nullptr);
}

TEST(THAppDelegate, LoginItemThatCannotBeWrittenIsTriedAgainAtTheNextStart)
{
    HelperFixture f("login-failure");
    // A file where the folder should be: the entry cannot be written.
    const QString blocked = testTempDir() + QLatin1String("/blocked");
    QFile file(blocked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    XdgAutostart unwritable(blocked + QLatin1String("/autostart"));
    LoginItems::setShared(&unwritable);
    THAppDelegate(QStringLiteral("/usr/bin/talvo-helper"), QStringLiteral("1.0"))
        .addDaemonToLoginItemsIfNeeded();
    EXPECT_FALSE(SettingsStore::shared().boolForKey(QLatin1String(RTAddedDaemonToLoginItemsKey)));
    EXPECT_TRUE(SettingsStore::shared()
                    .stringForKey(QLatin1String(RTInstalledDaemonBundleVersionKey))
                    .isEmpty());

    XdgAutostart writable(testTempDir() + QLatin1String("/retry-autostart"));
    LoginItems::setShared(&writable);
    THAppDelegate(QStringLiteral("/usr/bin/talvo-helper"), QStringLiteral("1.0"))
        .addDaemonToLoginItemsIfNeeded();
    EXPECT_TRUE(writable.findLoginItem(QLatin1String(THAppDelegate::loginItemName)));
    EXPECT_TRUE(SettingsStore::shared().boolForKey(QLatin1String(RTAddedDaemonToLoginItemsKey)));
    LoginItems::setShared(nullptr);
}

TEST(THAppDelegate, ContinuesWithWhatTheMainApplicationSavedWhenItQuits)
{
    HelperFixture f("main-quits");
    RecordingWindows windows;
    THAppDelegate delegate(QStringLiteral("/usr/bin/talvo-helper"), QStringLiteral("1.0"));
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    delegate.hotKeyPressed();
    EXPECT_TRUE(windows.calls.isEmpty()) << "no account yet";

    // Meanwhile the main application adds an account and saves the store as it quits.
    {
        RTServiceRegistry mainRegistry;
        TADataManager mainStore(TADataManager::sharedManager().files().folder(), &mainRegistry);
        auto account = std::make_shared<RTServiceTwitter>();
        account->setServiceId(QStringLiteral("bob"));
        mainStore.addService(account);
        mainStore.saveCachesToDisk();
    }
    delegate.hotKeyPressed();
    EXPECT_TRUE(windows.calls.isEmpty()) << "the store is read again only when it quits";
    f.platform.applicationTerminated(QLatin1String(RTTalvoAppDelegate::mainBundleId));
    delegate.hotKeyPressed();
    ASSERT_EQ(windows.calls.size(), 1);
    EXPECT_TRUE(windows.calls.first().startsWith(QStringLiteral("show bob ")));
}

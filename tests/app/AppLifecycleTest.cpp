#include "accounts/AccountKeychain.h"
#include "app/RTAppComponents.h"
#include "app/RTApplication.h"
#include "app/RTMainMenuController.h"
#include "app/RTTalvoAppDelegate.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "platform/TAUtility.h"
#include "platform/fake/FakePlatform.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {
class RecordingComponents : public RTAppComponents
{
public:
    explicit RecordingComponents(QStringList &log)
        : m_log(log)
    {
    }
    bool hasAccount = false;

    void createSoundAlertManager() override { m_log << QStringLiteral("createSoundAlertManager"); }
    void restoreStore() override { m_log << QStringLiteral("restoreStore"); }
    void startTreeNodeManager() override { m_log << QStringLiteral("startTreeNodeManager"); }
    bool hasServiceInServiceList() const override { return hasAccount; }
    void createPopupDelegate() override { m_log << QStringLiteral("createPopupDelegate"); }
    void saveStore() override { m_log << QStringLiteral("saveStore"); }
    void disableStoreSaving() override { m_log << QStringLiteral("disableStoreSaving"); }
    void markAllMessagesAsSeen() override { m_log << QStringLiteral("markAllMessagesAsSeen"); }
    void synchronizeGroups() override { m_log << QStringLiteral("synchronizeGroups"); }
    void synchronizeSearches() override { m_log << QStringLiteral("synchronizeSearches"); }
    void synchronizeLists() override { m_log << QStringLiteral("synchronizeLists"); }

private:
    QStringList &m_log;
};

void freshSettings(const char *name)
{
    SettingsStore::resetShared(testTempDir() + QLatin1String("/") + QLatin1String(name) +
                               QLatin1String(".conf"));
}
} // namespace

TEST(RTApplication, SettingsRepair)
{
    struct Case
    {
        const char *what;
        double fontSize;
        int viewType;
        bool outline;
        bool sections;
        double expectedFont;
        int expectedViewType;
        bool expectedOutline;
        bool expectedSections;
        bool framesRemoved;
    };
    const Case cases[] = {
        {"font clamped", 14.0, 1, true, false, 13.0, 1, true, false, false},
        {"font kept", 12.0, 1, true, false, 12.0, 1, true, false, false},
        {"outline view without outline", 12.0, 1, false, false, 12.0, 0, false, true, true},
        {"combined view consistent", 12.0, 0, false, true, 12.0, 0, false, true, false},
        {"both shown", 12.0, 1, true, true, 12.0, 0, false, true, true},
        {"combined view showing the outline", 12.0, 0, true, false, 12.0, 0, false, true, true},
    };
    for (const Case &c : cases) {
        SettingsStore store(
            testTempDir() + QLatin1String("/repair-") +
            QString::fromLatin1(c.what).replace(QLatin1Char(' '), QLatin1Char('-')) +
            QLatin1String(".conf"));
        store.setFloat(TAMessageFontSizeKey, c.fontSize);
        store.setInteger(RTCurrentViewTypeKey, c.viewType);
        store.setBool(RTShowMainWindowOutlineKey, c.outline);
        store.setBool(RTShowMainWindowVerticalSectionsKey, c.sections);
        store.setValue(NSSplitViewOutlineFramesKey, QStringLiteral("0 0 200 600"));
        RTApplication::initializeSettings(store);
        EXPECT_DOUBLE_EQ(store.floatForKey(TAMessageFontSizeKey), c.expectedFont) << c.what;
        EXPECT_EQ(store.integerForKey(RTCurrentViewTypeKey), c.expectedViewType) << c.what;
        EXPECT_EQ(store.boolForKey(RTShowMainWindowOutlineKey), c.expectedOutline) << c.what;
        EXPECT_EQ(store.boolForKey(RTShowMainWindowVerticalSectionsKey), c.expectedSections)
            << c.what;
        EXPECT_EQ(!store.hasUserValue(NSSplitViewOutlineFramesKey), c.framesRemoved) << c.what;
        EXPECT_FALSE(store.boolForKey(NSShowNonLocalizedStringsKey)) << c.what;
    }
}

TEST(RTApplication, ShippedDefaultsPassTheirOwnRepair)
{
    SettingsStore store(testTempDir() + QLatin1String("/shipped.conf"));
    RTApplication::initializeSettings(store);
    EXPECT_FALSE(store.hasUserValue(RTCurrentViewTypeKey));
    EXPECT_FALSE(store.hasUserValue(TAMessageFontSizeKey));
}

TEST(RTTalvoAppDelegate, LaunchRunsInOrderAndOffersAccountsOnlyWhenThereAreNone)
{
    for (const bool hasAccount : {false, true}) {
        freshSettings(hasAccount ? "launch-account" : "launch-empty");
        FakePlatform platform;
        QStringList log;
        RecordingComponents components(log);
        components.hasAccount = hasAccount;
        RTApplication::initializeClass(components);
        RTTalvoAppDelegate delegate(components);
        delegate.setHelperPath(QStringLiteral("/opt/talvo/talvo-helper"));

        delegate.applicationWillFinishLaunching();
        EXPECT_TRUE(delegate.isLaunching());
        delegate.applicationDidFinishLaunching();
        EXPECT_FALSE(delegate.isLaunching());

        EXPECT_EQ(log, (QStringList{QStringLiteral("createSoundAlertManager"),
                                    QStringLiteral("restoreStore"),
                                    QStringLiteral("startTreeNodeManager"),
                                    QStringLiteral("createPopupDelegate")}));
        EXPECT_EQ(platform.calls.indexOf(QStringLiteral("addStatusItem")), 0);
        EXPECT_TRUE(platform.called(QStringLiteral("launch /opt/talvo/talvo-helper")));
        EXPECT_FALSE(platform.called(QStringLiteral("hide")));
        EXPECT_EQ(platform.called(QStringLiteral("showServiceAddition")), !hasAccount);
        EXPECT_TRUE(platform.called(QStringLiteral("launchReporter")));
        EXPECT_EQ(platform.lastCrashReporterLaunch.action, QStringLiteral("v1/report/crash"));
        EXPECT_EQ(platform.lastCrashReporterLaunch.guid, TAUtility::talvoGuid());
        EXPECT_FALSE(SettingsStore::shared().boolForKey(RTFirstLaunchKey));
        // No hot key by default.
        EXPECT_TRUE(platform.hotKeys.isEmpty());
    }
}

TEST(RTTalvoAppDelegate, StartInBackgroundAndAFailedHelperLaunch)
{
    freshSettings("background");
    SettingsStore::shared().setBool(RTStartInBackgroundKey, true);
    FakePlatform platform;
    platform.launchSucceeds = false;
    QStringList log;
    RecordingComponents components(log);
    RTTalvoAppDelegate delegate(components);
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    EXPECT_TRUE(platform.called(QStringLiteral("hide")));
    EXPECT_TRUE(log.contains(QStringLiteral("startTreeNodeManager")));
}

TEST(RTTalvoAppDelegate, ShowHideHotKeyFromSettingsAndFromChanges)
{
    freshSettings("hotkey");
    SettingsStore::shared().setInteger(RTShowHideTalvoGlobalShortcutKeyCodeKey, 49);
    SettingsStore::shared().setValue(RTShowHideTalvoGlobalShortcutFlagsKey, quint64(0x100));
    FakePlatform platform;
    QStringList log;
    RecordingComponents components(log);
    RTTalvoAppDelegate delegate(components);
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    ASSERT_EQ(platform.hotKeys.size(), 1);
    const auto hotKey = platform.hotKeys.first();
    EXPECT_EQ(hotKey.keyCode, 49);
    EXPECT_EQ(hotKey.signature, 0x52546831u);
    EXPECT_TRUE(platform.called(QStringLiteral("registerHotKey 49 256 52546831 1")));

    // Pressing it brings the inactive application forward, then hides the active one.
    hotKey.onPressed();
    EXPECT_TRUE(platform.active);
    EXPECT_TRUE(platform.called(QStringLiteral("showCurrentMainWindow")));
    hotKey.onPressed();
    EXPECT_FALSE(platform.active);

    NotificationCenter::defaultCenter().post(
        QLatin1String(RTChangedShowHideTalvoHotkeyNotification), nullptr,
        {{QLatin1String(RTKeyCodeKey), 12}, {QLatin1String(RTFlagsKey), 0x800u}});
    ASSERT_EQ(platform.hotKeys.size(), 1);
    EXPECT_EQ(platform.hotKeys.first().keyCode, 12);

    NotificationCenter::defaultCenter().post(
        QLatin1String(RTChangedShowHideTalvoHotkeyNotification), nullptr,
        {{QLatin1String(RTKeyCodeKey), -1}, {QLatin1String(RTFlagsKey), 0x800u}});
    EXPECT_TRUE(platform.hotKeys.isEmpty());
    EXPECT_EQ(RTTalvoAppDelegate::showHideHotKeyHandle(), 0u);
}

TEST(RTTalvoAppDelegate, HelperHotKeyOpensAComposeWindow)
{
    freshSettings("helper-hotkey");
    FakePlatform platform;
    QStringList log;
    RecordingComponents components(log);
    RTTalvoAppDelegate delegate(components);
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    platform.deliver(QLatin1String(RTTalvoHelperCaughtNewTweetHotKey),
                     {{QLatin1String(RTURLKey), QStringLiteral("talvo:status?text=hi")}});
    platform.deliver(QLatin1String(RTTalvoHelperCaughtNewTweetHotKey), {});
    EXPECT_TRUE(
        platform.called(QStringLiteral("showDirectInputWindowForUrl talvo:status?text=hi")));
    EXPECT_TRUE(platform.calls.contains(QStringLiteral("showDirectInputWindowForUrl ")));
}

TEST(RTTalvoAppDelegate, ActivationAndTermination)
{
    freshSettings("activation");
    FakePlatform platform;
    QStringList log;
    RecordingComponents components(log);
    RTTalvoAppDelegate delegate(components);

    delegate.applicationDidResignActive();
    EXPECT_FALSE(platform.called(QStringLiteral("hide")));
    SettingsStore::shared().setBool(RTAutoHideInBackgroundKey, true);
    delegate.applicationDidResignActive();
    EXPECT_TRUE(platform.called(QStringLiteral("hide")));

    EXPECT_FALSE(delegate.applicationShouldHandleReopen(false));
    EXPECT_TRUE(platform.called(QStringLiteral("showCurrentMainWindow")));

    delegate.updaterWillInstallUpdate();
    EXPECT_TRUE(platform.called(QStringLiteral("quit org.talvo.Helper")));

    delegate.applicationWillTerminate();
    EXPECT_EQ(log.count(QStringLiteral("saveStore")), 1);
}

TEST(RTMainMenuController, DeleteApplicationDataKeepsSettingsAndSkipsTheFinalSave)
{
    freshSettings("delete");
    FakePlatform platform;
    QStringList log;
    RecordingComponents components(log);
    RTTalvoAppDelegate delegate(components);
    RTMainMenuController menu(components, delegate);

    const QString guid = TAUtility::talvoGuid();
    const QString folder = TAUtility::applicationSupportFolder();
    QFile file(folder + QLatin1String("/services.dat"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("data");
    file.close();

    ASSERT_TRUE(menu.deleteApplicationData());
    EXPECT_FALSE(QDir(folder).exists());
    EXPECT_TRUE(platform.called(QStringLiteral("terminate")));
    EXPECT_TRUE(log.contains(QStringLiteral("disableStoreSaving")));
    delegate.applicationWillTerminate();
    EXPECT_FALSE(log.contains(QStringLiteral("saveStore")));
    EXPECT_EQ(TAUtility::talvoGuid(), guid);
}

TEST(RTMainMenuController, TogglesAndTheirTitles)
{
    freshSettings("toggles");
    FakePlatform platform;
    QStringList log;
    RecordingComponents components(log);
    RTTalvoAppDelegate delegate(components);
    RTMainMenuController menu(components, delegate);

    const bool before = SettingsStore::shared().boolForKey(RTShowVerifiedUsersKey);
    const QString titleBefore = RTMainMenuController::showVerifiedUsersTitle();
    menu.toggleShowVerifiedUsers();
    EXPECT_EQ(SettingsStore::shared().boolForKey(RTShowVerifiedUsersKey), !before);
    EXPECT_NE(RTMainMenuController::showVerifiedUsersTitle(), titleBefore);
    EXPECT_EQ(RTMainMenuController::showVerifiedUsersTitle(),
              before ? QStringLiteral("Show Verified Users")
                     : QStringLiteral("Hide Verified Users"));

    SettingsStore::shared().setInteger(RTCurrentViewTypeKey, 0);
    EXPECT_EQ(RTMainMenuController::viewTypeTitle(), QStringLiteral("Switch to Outline View"));

    menu.loginToTalvoAnywhere();
    EXPECT_TRUE(
        platform.called(QStringLiteral("openUrl https://api.talvo.org/website/guid/%1 foreground")
                            .arg(TAUtility::talvoGuid())));
}

TEST(RTTalvoAppDelegate, RefusedKeyringSavesOnceAndQuits)
{
    freshSettings("keyring");
    FakePlatform platform;
    QStringList log;
    RecordingComponents components(log);
    RTTalvoAppDelegate delegate(components);
    Q_EMIT AccountKeychain::shared().accessRefused();
    Q_EMIT AccountKeychain::shared().accessRefused();
    EXPECT_EQ(log.count(QStringLiteral("saveStore")), 1);
    EXPECT_EQ(platform.calls.count(QStringLiteral("terminate")), 1);
    delegate.applicationWillTerminate();
    EXPECT_EQ(log.count(QStringLiteral("saveStore")), 1);

    Q_EMIT AccountKeychain::shared().keychainUnavailable(QStringLiteral("No keyring"));
    EXPECT_TRUE(
        waitUntil([&] { return platform.called(QStringLiteral("alert No keyring [OK]")); }));
}

TEST(RTTalvoAppDelegate, RecordedShowHideHotKeyIsStoredRegisteredAndItsFailureExplained)
{
    freshSettings("hotkey-recorded");
    FakePlatform platform;
    QStringList log;
    RecordingComponents components(log);
    RTTalvoAppDelegate delegate(components);
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(platform.hotKeys.isEmpty());

    struct Case
    {
        const char *what;
        int keyCode;
        quint32 flags;
        QString refusal; // what the desktop answers to the registration
        bool registered;
        bool explained;
    };
    const Case cases[] = {
        {"a free combination", Qt::Key_H, Qt::MetaModifier, {}, true, false},
        {"held by another program", Qt::Key_J, Qt::ControlModifier,
         QStringLiteral("Another program already uses this key combination."), false, true},
        {"removed", -1, 0, QStringLiteral("stale"), false, false},
    };
    for (const Case &c : cases) {
        platform.hotKeyRefusal = c.refusal;
        delegate.changeShowHideHotKey(c.keyCode, c.flags);
        const SettingsStore &settings = SettingsStore::shared();
        EXPECT_EQ(settings.integerForKey(RTShowHideTalvoGlobalShortcutKeyCodeKey), c.keyCode)
            << c.what;
        EXPECT_EQ(settings.unsignedIntegerForKey(RTShowHideTalvoGlobalShortcutFlagsKey), c.flags)
            << c.what;
        EXPECT_EQ(platform.hotKeys.size(), c.registered ? 1 : 0) << c.what;
        if (c.registered && !platform.hotKeys.isEmpty()) {
            EXPECT_EQ(platform.hotKeys.first().keyCode, c.keyCode) << c.what;
        }
        EXPECT_EQ(delegate.showHideHotKeyProblem(), c.explained ? c.refusal : QString()) << c.what;
    }
}

#include "app/RTTalvoAppDelegate.h"

#include "accounts/AccountKeychain.h"
#include "app/RTAppComponents.h"
#include "app/TAErrorHandler.h"
#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "platform/CrashReporter.h"
#include "platform/DesktopApplication.h"
#include "platform/SystemNotifications.h"
#include "platform/TAUtility.h"
#include "platform/UpdateFramework.h"
#include "platform/WindowLayer.h"
#include "sharing/RTDirectInputLineViewController.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
// One show/hide hot key for the whole process.
HotKeyService::Handle g_showHideHotKey = 0;

// The maker's companion API host, where crash reports go.
constexpr const char *kCrashReportHost = "api.talvo.org";
} // namespace

RTTalvoAppDelegate::RTTalvoAppDelegate(RTAppComponents &components, QObject *parent)
    : QObject(parent)
    , m_components(components)
{
    // Keychain trouble can be found on a request worker; it is handled here, queued.
    connect(&AccountKeychain::shared(), &AccountKeychain::accessRefused, this,
            &RTTalvoAppDelegate::keychainAccessRefused);
    connect(&AccountKeychain::shared(), &AccountKeychain::keychainUnavailable, this,
            &RTTalvoAppDelegate::keychainUnavailable);
}

RTTalvoAppDelegate::~RTTalvoAppDelegate()
{
    if (m_helperSubscription && SystemNotifications::hasShared())
        SystemNotifications::shared().unsubscribe(m_helperSubscription);
    if (m_hotKeyObserver)
        NotificationCenter::defaultCenter().removeObserver(m_hotKeyObserver);
}

HotKeyService::Handle RTTalvoAppDelegate::showHideHotKeyHandle()
{
    return g_showHideHotKey;
}

QString RTTalvoAppDelegate::helperPath() const
{
    if (!m_helperPath.isEmpty())
        return m_helperPath;
    const QString beside =
        QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(helperExecutableName));
    if (QFileInfo(beside).isExecutable())
        return beside;
    // Installed elsewhere on the search path (a build tree keeps programs apart).
    const QString onPath = QStandardPaths::findExecutable(QLatin1String(helperExecutableName));
    return onPath.isEmpty() ? beside : onPath;
}

void RTTalvoAppDelegate::applicationWillFinishLaunching()
{
    m_isLaunching = true;
    DesktopApplication &desktop = DesktopApplication::shared();
    desktop.addStatusItem();
    // No Applications folder to move into on Linux: that step is left out.
    if (SettingsStore::shared().boolForKey(RTStartInBackgroundKey))
        desktop.hide();
    // The helper hands its hot key and links to the application while this name is held.
    if (!desktop.announceApplication(QLatin1String(mainBundleId)))
        qCInfo(lcApp) << "could not take the bus name" << mainBundleId;
    // A helper that cannot start only costs the hot key; the application goes on.
    if (!desktop.launchApplication(helperPath()))
        qCInfo(lcApp) << "the quick-post helper could not be started";
}

void RTTalvoAppDelegate::applicationDidFinishLaunching()
{
    // The window shows the store, so the store is restored with it.
    m_components.restoreStore();
    WindowLayer::shared().loadDefaultMainWindow();
    m_components.startTreeNodeManager();
    if (!m_components.hasServiceInServiceList())
        WindowLayer::shared().showServiceAddition();

    if (UpdateFramework::hasShared())
        UpdateFramework::shared().resetUpdateCycle();

    m_components.createPopupDelegate();

    if (CrashReporter::hasShared()) {
        CrashReporter::Launch launch;
        launch.company = QStringLiteral("Talvo");
        launch.httpProtocol = QStringLiteral("HTTP");
        launch.hostName = QLatin1String(kCrashReportHost);
        launch.port = 80;
        launch.action = QStringLiteral("v1/report/crash");
        launch.format = QStringLiteral("json");
        launch.apiKey = TAUtility::talvoApiKey();
        launch.guid = TAUtility::talvoGuid();
        launch.platform = QStringLiteral("osx");
        launch.userInfoTitle = QStringLiteral("USER INFORMATION");
        launch.userPrefsPath = TAUtility::applicationSupportFolder();
        CrashReporter::shared().launchReporter(launch);
    }

    SettingsStore &settings = SettingsStore::shared();
    settings.setBool(RTFirstLaunchKey, false);

    if (SystemNotifications::hasShared() && !m_helperSubscription) {
        m_helperSubscription = SystemNotifications::shared().subscribe(
            QLatin1String(RTTalvoHelperCaughtNewTweetHotKey),
            [this](const QString &, const QVariantMap &userInfo) {
                caughtNewTweetHotKey(userInfo);
            });
    }
    if (!m_hotKeyObserver) {
        m_hotKeyObserver = NotificationCenter::defaultCenter().addObserver(
            QLatin1String(RTChangedShowHideTalvoHotkeyNotification),
            [this](const void *, const QVariantMap &userInfo) {
                changedShowHideTalvoHotkey(userInfo);
            });
    }

    installShowHideHotKey(
        int(settings.integerForKey(RTShowHideTalvoGlobalShortcutKeyCodeKey)),
        quint32(settings.unsignedIntegerForKey(RTShowHideTalvoGlobalShortcutFlagsKey)));
    m_isLaunching = false;
}

void RTTalvoAppDelegate::applicationWillTerminate()
{
    // No request may still run when the process's static objects go.
    OperationQueue::shutDownAll();
    if (m_saveDataOnTermination)
        m_components.saveStore();
    RTDirectInputLineViewController::releaseAllControllers();
}

void RTTalvoAppDelegate::applicationDidResignActive()
{
    if (SettingsStore::shared().boolForKey(RTAutoHideInBackgroundKey))
        DesktopApplication::shared().hide();
}

void RTTalvoAppDelegate::applicationDidBecomeActive()
{
    WindowLayer::shared().refreshCursorAreas();
}

bool RTTalvoAppDelegate::applicationShouldHandleReopen(bool)
{
    WindowLayer::shared().showCurrentMainWindow();
    return false;
}

void RTTalvoAppDelegate::updaterWillInstallUpdate()
{
    TAUtility::quitApplicationWithBundleID(QLatin1String(helperBundleId));
}

void RTTalvoAppDelegate::caughtNewTweetHotKey(const QVariantMap &userInfo)
{
    WindowLayer::shared().showDirectInputWindowForUrl(
        userInfo.value(QLatin1String(RTURLKey)).toString());
}

void RTTalvoAppDelegate::changedShowHideTalvoHotkey(const QVariantMap &userInfo)
{
    installShowHideHotKey(userInfo.value(QLatin1String(RTKeyCodeKey)).toInt(),
                          userInfo.value(QLatin1String(RTFlagsKey)).toUInt());
}

void RTTalvoAppDelegate::changeNewTweetHotKey(int keyCode, quint32 flags)
{
    SettingsStore &settings = SettingsStore::shared();
    settings.setInteger(RTNewTweetGlobalShortcutKeyCodeKey, keyCode);
    settings.setValue(RTNewTweetGlobalShortcutFlagsKey, flags);
    // The helper may read its settings before this write reaches the file.
    settings.synchronize();
    if (SystemNotifications::hasShared()) {
        SystemNotifications::shared().post(
            QLatin1String(RTTalvoMainAppNotificationChangedNewTweetHotKey), QString(),
            {{QLatin1String(RTKeyCodeKey), qint32(keyCode)}, {QLatin1String(RTFlagsKey), flags}});
    }
}

void RTTalvoAppDelegate::changeShowHideHotKey(int keyCode, quint32 flags)
{
    SettingsStore &settings = SettingsStore::shared();
    settings.setInteger(RTShowHideTalvoGlobalShortcutKeyCodeKey, keyCode);
    settings.setValue(RTShowHideTalvoGlobalShortcutFlagsKey, flags);
    NotificationCenter::defaultCenter().post(
        QLatin1String(RTChangedShowHideTalvoHotkeyNotification), this,
        {{QLatin1String(RTKeyCodeKey), qint32(keyCode)}, {QLatin1String(RTFlagsKey), flags}});
}

QString RTTalvoAppDelegate::showHideHotKeyProblem() const
{
    const SettingsStore &settings = SettingsStore::shared();
    const auto keyCode = settings.integerForKey(RTShowHideTalvoGlobalShortcutKeyCodeKey);
    const auto flags = settings.unsignedIntegerForKey(RTShowHideTalvoGlobalShortcutFlagsKey);
    if (keyCode == -1 || flags == 0 || g_showHideHotKey)
        return QString();
    QString problem = HotKeyService::hasShared() ? HotKeyService::shared().problem() : QString();
    return problem.isEmpty() ? localizedString("##XcbHotKeyService:3##") : problem;
}

void RTTalvoAppDelegate::hotKeyPressed()
{
    DesktopApplication &desktop = DesktopApplication::shared();
    if (!desktop.isActive()) {
        desktop.activateIgnoringOtherApps();
        WindowLayer::shared().showCurrentMainWindow();
    } else {
        desktop.hide();
    }
}

void RTTalvoAppDelegate::keychainAccessRefused()
{
    if (m_quittingForKeychain)
        return;
    m_quittingForKeychain = true;
    qCWarning(lcApp) << "access to the keyring was refused; saving and quitting";
    m_components.saveStore();
    m_saveDataOnTermination = false; // saved just now
    DesktopApplication::shared().terminate();
}

void RTTalvoAppDelegate::keychainUnavailable(const QString &message)
{
    TAErrorHandler::sharedHandler().showErrorDialog(message);
}

void RTTalvoAppDelegate::installShowHideHotKey(int keyCode, quint32 flags)
{
    TAUtility::installHotKeyWithKeyCode(keyCode, flags, showHideHotKeySignature, &g_showHideHotKey,
                                        [this] { hotKeyPressed(); });
}

#include "helper/THAppDelegate.h"

#include "accounts/RTServiceProtocols.h"
#include "accounts/RTServiceRegistry.h"
#include "app/RTTalvoAppDelegate.h"
#include "foundation/Localization.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "helper/THLinkScheme.h"
#include "platform/DesktopApplication.h"
#include "platform/DirectInputWindows.h"
#include "platform/LoginItems.h"
#include "platform/SystemNotifications.h"
#include "platform/TAUtility.h"
#include "store/TADataManager.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QUrl>

Q_LOGGING_CATEGORY(lcHelper, "talvo.helper")

namespace {
// One new-post hot key for the whole process.
HotKeyService::Handle g_hotKey = 0;

QVariantMap helperDefaults()
{
    QFile file(QStringLiteral(":/talvo/talvoHelperDefaultSettings.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QVariantMap map = QJsonDocument::fromJson(file.readAll()).object().toVariantMap();
    map.remove(QStringLiteral("//"));
    return map;
}
} // namespace

THAppDelegate::THAppDelegate(const QString &programPath, const QString &version, QObject *parent)
    : QObject(parent)
    , m_programPath(programPath)
    , m_version(version)
{
}

THAppDelegate::~THAppDelegate()
{
    if (SystemNotifications::hasShared()) {
        for (const int id : m_subscriptions)
            SystemNotifications::shared().unsubscribe(id);
    }
    TAUtility::removeInstalledHotkeyWithEventRef(&g_hotKey);
}

HotKeyService::Handle THAppDelegate::hotKeyHandle()
{
    return g_hotKey;
}

void THAppDelegate::initialize(SettingsStore &settings)
{
    settings.registerShippedDefaults();
    settings.registerDefaults(helperDefaults());
}

QString THAppDelegate::objectId() const
{
    return QStringLiteral("objectID: %1").arg(QCoreApplication::applicationPid());
}

void THAppDelegate::applicationWillFinishLaunching()
{
    if (!SystemNotifications::hasShared())
        return;
    SystemNotifications &notifications = SystemNotifications::shared();
    notifications.post(QLatin1String(RTTalvoHelperNewInstanceLaunched), objectId(), {});
    m_subscriptions << notifications.subscribe(QLatin1String(RTTalvoHelperNewInstanceLaunched),
                                               [this](const QString &object, const QVariantMap &) {
                                                   launchedNewTalvoHelperInstance(object);
                                               });
    m_subscriptions << notifications.subscribe(
        QLatin1String(RTTalvoMainAppNotificationChangedNewTweetHotKey),
        [this](const QString &, const QVariantMap &userInfo) { changedNewTweetHotKey(userInfo); });
    if (DesktopApplication::hasShared()) {
        DesktopApplication::shared().observeApplicationTerminated(
            QLatin1String(RTTalvoAppDelegate::mainBundleId), [this] { mainAppTerminated(); });
    }
}

void THAppDelegate::applicationDidFinishLaunching()
{
    // The helper only reads the store: the main application is the one that writes it.
    TADataManager &store = TADataManager::sharedManager();
    store.setSavingEnabled(false);
    addDaemonToLoginItemsIfNeeded();
    const SettingsStore &settings = SettingsStore::shared();
    installHotKey(
        int(settings.integerForKey(QLatin1String(RTNewTweetGlobalShortcutKeyCodeKey))),
        quint32(settings.unsignedIntegerForKey(QLatin1String(RTNewTweetGlobalShortcutFlagsKey))));
}

void THAppDelegate::changedNewTweetHotKey(const QVariantMap &userInfo)
{
    installHotKey(userInfo.value(QLatin1String(RTKeyCodeKey), -1).toInt(),
                  userInfo.value(QLatin1String(RTFlagsKey), 0).toUInt());
}

void THAppDelegate::launchedNewTalvoHelperInstance(const QString &object)
{
    if (object == objectId())
        return;
    qCInfo(lcHelper) << "a newer helper started; quitting";
    DesktopApplication::shared().terminate();
}

void THAppDelegate::mainAppTerminated()
{
    // Continue with what the main application saved on its way out.
    SettingsStore::shared().synchronize();
    TADataManager::sharedManager().restoreCacheFromDisk();
}

void THAppDelegate::mainAppWillUpdate()
{
    DesktopApplication::shared().terminate();
}

void THAppDelegate::fakeQuit()
{
    if (DirectInputWindows::hasShared())
        DirectInputWindows::shared().closeAllDirectInputWindows();
}

QString THAppDelegate::handleURL(const QString &argument)
{
    const THLinkScheme::Result link = THLinkScheme::parse(argument);
    if (!link.accepted) {
        qCWarning(lcHelper).noquote() << "link refused:" << link.error;
        return link.error;
    }
    showDirectInputWindowForUrl(link.link);
    return QString();
}

void THAppDelegate::hotKeyPressed()
{
    showDirectInputWindowForUrl(QString());
}

void THAppDelegate::showDirectInputWindowForUrl(const QString &url)
{
    DesktopApplication &desktop = DesktopApplication::shared();
    if (desktop.isApplicationRunning(QLatin1String(RTTalvoAppDelegate::mainBundleId))) {
        QVariantMap userInfo;
        if (!url.isEmpty())
            userInfo.insert(QLatin1String(RTURLKey), url);
        SystemNotifications::shared().post(QLatin1String(RTTalvoHelperCaughtNewTweetHotKey),
                                           QString(), userInfo);
        return;
    }
    const RTServiceList composing =
        TADataManager::sharedManager().registry().servicesConformingTo<RTMessageSendingProtocol>();
    if (composing.isEmpty()) {
        qCInfo(lcHelper).noquote() << localizedString("##THAppDelegate:0##");
        return;
    }
    if (!DirectInputWindows::hasShared()) {
        qCWarning(lcHelper).noquote() << localizedString("##THAppDelegate:1##");
        desktop.beep();
        return;
    }
    // The tokens live in the keyring, not in the store the helper read; every account the
    // window offers needs them to post.
    for (const RTServicePtr &account : composing) {
        if (account->oauthToken().isEmpty())
            account->loadOAuthTokens();
    }
    const RTServicePtr &service = composing.first();
    if (!DirectInputWindows::shared().showDirectInputWindowForService(service->serviceId(),
                                                                      service->serviceType(), url))
        qCInfo(lcHelper) << "the account cannot compose; no window";
}

void THAppDelegate::installHotKey(int keyCode, quint32 flags)
{
    TAUtility::installHotKeyWithKeyCode(keyCode, flags, hotKeySignature, &g_hotKey,
                                        [this] { hotKeyPressed(); });
    const bool wanted = keyCode != -1 && flags != 0;
    if (!wanted || g_hotKey) {
        m_hotKeyProblem.clear();
        return;
    }
    // A hot key that cannot be registered is absent, but the preferences say why.
    m_hotKeyProblem = HotKeyService::hasShared() ? HotKeyService::shared().problem() : QString();
    if (m_hotKeyProblem.isEmpty())
        m_hotKeyProblem = localizedString("##XcbHotKeyService:3##");
    qCInfo(lcHelper).noquote() << "new-post hot key not registered:" << m_hotKeyProblem;
}

QString THAppDelegate::hotKeyProblem() const
{
    return m_hotKeyProblem;
}

void THAppDelegate::addDaemonToLoginItemsIfNeeded()
{
    if (!LoginItems::hasShared())
        return;
    LoginItems &loginItems = LoginItems::shared();
    SettingsStore &settings = SettingsStore::shared();
    const QString name = QLatin1String(loginItemName);
    const QString installed =
        settings.stringForKey(QLatin1String(RTInstalledDaemonBundleVersionKey));
    const bool added = settings.boolForKey(QLatin1String(RTAddedDaemonToLoginItemsKey));
    const QString fileUrl = QUrl::fromLocalFile(m_programPath).toString();

    const std::optional<LoginItems::Item> item = loginItems.findLoginItem(name);
    if (item && installed == m_version && item->version == m_version && item->url == fileUrl)
        return;
    // The user removed the item: it is not added again, not even by a new version.
    if (!item && added)
        return;
    if (item)
        loginItems.removeLoginItem(name);
    if (!loginItems.addLoginItem(name, {m_programPath, fileUrl, m_version}))
        return; // tried again at the next launch
    settings.setValue(QLatin1String(RTInstalledDaemonBundleVersionKey), m_version);
    settings.setBool(QLatin1String(RTAddedDaemonToLoginItemsKey), true);
}

void THAppDelegate::removeDaemonFromLoginItems()
{
    if (LoginItems::hasShared())
        LoginItems::shared().removeLoginItem(QLatin1String(loginItemName));
    SettingsStore &settings = SettingsStore::shared();
    settings.removeObjectForKey(QLatin1String(RTInstalledDaemonBundleVersionKey));
    settings.removeObjectForKey(QLatin1String(RTAddedDaemonToLoginItemsKey));
}

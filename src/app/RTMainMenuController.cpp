#include "app/RTMainMenuController.h"

#include "app/RTAppComponents.h"
#include "app/RTTalvoAppDelegate.h"
#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "platform/DesktopApplication.h"
#include "platform/TAUtility.h"
#include "platform/UpdateFramework.h"
#include "platform/WindowLayer.h"

#include <QDir>

namespace {
void toggle(const char *key)
{
    SettingsStore &settings = SettingsStore::shared();
    settings.setBool(QLatin1String(key), !settings.boolForKey(QLatin1String(key)));
}

QString showHideTitle(const char *key, const char *what)
{
    const bool shown = SettingsStore::shared().boolForKey(QLatin1String(key));
    return (shown ? QStringLiteral("Hide ") : QStringLiteral("Show ")) + QLatin1String(what);
}
} // namespace

RTMainMenuController::RTMainMenuController(RTAppComponents &components,
                                           RTTalvoAppDelegate &delegate, QObject *parent)
    : QObject(parent)
    , m_components(components)
    , m_delegate(delegate)
{
}

void RTMainMenuController::refreshAll()
{
    WindowLayer::shared().reloadAllServices();
}

void RTMainMenuController::refreshCurrent()
{
    WindowLayer::shared().reloadCurrentSource();
}

void RTMainMenuController::markAllMessagesAsSeen()
{
    m_components.markAllMessagesAsSeen();
}

void RTMainMenuController::synchronizeGroups()
{
    m_components.synchronizeGroups();
}

void RTMainMenuController::synchronizeSearches()
{
    m_components.synchronizeSearches();
}

void RTMainMenuController::synchronizeLists()
{
    m_components.synchronizeLists();
}

void RTMainMenuController::saveApplicationData()
{
    m_components.saveStore();
}

bool RTMainMenuController::deleteApplicationData()
{
    QDir folder(TAUtility::applicationSupportFolder());
    if (!folder.removeRecursively()) {
        qCWarning(lcApp).noquote() << "Could not delete the application data in" << folder.path();
        return false;
    }
    qCInfo(lcApp) << "Deleted application data";
    m_delegate.setSaveDataOnTermination(false);
    m_components.disableStoreSaving();
    DesktopApplication::shared().terminate();
    return true;
}

void RTMainMenuController::toggleShowUngroupedUsers()
{
    toggle(RTShowUngroupedGroupKey);
}

void RTMainMenuController::toggleShowVerifiedUsers()
{
    toggle(RTShowVerifiedUsersKey);
}

void RTMainMenuController::toggleShowTwitterSources()
{
    toggle(RTShowTwitterSourcesKey);
}

QString RTMainMenuController::showUngroupedUsersTitle()
{
    return showHideTitle(RTShowUngroupedGroupKey, "Ungrouped Users");
}

QString RTMainMenuController::showVerifiedUsersTitle()
{
    return showHideTitle(RTShowVerifiedUsersKey, "Verified Users");
}

QString RTMainMenuController::showTwitterSourcesTitle()
{
    return showHideTitle(RTShowTwitterSourcesKey, "Twitter Sources");
}

QString RTMainMenuController::viewTypeTitle()
{
    return SettingsStore::shared().integerForKey(RTCurrentViewTypeKey) == 0
               ? QStringLiteral("Switch to Outline View")
               : QStringLiteral("Switch to Combined View");
}

void RTMainMenuController::checkForUpdates()
{
    if (UpdateFramework::hasShared())
        UpdateFramework::shared().checkForUpdates();
}

void RTMainMenuController::loginToTalvoAnywhere()
{
    TAUtility::openURL(QString::fromLatin1(anywhereUrl).arg(TAUtility::talvoGuid()), false);
}

void RTMainMenuController::talvoWebsite()
{
    TAUtility::openURL(QLatin1String(websiteUrl), false);
}

void RTMainMenuController::talvoFeedback()
{
    TAUtility::openURL(QLatin1String(feedbackUrl), false);
}

void RTMainMenuController::talvoHelp()
{
    TAUtility::openURL(QLatin1String(helpUrl), false);
}

void RTMainMenuController::crashTalvo()
{
    qCInfo(lcApp) << "Simulating crash Reports is disabled ...";
}

void RTMainMenuController::newTweet()
{
    WindowLayer::shared().showDirectInputLine(false);
}

void RTMainMenuController::newDirectMessage()
{
    WindowLayer::shared().showDirectInputLine(true);
}

void RTMainMenuController::showServiceAddition()
{
    WindowLayer::shared().showServiceAddition();
}

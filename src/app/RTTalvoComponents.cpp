#include "app/RTTalvoComponents.h"

#include "companion/RTCompanionClient.h"
#include "store/TADataManager.h"
#include "timelines/RTPopupDelegate.h"
#include "timelines/RTSoundAlertManager.h"
#include "timelines/RTTreeNodeManager.h"
#include "twitter/RTServiceTwitter.h"

RTTalvoComponents::RTTalvoComponents() = default;
RTTalvoComponents::~RTTalvoComponents() = default;

void RTTalvoComponents::createSoundAlertManager()
{
    RTSoundAlertManager::sharedManager();
}

void RTTalvoComponents::restoreStore()
{
    TADataManager::sharedManager();
}

void RTTalvoComponents::startTreeNodeManager()
{
    TADataManager &store = TADataManager::sharedManager();
    for (const RTServicePtr &service : store.services()) {
        if (auto *account = qobject_cast<RTServiceTwitter *>(service.get()))
            account->loadOAuthTokens();
    }
    RTTreeNodeManager &manager = RTTreeNodeManager::sharedManager();
    // The companion client exists before the accounts poll, so the dated filters mark
    // the first messages as they arrive.
    RTCompanionClient &companion = RTCompanionClient::talvoService();
    store.startupServices();
    companion.startWithNodeManager(manager);
}

bool RTTalvoComponents::hasServiceInServiceList() const
{
    for (const RTServicePtr &service : TADataManager::sharedManager().services()) {
        if (service->shouldAppearInServiceList())
            return true;
    }
    return false;
}

void RTTalvoComponents::createPopupDelegate()
{
    if (!m_popups)
        m_popups = std::make_unique<RTPopupDelegate>(RTTreeNodeManager::sharedManager());
}

void RTTalvoComponents::saveStore()
{
    TADataManager::sharedManager().saveCachesToDisk();
}

void RTTalvoComponents::disableStoreSaving()
{
    TADataManager::sharedManager().setSavingEnabled(false);
}

void RTTalvoComponents::markAllMessagesAsSeen()
{
    RTTreeNodeManager::sharedManager().markAllMessagesAndTrendsSeen();
}

void RTTalvoComponents::synchronizeGroups()
{
    RTCompanionClient::talvoService().getGroups();
}

void RTTalvoComponents::synchronizeSearches()
{
    for (const RTServicePtr &service : TADataManager::sharedManager().services()) {
        if (auto *account = qobject_cast<RTServiceTwitter *>(service.get()))
            account->refreshSearches();
    }
}

void RTTalvoComponents::synchronizeLists()
{
    for (const RTServicePtr &service : TADataManager::sharedManager().services()) {
        if (auto *account = qobject_cast<RTServiceTwitter *>(service.get()))
            account->synchronizeLists();
    }
}

void RTTalvoComponents::stopServices()
{
    if (RTCompanionClient *companion = RTCompanionClient::existingTalvoService())
        companion->stop();
    for (const RTServicePtr &service : TADataManager::sharedManager().services())
        service->stop();
}

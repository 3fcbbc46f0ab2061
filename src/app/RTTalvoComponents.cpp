#include "app/RTTalvoComponents.h"

#include "foundation/Log.h"
#include "store/TADataManager.h"
#include "timelines/RTTreeNodeManager.h"
#include "twitter/RTServiceTwitter.h"

void RTTalvoComponents::createSoundAlertManager()
{
    // Sounds belong to the alerts; nothing plays until they are installed.
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
    RTTreeNodeManager::sharedManager();
    store.startupServices();
}

bool RTTalvoComponents::hasServiceInServiceList() const
{
    for (const RTServicePtr &service : TADataManager::sharedManager().services()) {
        if (service->shouldAppearInServiceList())
            return true;
    }
    return false;
}

void RTTalvoComponents::createGrowlDelegate()
{
    // Pop-up notifications belong to the alerts.
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
    RTTreeNodeManager &manager = RTTreeNodeManager::sharedManager();
    manager.setIsBatchChangingNewCount(true);
    for (const RTServicePtr &service : TADataManager::sharedManager().services()) {
        if (auto *account = qobject_cast<RTServiceTwitter *>(service.get())) {
            for (const auto &message : account->messagesDictionary())
                message->setIsSeen(true);
        }
    }
    manager.setIsBatchChangingNewCount(false);
}

void RTTalvoComponents::synchronizeGroups()
{
    qCInfo(lcApp) << "groups are kept by the companion service, which is not set up";
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
    for (const RTServicePtr &service : TADataManager::sharedManager().services())
        service->stop();
}

#include "app/RTTalvoComponents.h"

#include "foundation/Log.h"
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

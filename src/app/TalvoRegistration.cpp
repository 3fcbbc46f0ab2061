#include "app/TalvoRegistration.h"

#include "accounts/AccountsRegistration.h"
#include "accounts/RTServiceRegistry.h"
#include "companion/CompanionRegistration.h"
#include "model/ModelRegistration.h"
#include "networks/NetworksRegistration.h"
#include "networks/PingfmInstapaperRegistration.h"
#include "sharing/SharingRegistration.h"
#include "store/TADataManager.h"
#include "text/RTMessageTextParser.h"
#include "text/TextRegistration.h"
#include "twitter/RTRegistryAccountDirectory.h"
#include "twitter/RTSearcher.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterResponseMapper.h"
#include "twitter/TwitterRegistration.h"

void registerTalvoLayers()
{
    registerModelArchiveClasses();
    registerAccountArchiveClasses();
    registerTwitterArchiveClasses();
    registerTwitterRequestClasses();
    registerSharingClasses();
    registerCompanionRequestClasses();
    registerNetworksClasses();
    registerPingfmAndInstapaper();
    registerTextLayerWithModel();
    RTTwitterResponseMapper::setMentionsFinder(&RTMessageTextParser::mentionsInMessageText);
    // Repeats across accounts, marks shared between them and account-less search results
    // all go through the directory and its searcher.
    RTSearcher *searcher = &RTRegistryAccountDirectory::installShared();

    static bool hooksAdded = false;
    if (!hooksAdded) {
        hooksAdded = true;
        // An account's archive holds copies of its shortener and picture host; use the
        // registered ones.
        TADataManager::addAfterRestoreHook([searcher](TADataManager &manager) {
            // Not owned: the searcher lives as long as the program.
            manager.setSearcher(std::shared_ptr<TASearcherInterface>(
                std::shared_ptr<TASearcherInterface>(), searcher));
            const RTServiceRegistry &registry = RTServiceRegistry::shared();
            for (const RTServicePtr &service : registry.services()) {
                if (auto *twitter = qobject_cast<RTServiceTwitter *>(service.get()))
                    twitter->resolveRegisteredServices(registry);
            }
        });
    }
}

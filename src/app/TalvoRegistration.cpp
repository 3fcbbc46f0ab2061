#include "app/TalvoRegistration.h"

#include "accounts/AccountsRegistration.h"
#include "accounts/RTServiceRegistry.h"
#include "companion/CompanionRegistration.h"
#include "model/ModelRegistration.h"
#include "store/TADataManager.h"
#include "text/RTMessageTextParser.h"
#include "text/TextRegistration.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterResponseMapper.h"
#include "twitter/TwitterRegistration.h"

void registerTalvoLayers()
{
    registerModelArchiveClasses();
    registerAccountArchiveClasses();
    registerTwitterArchiveClasses();
    registerTwitterRequestClasses();
    registerCompanionRequestClasses();
    registerTextLayerWithModel();
    RTTwitterResponseMapper::setMentionsFinder(&RTMessageTextParser::mentionsInMessageText);

    static bool hooksAdded = false;
    if (!hooksAdded) {
        hooksAdded = true;
        // An account's archive holds copies of its shortener and picture host; use the
        // registered ones.
        TADataManager::addAfterRestoreHook([](TADataManager &) {
            const RTServiceRegistry &registry = RTServiceRegistry::shared();
            for (const RTServicePtr &service : registry.services()) {
                if (auto *twitter = qobject_cast<RTServiceTwitter *>(service.get()))
                    twitter->resolveRegisteredServices(registry);
            }
        });
    }
}

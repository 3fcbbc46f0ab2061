#include "accounts/RTServiceRegistry.h"
#include "app/TalvoRegistration.h"
#include "platform/fake/FakeKeychain.h"
#include "store/TADataManager.h"
#include "support/TestSupport.h"
#include "twitter/RTServiceTwitter.h"

#include <gtest/gtest.h>

TEST(TalvoRegistration, RestoredAccountsUseTheRegisteredShortener)
{
    FakeKeychain keychain;
    Keychain::setShared(&keychain);
    registerTalvoLayers();
    const QString folder = testTempDir() + QLatin1String("/registration-store");

    RTServicePtr shortener;
    {
        TADataManager::resetSharedManagerForTesting(folder);
        TADataManager &store = TADataManager::sharedManager();
        for (const RTServicePtr &s : RTServiceRegistry::shared().services()) {
            if (s->serviceType() == 7) // the anonymous bit.ly shortener
                shortener = s;
        }
        ASSERT_TRUE(shortener);
        auto account = std::make_shared<RTServiceTwitter>();
        account->setServiceId(QStringLiteral("alice"));
        account->setDefaultShortener(shortener);
        store.addService(account);
        store.saveCachesToDisk();
    }
    TADataManager::resetSharedManagerForTesting(folder);
    TADataManager::sharedManager();
    RTServiceTwitter *restored = nullptr;
    RTServicePtr restoredShortener;
    for (const RTServicePtr &s : RTServiceRegistry::shared().services()) {
        if (auto *t = qobject_cast<RTServiceTwitter *>(s.get()))
            restored = t;
        if (s->serviceType() == 7)
            restoredShortener = s;
    }
    ASSERT_NE(restored, nullptr);
    ASSERT_TRUE(restoredShortener);
    EXPECT_EQ(restored->defaultShortener(), restoredShortener);
    TADataManager::resetSharedManagerForTesting();
    Keychain::setShared(nullptr);
}

#include "accounts/RTServiceRegistry.h"
#include "app/TalvoRegistration.h"
#include "model/RTAccountDirectory.h"
#include "platform/fake/FakeKeychain.h"
#include "store/TADataManager.h"
#include "support/TestSupport.h"
#include "twitter/RTRequestOperationTwitter.h"
#include "twitter/RTSearcher.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterRequestTypes.h"
#include "twitter/RTTwitterResponseMapper.h"
#include "json/Json.h"

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

TEST(TalvoRegistration, AccountsFindEachOtherAndTheSearcherThroughTheDirectory)
{
    FakeKeychain keychain;
    Keychain::setShared(&keychain);
    registerTalvoLayers();
    ASSERT_TRUE(RTAccountDirectory::hasShared());
    TADataManager::resetSharedManagerForTesting(testTempDir() +
                                                QLatin1String("/registration-directory"));
    TADataManager &store = TADataManager::sharedManager();
    auto alice = std::make_shared<RTServiceTwitter>();
    alice->setServiceId(QStringLiteral("alice"));
    auto bob = std::make_shared<RTServiceTwitter>();
    bob->setServiceId(QStringLiteral("bob"));
    store.addService(alice);
    store.addService(bob);
    EXPECT_EQ(RTAccountDirectory::shared().twitterAccounts(),
              (QList<QObject *>{alice.get(), bob.get()}));

    // Requests without an account merge into the searcher the directory names.
    const auto searcher = RTRequestOperationTwitter().dataSource();
    ASSERT_TRUE(searcher);
    EXPECT_EQ(static_cast<RTMessageDataSource *>(searcher.get()),
              RTAccountDirectory::shared().searcher());

    const auto statuses = [](const char *id) {
        return objectFromJSON(QStringLiteral(R"([{"id":%1,"text":"t","from_user_id":3,)"
                                        R"("from_user":"c","user":{"id":3,"screen_name":"c"}}])")
                             .arg(QLatin1String(id))
                             .toUtf8());
    };
    RTTwitterResponseMapper::parseMessages(statuses("70"), RTTwitterRequestSearch, *searcher);
    RTTwitterResponseMapper::parseMessages(statuses("71"), RTTwitterRequestHomeTimeline, *alice);
    const auto bobs =
        RTTwitterResponseMapper::parseMessages(statuses("71"), RTTwitterRequestHomeTimeline, *bob);
    const auto fromSearch =
        RTTwitterResponseMapper::parseMessages(statuses("70"), RTTwitterRequestHomeTimeline, *bob);
    ASSERT_EQ(bobs.newMessages.size(), 1);
    EXPECT_TRUE(bobs.newMessages.first()->isRepeated());
    EXPECT_TRUE(alice->twitterMessageWithId(QStringLiteral("71"))->isRepeated());
    ASSERT_EQ(fromSearch.newMessages.size(), 1);
    EXPECT_TRUE(fromSearch.newMessages.first()->isRepeated());
    EXPECT_TRUE(searcher->twitterMessageWithId(QStringLiteral("70"))->isRepeated());

    TADataManager::resetSharedManagerForTesting();
    Keychain::setShared(nullptr);
}

// The program's components start the companion client with the tree of sources and stop
// it at the end, against a real sandbox.
#include "app/RTTalvoComponents.h"
#include "companion/CompanionRegistration.h"
#include "companion/RTCompanionClient.h"
#include "foundation/HostProfile.h"
#include "http/HttpRequest.h"
#include "platform/fake/FakeKeychain.h"
#include "store/TADataManager.h"
#include "support/SandboxFixture.h"
#include "support/TestSupport.h"
#include "twitter/RTTrendObject.h"

#include <gtest/gtest.h>

TEST(ProgramComponents, StartTheCompanionClientWithTheTreeAndStopItAtTheEnd)
{
    SandboxFixture sandbox;
    ASSERT_TRUE(sandbox.start()) << sandbox.errorString().toStdString();
    HostProfile::setCurrent(sandbox.profile());
    HttpRequest::setDefaultCaBundle(sandbox.caBundle());
    FakeKeychain keychain;
    Keychain::setShared(&keychain);
    registerCompanionRequestClasses();
    TADataManager::resetSharedManagerForTesting(testTempDir() + QStringLiteral("/components"));
    ASSERT_EQ(RTCompanionClient::existingTalvoService(), nullptr);

    RTTalvoComponents components;
    components.restoreStore();
    components.startTreeNodeManager();
    RTCompanionClient *client = RTCompanionClient::existingTalvoService();
    ASSERT_NE(client, nullptr);
    EXPECT_TRUE(client->isRunning());
    EXPECT_EQ(client->pollingObjects().size(), 5);

    // The first trends are asked for at start; "mark all as seen" reaches them, so the
    // tree has the client's trends.
    ASSERT_TRUE(waitUntil([client] { return !client->twitterTrends().isEmpty(); }, 15000));
    const QList<RTTrendObjectPtr> trends = client->twitterTrends();
    EXPECT_FALSE(trends.first()->isSeen());
    components.markAllMessagesAsSeen();
    for (const RTTrendObjectPtr &trend : trends)
        EXPECT_TRUE(trend->isSeen()) << trend->term().toStdString();

    components.stopServices();
    EXPECT_FALSE(client->isRunning());

    TADataManager::resetSharedManagerForTesting(QString());
    Keychain::setShared(nullptr);
    HostProfile::setCurrent(HostProfile::real());
    HttpRequest::setDefaultCaBundle(QString());
}

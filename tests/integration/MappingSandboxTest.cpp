// What a real Twitter account keeps after polling talvo-sandbox: one object per status
// and user, authors from the user store, flags that match where each status came from,
// and a second Home poll that adds nothing.
#include "foundation/HostProfile.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "http/HttpRequest.h"
#include "platform/fake/FakeAlerts.h"
#include "platform/fake/FakeKeychain.h"
#include "support/SandboxFixture.h"
#include "support/TestSupport.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterRequestTypes.h"
#include "twitter/TwitterRegistration.h"

#include <gtest/gtest.h>

namespace {

TEST(SandboxMapping, PolledStoreHoldsEachStatusOnceWithItsAuthorAndFlags)
{
    SandboxFixture sandbox;
    SandboxFixture::Options options;
    options.users = 6;
    ASSERT_TRUE(sandbox.start(options)) << sandbox.errorString().toStdString();
    registerTwitterRequestClasses();
    HostProfile::setCurrent(sandbox.profile());
    HttpRequest::setDefaultCaBundle(sandbox.caBundle());
    FakeKeychain keychain;
    FakeAlerts alerts;
    Keychain::setShared(&keychain);
    Alerts::setShared(&alerts);

    auto account = std::make_shared<RTServiceTwitter>();
    account->setServiceId(QStringLiteral("alice"));
    account->setServiceName(QStringLiteral("alice"));
    account->setServicePassword(QString::fromLatin1(SandboxFixture::kPassword));
    account->setShowListsNode(false);
    account->start();
    const bool started = waitUntil(
        [&] { return account->running() && account->startupPollSequence().isEmpty(); }, 20000);
    account->stop();
    ASSERT_TRUE(started);
    ASSERT_TRUE(account->myself());

    const auto messages = account->messagesDictionary();
    const auto users = account->usersDictionary();
    ASSERT_FALSE(messages.isEmpty());
    const QString me = account->myself()->userId();
    int privateCount = 0;
    for (auto it = messages.cbegin(); it != messages.cend(); ++it) {
        const RTMessageTwitterPtr &m = it.value();
        SCOPED_TRACE(it.key().toStdString());
        EXPECT_EQ(m->messageId(), it.key());
        EXPECT_EQ(m->service(), account.get());
        EXPECT_TRUE(m->createdAt().isValid());
        ASSERT_TRUE(m->user());
        EXPECT_EQ(m->user(), users.value(m->userId()));
        if (m->isPrivate()) {
            ++privateCount;
            EXPECT_TRUE(m->DMRecipient());
        }
        // Only what the account user wrote is sent, and it is read.
        if (m->isSent() && !m->isRetweet() && !m->isPrivate()) {
            EXPECT_EQ(m->userId(), me);
        }
        if (m->isSent()) {
            EXPECT_TRUE(m->isSeen());
        }
        EXPECT_TRUE(m->isHome() || m->isMention() || m->isPrivate() || m->isSent() ||
                    m->isRetweet());
    }
    EXPECT_GT(privateCount, 0);

    // The same page again brings the same objects and nothing new.
    bool homeDone = false;
    QObject::connect(account.get(), &RTServiceTwitter::requestFinished,
                     [&](const QVariantMap &result, bool success) {
                         homeDone = homeDone ||
                                    (success &&
                                     result.value(QString::fromLatin1(kRTRequestType)).toInt() ==
                                         RTTwitterRequestHomeTimeline);
                     });
    const auto before = account->messagesDictionary();
    account->getHomeTimelineMessagesSince(QString());
    ASSERT_TRUE(waitUntil([&] { return homeDone; }, 10000));
    const auto after = account->messagesDictionary();
    EXPECT_EQ(after.size(), before.size());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        EXPECT_EQ(after.value(it.key()), it.value());

    Alerts::setShared(nullptr);
    Keychain::setShared(nullptr);
    HttpRequest::setDefaultCaBundle(QString());
    HostProfile::setCurrent(HostProfile::real());
}

} // namespace

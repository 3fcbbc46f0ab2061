// The Twitter account's own calls against a real talvo-sandbox: the token exchange, the
// timelines, lists and search, and how it recovers from a rejected token and a server
// clock far from ours.
#include "foundation/HostProfile.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "http/HttpRequest.h"
#include "network/OAuthClock.h"
#include "platform/fake/FakeAlerts.h"
#include "platform/fake/FakeKeychain.h"
#include "support/SandboxSuite.h"
#include "support/TestSupport.h"
#include "twitter/RTListTwitter.h"
#include "twitter/RTSearchTwitter.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/TwitterRegistration.h"

#include <gtest/gtest.h>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// Waits a thousandth of the real delays, so retries happen within the test.
class QuickTwitter : public RTServiceTwitter
{
protected:
    void performAfterDelay(double seconds, std::function<void()> action) override
    {
        RTServiceTwitter::performAfterDelay(seconds / 1000.0, std::move(action));
    }
};

class ClientSandboxTest : public SandboxSuite
{
protected:
    static void SetUpTestSuite() { startSandbox(6); }

    void SetUp() override
    {
        ASSERT_TRUE(useSandbox()) << sandbox->errorString().toStdString();
        registerTwitterRequestClasses();
        Keychain::setShared(&keychain);
        Alerts::setShared(&alerts);
        account = std::make_shared<QuickTwitter>();
        account->setServiceId(QStringLiteral("alice"));
        account->setServicePassword(QString::fromLatin1(SandboxFixture::kPassword));
        QObject::connect(account.get(), &RTServiceTwitter::requestFinished,
                         [this](const QVariantMap &result, bool success) {
                             answers.append({result, success});
                         });
    }
    void TearDown() override
    {
        // Requests still queued hold the account; their answers must not reach this
        // fixture once it is gone.
        if (account) {
            account->stop();
            QObject::disconnect(account.get(), nullptr, nullptr, nullptr);
            account->setIsDeleted(true);
        }
        waitUntil([] {
            return OperationQueue::forType(OperationQueue::ServiceRequests).operationCount() == 0 &&
                   OperationQueue::forType(OperationQueue::ImmediateRequests).operationCount() == 0;
        });
        account.reset();
        leaveSandbox();
        Alerts::setShared(nullptr);
        Keychain::setShared(nullptr);
    }

    struct Answer
    {
        QVariantMap result;
        bool success = false;
    };

    // The next answer of the type, waiting for it.
    std::optional<Answer> answerOf(qint32 type, int timeoutMs = 10000)
    {
        std::optional<Answer> found;
        waitUntil(
            [&] {
                for (qsizetype i = 0; i < answers.size(); ++i) {
                    if (answers.at(i).result.value(key(kRTRequestType)).toInt() == type) {
                        found = answers.takeAt(i);
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
        return found;
    }

    bool logIn()
    {
        // A running account does not start its own polls when the token arrives; these
        // tests send every request by hand.
        account->setRunning(true);
        account->requestOAuthTokenWithDelegate(nullptr);
        const auto answer = answerOf(RTTwitterRequestAccessToken);
        return answer && answer->success && !account->oauthToken().isEmpty() &&
               account->verifiedCredentials();
    }

    static QList<RTMessageTwitterPtr> messagesOf(const Answer &answer)
    {
        const auto operation = std::dynamic_pointer_cast<RTRequestOperationTwitter>(
            answer.result.value(key(kRTRequestOperationKey)).value<RTRequestOperationPtr>());
        return operation ? operation->allMessages() : QList<RTMessageTwitterPtr>();
    }

    FakeKeychain keychain;
    FakeAlerts alerts;
    std::shared_ptr<QuickTwitter> account;
    QList<Answer> answers;
};

TEST_F(ClientSandboxTest, LogsInAndPollsTimelinesListsAndSearch)
{
    ASSERT_TRUE(logIn());
    EXPECT_EQ(account->authFailureCount(), 0);

    struct Row
    {
        qint32 type;
        std::function<void()> call;
        quint32 flag; // every message of the answer has it
    };
    auto list = std::make_shared<RTListTwitter>(QStringLiteral("1129440"));
    auto owner = RTUserTwitter::create(QStringLiteral("0"));
    owner->setScreenName(QStringLiteral("alice"));
    list->setUser(owner);
    auto search = std::make_shared<RTSearchTwitter>();
    search->setSearchQuery(QStringLiteral("game"));
    const QList<Row> rows = {
        {RTTwitterRequestHomeTimeline,
         [&] { account->pollTimelineSince(QString(), {}, RTTwitterRequestHomeTimeline, {}); },
         RTTemporaryFlag::IsHome},
        {RTTwitterRequestMentions,
         [&] { account->pollTimelineSince(QString(), {}, RTTwitterRequestMentions, {}); },
         RTTemporaryFlag::IsMention},
        {RTTwitterRequestDirectInbox,
         [&] { account->pollTimelineSince(QString(), {}, RTTwitterRequestDirectInbox, {}); },
         RTTemporaryFlag::IsPrivate},
        {RTTwitterRequestListStatuses, [&] { account->pollList(list); }, RTTemporaryFlag::IsListed},
        {RTTwitterRequestSearch,
         [&] {
             account->pollTimelineSince(QString(), {}, RTTwitterRequestSearch,
                                        {{"searchObject", QVariant::fromValue(search)}});
         },
         RTTemporaryFlag::IsSearch},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.type);
        row.call();
        const auto answer = answerOf(row.type);
        ASSERT_TRUE(answer);
        ASSERT_TRUE(answer->success)
            << answer->result.value(key(kRTOperationFailureMessageKey)).toString().toStdString();
        const QList<RTMessageTwitterPtr> messages = messagesOf(*answer);
        ASSERT_FALSE(messages.isEmpty());
        for (const RTMessageTwitterPtr &message : messages) {
            EXPECT_TRUE(message->temporaryFlags() & row.flag) << message->messageId().toStdString();
            EXPECT_EQ(account->messagesDictionary().value(message->messageId()), message);
        }
        EXPECT_FALSE(answer->result.value("rateLimitRemaining").toString().isEmpty() &&
                     row.type != RTTwitterRequestSearch);
    }
    EXPECT_FALSE(list->isPolling());
    EXPECT_FALSE(list->messagesSet().isEmpty());
    EXPECT_FALSE(search->messagesSet().isEmpty());

    // A "#" in the query reaches the server inside the query, not as a fragment.
    search->setSearchQuery(QStringLiteral("#sandbox"));
    account->pollTimelineSince(QString(), {}, RTTwitterRequestSearch,
                               {{"searchObject", QVariant::fromValue(search)}});
    const auto tagged = answerOf(RTTwitterRequestSearch);
    ASSERT_TRUE(tagged && tagged->success);
    const QList<RTMessageTwitterPtr> found = messagesOf(*tagged);
    ASSERT_FALSE(found.isEmpty());
    for (const RTMessageTwitterPtr &message : found)
        EXPECT_TRUE(message->body().contains(QStringLiteral("#sandbox"), Qt::CaseInsensitive))
            << message->body().toStdString();
}

TEST_F(ClientSandboxTest, ARejectedTokenLeadsToANewOne)
{
    ASSERT_TRUE(logIn());
    const qsizetype tokensBefore = sandbox->log().count(QStringLiteral("/oauth/access_token")) - 1;
    ASSERT_TRUE(sandbox->writeFaults("path /1/statuses/home_timeline* status=401\n"));
    account->pollTimelineSince(QString(), {}, RTTwitterRequestHomeTimeline, {});
    const auto failed = answerOf(RTTwitterRequestHomeTimeline);
    ASSERT_TRUE(failed);
    EXPECT_FALSE(failed->success);
    EXPECT_EQ(failed->result.value(key(kRTOperationFailureMessageKey)).toString(),
              QStringLiteral("Could not Authenticate with Twitter"));
    EXPECT_FALSE(account->verifiedCredentials());
    ASSERT_TRUE(sandbox->writeFaults(QByteArray()));

    // Two seconds later (here scaled down) a new exchange runs and verifies the account.
    const auto token = answerOf(RTTwitterRequestAccessToken);
    ASSERT_TRUE(token);
    EXPECT_TRUE(token->success);
    EXPECT_TRUE(account->verifiedCredentials());
    EXPECT_FALSE(account->oauthToken().isEmpty());
    EXPECT_EQ(sandbox->log().count(QStringLiteral("/oauth/access_token")), tokensBefore + 2);

    account->pollTimelineSince(QString(), {}, RTTwitterRequestHomeTimeline, {});
    const auto again = answerOf(RTTwitterRequestHomeTimeline);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->success);
}

TEST_F(ClientSandboxTest, AServerClockFarAheadIsReportedAndCorrected)
{
    ASSERT_TRUE(logIn());
    ASSERT_TRUE(sandbox->writeFaults("clock_skew = 900\n"));
    account->pollTimelineSince(QString(), {}, RTTwitterRequestMentions, {});
    const auto skewed = answerOf(RTTwitterRequestMentions);
    ASSERT_TRUE(skewed);
    EXPECT_FALSE(skewed->success);
    EXPECT_EQ(skewed->result.value(key(kRTOperationFailureMessageKey)).toString(),
              QStringLiteral("Wrong System Time"));
    EXPECT_NEAR(OAuthClock::timestampOffset(), 900, 5);

    // The 401 also asks for a new token; that exchange and the next poll sign with the
    // corrected time and go through.
    const auto token = answerOf(RTTwitterRequestAccessToken);
    ASSERT_TRUE(token);
    EXPECT_TRUE(token->success);
    account->pollTimelineSince(QString(), {}, RTTwitterRequestMentions, {});
    const auto corrected = answerOf(RTTwitterRequestMentions);
    ASSERT_TRUE(corrected);
    EXPECT_TRUE(corrected->success)
        << corrected->result.value(key(kRTOperationFailureMessageKey)).toString().toStdString();
}

TEST_F(ClientSandboxTest, AWrongPasswordFailsAndIsRetriedOnlyAFewTimes)
{
    account->setServicePassword(QStringLiteral("wrong"));
    account->requestOAuthTokenWithDelegate(nullptr);
    const auto failed = answerOf(RTTwitterRequestAccessToken);
    ASSERT_TRUE(failed);
    EXPECT_FALSE(failed->success);
    EXPECT_EQ(failed->result.value(key(kRTOperationFailureMessageKey)).toString(),
              QStringLiteral("Could not Authenticate with Twitter"));
    // Retries a (scaled) minute apart: three more, then the count stops them.
    int failures = 1;
    while (answerOf(RTTwitterRequestAccessToken, 500))
        ++failures;
    EXPECT_EQ(failures, 4);
    EXPECT_EQ(account->authFailureCount(), 4);
    EXPECT_FALSE(account->running());
}

} // namespace

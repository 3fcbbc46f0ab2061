#include "twitter/RTServiceTwitter.h"

#include "foundation/Clock.h"
#include "foundation/RTGlobalVariables.h"
#include "platform/fake/FakeAlerts.h"
#include "platform/fake/FakeKeychain.h"
#include "twitter/RTListTwitter.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// An account whose requests and delayed actions are recorded instead of run.
class RecordingTwitter : public RTServiceTwitter
{
public:
    struct Request
    {
        qint32 type = 0;
        RTRequestDelegatePtr delegate;
        QVariantMap form;
        QVariantMap userInfo;
        int queue = -1;
    };
    struct Delayed
    {
        double seconds = 0;
        std::function<void()> action;
    };

    QList<Request> requests;
    QList<Delayed> delayed;

    // Runs the delayed actions due within seconds, in order, as the timers would.
    void runDelayed(double seconds)
    {
        const QList<Delayed> due = delayed;
        delayed.clear();
        for (const Delayed &d : due) {
            if (d.seconds <= seconds)
                d.action();
            else
                delayed.append(d);
        }
    }
    [[nodiscard]] QList<qint32> types() const
    {
        QList<qint32> out;
        for (const Request &r : requests)
            out.append(r.type);
        return out;
    }

protected:
    RTRequestOperationPtr queueRequest(qint32 requestType, RTRequestDelegatePtr delegate,
                                       const QVariantMap &parameters, const QVariantMap &userInfo,
                                       int operationType) override
    {
        requests.append({requestType, std::move(delegate), parameters, userInfo, operationType});
        return nullptr;
    }
    void performAfterDelay(double seconds, std::function<void()> action) override
    {
        delayed.append({seconds, std::move(action)});
    }
};

class TwitterAccountRequestsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Keychain::setShared(&keychain);
        Alerts::setShared(&alerts);
        account = std::make_shared<RecordingTwitter>();
        account->setServiceId(QStringLiteral("alice"));
        auto me = RTUserTwitter::create(QStringLiteral("7"));
        me->setScreenName(QStringLiteral("alice"));
        account->setMyself(me);
        bob = RTUserTwitter::create(QStringLiteral("9"));
        bob->setScreenName(QStringLiteral("bob"));
    }
    void TearDown() override
    {
        Alerts::setShared(nullptr);
        Keychain::setShared(nullptr);
    }

    QVariantMap failure(qint32 type, int status, const QVariantMap &userInfo = {}) const
    {
        return {{key(kRTRequestType), type},
                {key(kRTResponseStatusCodeKey), status},
                {key(kRTUserInfoKey), userInfo},
                {key(kRTOperationFailureMessageKey), QStringLiteral("x")}};
    }

    FakeKeychain keychain;
    FakeAlerts alerts;
    std::shared_ptr<RecordingTwitter> account;
    RTUserTwitterPtr bob;
};

class Receiver : public RTRequestDelegate
{
};

TEST_F(TwitterAccountRequestsTest, OperationsQueueTheirRequestsAsTabled)
{
    const auto receiver = std::make_shared<Receiver>();
    const auto message = RTMessageTwitter::create(QStringLiteral("100"));
    const auto dm = RTMessageTwitter::create(QStringLiteral("101"));
    dm->setIsPrivate(true);
    const int low = Operation::QueuePriorityLow;
    const int high = Operation::QueuePriorityHigh;
    const int veryHigh = Operation::QueuePriorityVeryHigh;
    const QString pk = key(kRTQueuePriorityKey);

    struct Row
    {
        std::function<void()> call;
        qint32 type;
        QVariantMap form;
        QStringList userInfoKeys; // besides the priority
        std::optional<int> priority;
        int queue;
        bool givenDelegate;
    };
    const QList<Row> rows = {
        {[&] {
             account->pollTimelineSince("5", 3, RTTwitterRequestMentions, {{"x", 1}});
         },
         3,
         {},
         {"x", key(kRTSinceKey), key(kRTPollingObjectKey)},
         low,
         3,
         false},
        {[&] { account->getHomeTimelineMessagesSince("6"); },
         55,
         {},
         {key(kRTSinceKey)},
         low,
         3,
         false},
        {[&] { account->getRetweetsToMeSince("6"); }, 51, {}, {key(kRTSinceKey)}, low, 0, false},
        {[&] { account->getRetweetsByMeSince("6"); }, 50, {}, {key(kRTSinceKey)}, low, 0, false},
        {[&] { account->getUserLists(); }, 40, {}, {}, std::nullopt, 0, false},
        {[&] { account->getSubscribedLists(); }, 41, {}, {}, std::nullopt, 0, false},
        {[&] { account->sendStatus("hi", "33"); },
         6,
         {{"status", "hi"}, {"in_reply_to_status_id", "33"}},
         {},
         veryHigh,
         3,
         false},
        // The form stops at the first absent value.
        {[&] { account->sendStatus("hi", QString()); },
         6,
         {{"status", "hi"}},
         {},
         veryHigh,
         3,
         false},
        {[&] { account->sendDirectMessageWithText("yo", "bob"); },
         13,
         {{"text", "yo"}, {"screen_name", "bob"}},
         {},
         veryHigh,
         3,
         false},
        {[&] { account->deleteMessage(message); }, 7, {}, {"message"}, high, 3, false},
        {[&] { account->deleteMessage(dm); }, 14, {}, {"message"}, high, 3, false},
        {[&] { account->retweetWithMessage(message); }, 49, {}, {"message"}, high, 3, false},
        {[&] { account->favoriteCreateWithMessage(message); },
         9,
         {},
         {"messageId"},
         std::nullopt,
         3,
         false},
        {[&] { account->favoriteDestroyWithMessage(message); },
         10,
         {},
         {"messageId"},
         std::nullopt,
         3,
         false},
        {[&] { account->createFriendshipWithUser(bob); },
         15,
         {{"id", "7"}, {"user_id", "9"}, {"screen_name", "bob"}, {"follow", "false"}},
         {},
         std::nullopt,
         3,
         false},
        {[&] { account->createFriendshipWithScreenName("bob", receiver); },
         15,
         {{"screen_name", "bob"}, {"follow", "false"}},
         {},
         std::nullopt,
         3,
         true},
        {[&] { account->destroyFriendshipWithUser(bob); },
         16,
         {{"id", "7"}, {"user_id", "9"}, {"screen_name", "bob"}},
         {},
         std::nullopt,
         3,
         false},
        {[&] { account->verifyFriendshipWithUser(bob, receiver); },
         19,
         {},
         {"user_data"},
         low,
         3,
         true},
        {[&] { account->verifyFriendshipWithScreenName("bob", receiver); },
         19,
         {},
         {"screenName"},
         low,
         3,
         true},
        {[&] { account->getFriendshipInfoWithUser(bob, receiver, 4); },
         22,
         {},
         {"user_data", "extra_data"},
         low,
         3,
         true},
        {[&] { account->updateUser(bob); },
         23,
         {},
         {"user", "screenName", "userId"},
         std::nullopt,
         0,
         false},
        {[&] { account->updateMyUserWithDelegate(receiver); },
         24,
         {},
         {"screenName"},
         std::nullopt,
         0,
         true},
        {[&] { account->blockUser(bob); }, 29, {{"screen_name", "bob"}}, {"user"}, high, 3, false},
        {[&] { account->reportSpam(bob); },
         34,
         {{"screen_name", "bob"}},
         {"user"},
         veryHigh,
         3,
         false},
        {[&] { account->savedSearchesCreateWithObject({}, "tea", {}); },
         38,
         {{"query", "tea"}},
         {"searchObject", "existingMessages"},
         veryHigh,
         3,
         false},
        {[&] { account->savedSearchesDestroyWithObject("31"); },
         39,
         {},
         {"searchId"},
         veryHigh,
         3,
         false},
        {[&] { account->updateProfileImageWithImage(QByteArray(100, 'j'), receiver, nullptr); },
         25,
         {{"image", QByteArray(100, 'j')}},
         {},
         std::nullopt,
         3,
         true},
        {[&] { account->requestOAuthTokenWithDelegate(receiver); },
         56,
         {{"x_auth_username", "alice"}, {"x_auth_password", ""}, {"x_auth_mode", "client_auth"}},
         {key(kRTBypassCredentialsCheckKey)},
         veryHigh,
         0,
         true},
    };
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const Row &row = rows.at(i);
        SCOPED_TRACE(testing::Message() << "row " << i << " type " << row.type);
        account->requests.clear();
        row.call();
        ASSERT_EQ(account->requests.size(), 1);
        const RecordingTwitter::Request &r = account->requests.first();
        EXPECT_EQ(r.type, row.type);
        EXPECT_EQ(r.form, row.form);
        QVariantMap info = r.userInfo;
        if (row.priority)
            EXPECT_EQ(info.take(pk), QVariant(*row.priority));
        else
            EXPECT_FALSE(info.contains(pk));
        QStringList keys = info.keys();
        QStringList expected = row.userInfoKeys;
        keys.sort();
        expected.sort();
        EXPECT_EQ(keys, expected);
        EXPECT_EQ(r.queue, row.queue);
        EXPECT_EQ(r.delegate == receiver, row.givenDelegate);
    }
}

TEST_F(TwitterAccountRequestsTest, QueueingCopiesTheSinceValueAndKeepsTheQueue)
{
    RTRequestOperationTwitter operation;
    OperationQueue &queue = OperationQueue::forType(OperationQueue::ImmediateRequests);
    EXPECT_EQ(account->willAddOperation(operation, &queue, {{key(kRTSinceKey), "44"}}), &queue);
    EXPECT_EQ(operation.since(), QStringLiteral("44"));
    account->willAddOperation(operation, &queue, {});
    EXPECT_EQ(operation.since(), QStringLiteral("44"));
    // The worker reads the account user's name from the operation, not the account.
    EXPECT_EQ(operation.accountScreenName(), QStringLiteral("alice"));
}

TEST_F(TwitterAccountRequestsTest, OlderPagesListsAndStoredMessagesAreAskedForOnce)
{
    // Older tweets: nothing without a max id, then once per type until the answer.
    account->pollForOlderTweetsOfRequestType(55, QString(), nullptr);
    EXPECT_TRUE(account->requests.isEmpty());
    account->pollForOlderTweetsOfRequestType(55, QStringLiteral("80"), nullptr);
    account->pollForOlderTweetsOfRequestType(55, QStringLiteral("70"), nullptr);
    account->pollForOlderTweetsOfRequestType(3, QStringLiteral("70"), nullptr);
    ASSERT_EQ(account->types(), (QList<qint32>{55, 3}));
    const QVariantMap older = account->requests.first().userInfo;
    EXPECT_EQ(older.value("max_id"), QVariant("80"));
    EXPECT_EQ(older.value("count"), QVariant(50));
    EXPECT_EQ(older.value("pollForOlderTweets"), QVariant("REQ:55"));
    account->serviceRequestSuccess({{key(kRTRequestType), 55}, {key(kRTUserInfoKey), older}});
    EXPECT_FALSE(account->olderTweetPollControl().contains("REQ:55"));
    EXPECT_TRUE(account->olderTweetPollControl().contains("REQ:3"));
    account->pollForOlderTweetsOfRequestType(55, QStringLiteral("60"), nullptr);
    EXPECT_EQ(account->requests.size(), 3);

    // Lists: one poll at a time; the answer, good or bad, frees the list again.
    account->requests.clear();
    auto list = std::make_shared<RTListTwitter>(QStringLiteral("42"));
    account->pollList(list);
    account->pollList(list, QVariant(5), {});
    account->pollList(list, QStringLiteral("9"), nullptr);
    ASSERT_EQ(account->requests.size(), 1);
    EXPECT_TRUE(list->isPolling());
    account->serviceRequestFailure(failure(46, 500, account->requests.first().userInfo));
    EXPECT_FALSE(list->isPolling());
    account->pollList(list, QStringLiteral("9"), nullptr);
    ASSERT_EQ(account->requests.size(), 2);
    EXPECT_EQ(account->requests.last().userInfo.value("pollForOlderTweets"), QVariant(true));

    // A complete stored message comes back at once; anything else is fetched.
    account->requests.clear();
    auto stored = RTMessageTwitter::create(QStringLiteral("300"));
    stored->setTemporaryFlag(RTTemporaryFlag::IsFullyDownloaded);
    auto partial = RTMessageTwitter::create(QStringLiteral("301"));
    account->setMessagesDictionary({{"300", stored}, {"301", partial}});
    EXPECT_EQ(account->messageWithId(QStringLiteral("300"), {}, nullptr), stored);
    EXPECT_EQ(account->messageWithId(QStringLiteral("301"), {{"k", 1}}, nullptr), nullptr);
    EXPECT_EQ(account->messageWithId(QStringLiteral("302"), {}, nullptr), nullptr);
    ASSERT_EQ(account->types(), (QList<qint32>{5, 5}));
    EXPECT_EQ(account->requests.first().userInfo.value("messageId"), QVariant("301"));
    EXPECT_EQ(account->requests.first().userInfo.value("k"), QVariant(1));
}

TEST_F(TwitterAccountRequestsTest, ProfilePicturesOverTheLimitAreRefusedWithAnAlert)
{
    EXPECT_FALSE(account->updateProfileImageWithImage(
        QByteArray(RTServiceTwitter::kMaxProfileImageBytes + 1, 'j'), nullptr, nullptr));
    EXPECT_TRUE(account->requests.isEmpty());
    ASSERT_EQ(alerts.informations.size(), 1);
    EXPECT_EQ(alerts.informations.first().message, QStringLiteral("File Uploaded is Too Large"));
    EXPECT_EQ(alerts.informations.first().button, QStringLiteral("OK"));

    account->updateProfileImageWithImage(QByteArray(RTServiceTwitter::kMaxProfileImageBytes, 'j'),
                                         nullptr, nullptr);
    EXPECT_EQ(account->types(), (QList<qint32>{25}));
}

TEST_F(TwitterAccountRequestsTest, FailedTokenExchangesAreRetried)
{
    // A stopped account gives up after three retries.
    for (int i = 0; i < 5; ++i) {
        account->serviceRequestFailure(failure(56, 401));
        account->runDelayed(60);
    }
    EXPECT_EQ(account->authFailureCount(), 5);
    EXPECT_EQ(account->types(), (QList<qint32>{56, 56, 56}));
    EXPECT_TRUE(account->delayed.isEmpty());
    // A refused password is the user's to mend: the window offers a log-in again.
    EXPECT_TRUE(account->needsLogIn());

    // A running one keeps trying, a minute apart, and counts nothing; a service that is
    // down has not refused the password.
    account->requests.clear();
    account->setAuthFailureCount(0);
    account->setNeedsLogIn(false);
    account->setRunning(true);
    for (int i = 0; i < 5; ++i) {
        account->serviceRequestFailure(failure(56, 503));
        ASSERT_EQ(account->delayed.size(), 1);
        EXPECT_EQ(account->delayed.first().seconds, 60.0);
        account->runDelayed(60);
    }
    EXPECT_EQ(account->requests.size(), 5);
    EXPECT_EQ(account->authFailureCount(), 0);
    EXPECT_FALSE(account->needsLogIn());
}

TEST_F(TwitterAccountRequestsTest, AuthenticationFailuresAskForANewToken)
{
    QSignalSpy finished(account.get(), &RTServiceTwitter::requestFinished);
    account->setAuthFailureCount(2);
    account->serviceRequestFailure(failure(55, 401));
    EXPECT_FALSE(account->verifiedCredentials());
    EXPECT_EQ(account->authFailureCount(), 0);
    ASSERT_EQ(account->delayed.size(), 2);
    EXPECT_TRUE(account->requests.isEmpty());

    account->runDelayed(2);
    EXPECT_EQ(account->types(), (QList<qint32>{56}));
    EXPECT_FALSE(account->verifiedCredentials());
    account->runDelayed(240);
    EXPECT_TRUE(account->verifiedCredentials());

    // A token that arrives verifies and starts the account.
    account->serviceRequestSuccess({{key(kRTRequestType), 56}});
    EXPECT_TRUE(account->verifiedCredentials());

    ASSERT_EQ(finished.size(), 2);
    EXPECT_FALSE(finished.at(0).at(1).toBool());
    EXPECT_TRUE(finished.at(1).at(1).toBool());
}

TEST_F(TwitterAccountRequestsTest, MissingListsResynchroniseAndDeletedAccountsIgnoreAnswers)
{
    FakeClock clock;
    Clock::setShared(&clock);
    QSignalSpy finished(account.get(), &RTServiceTwitter::requestFinished);
    // A missing list refetches the lists, at most once per interval; a missing list of
    // lists does not, or the two would call each other without end.
    const struct
    {
        qint32 type;
        qint64 afterSeconds;
        QList<qint32> sent;
    } steps[] = {
        {46, 0, {40, 41}},
        {46, 10, {}},
        {40, 10, {}},
        {41, 10, {}},
        {46, qint64(RTServiceTwitter::kListsResyncInterval), {40, 41}},
    };
    for (const auto &step : steps) {
        account->requests.clear();
        clock.advance(step.afterSeconds * 1000);
        account->serviceRequestFailure(failure(step.type, 404));
        EXPECT_EQ(account->types(), step.sent) << step.type << " after " << step.afterSeconds;
    }
    Clock::setShared(nullptr);
    // Other failures leave the lists and the credentials alone.
    account->requests.clear();
    account->serviceRequestFailure(failure(55, 404));
    account->serviceRequestFailure(failure(46, 500));
    EXPECT_TRUE(account->requests.isEmpty());
    EXPECT_TRUE(account->delayed.isEmpty());
    EXPECT_TRUE(account->verifiedCredentials());
    EXPECT_EQ(finished.size(), 7);

    account->setIsDeleted(true);
    account->serviceRequestFailure(failure(55, 401));
    account->serviceRequestSuccess({{key(kRTRequestType), 56}});
    EXPECT_TRUE(account->verifiedCredentials());
    EXPECT_TRUE(account->delayed.isEmpty());
    EXPECT_EQ(finished.size(), 7);
}

} // namespace

#include "twitter/RTServiceTwitter.h"

#include "foundation/Clock.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "platform/fake/FakeAlerts.h"
#include "platform/fake/FakeKeychain.h"
#include "twitter/RTTwitterRequestTypes.h"

#include <gtest/gtest.h>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// An account whose requests and delayed actions are recorded instead of run.
class PollingTwitter : public RTServiceTwitter
{
public:
    struct Request
    {
        qint32 type = 0;
        QVariantMap userInfo;
    };
    QList<Request> requests;
    QList<std::pair<double, std::function<void()>>> delayed;

    [[nodiscard]] QList<qint32> types() const
    {
        QList<qint32> out;
        for (const Request &r : requests)
            out.append(r.type);
        return out;
    }
    // The answer to a recorded request, as the request framework delivers it.
    void answer(const Request &request, bool success, const QVariantMap &extra = {})
    {
        QVariantMap result = extra;
        result.insert(key(kRTRequestType), request.type);
        result.insert(key(kRTUserInfoKey), request.userInfo);
        if (success) {
            serviceRequestSuccess(result);
        } else {
            result.insert(key(kRTResponseStatusCodeKey), 500);
            result.insert(key(kRTOperationFailureMessageKey),
                          QStringLiteral("Twitter Fail Whale (500)"));
            serviceRequestFailure(result);
        }
    }
    void runDelayed()
    {
        const auto due = std::exchange(delayed, {});
        for (const auto &[seconds, action] : due)
            action();
    }

protected:
    RTRequestOperationPtr queueRequest(qint32 requestType, RTRequestDelegatePtr,
                                       const QVariantMap &, const QVariantMap &userInfo,
                                       int) override
    {
        requests.append({requestType, userInfo});
        return nullptr;
    }
    void performAfterDelay(double seconds, std::function<void()> action) override
    {
        delayed.append({seconds, std::move(action)});
    }
};

RTListTwitterPtr makeList(const QString &id, bool mine, bool isPrivate, bool justArrived = false)
{
    auto list = std::make_shared<RTListTwitter>(id);
    list->setFullName(QStringLiteral("@alice/") + id);
    list->setIsMine(mine);
    list->setIsPrivate(isPrivate);
    list->setJustArrived(justArrived);
    return list;
}

RTSearchTwitterPtr makeSearch(const QString &name)
{
    auto search = RTSearchTwitter::searchWithTerm(name);
    search->setSearchId(name);
    return search;
}

class TwitterPollingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Clock::setShared(&clock);
        Keychain::setShared(&keychain);
        Alerts::setShared(&alerts);
        SettingsStore::shared().setBool(key(RTShowCombinedFavoritesKey), false);
        account = std::make_shared<PollingTwitter>();
        account->setServiceId(QStringLiteral("alice"));
        account->setServiceName(QStringLiteral("alice"));
    }
    void TearDown() override
    {
        Alerts::setShared(nullptr);
        Keychain::setShared(nullptr);
        Clock::setShared(nullptr);
    }

    void startWithTokens()
    {
        account->setOAuthTokenPair(QStringLiteral("token"), QStringLiteral("secret"));
        account->start();
    }

    FakeClock clock;
    FakeKeychain keychain;
    FakeAlerts alerts;
    std::shared_ptr<PollingTwitter> account;
};

TEST_F(TwitterPollingTest, PollingObjectsFollowTheTableAndTheNodeSettings)
{
    account->setShowListsNode(true);
    account->setShowRetweetsNode(false);
    account->setShowFavoritesNode(false);
    account->setShowSearchesNode(true);
    account->setupPollingObjects();
    EXPECT_TRUE(account->requests.isEmpty()) << "setting up polls nothing";

    const struct
    {
        qint32 type;
        double interval;
        bool active;
    } expected[] = {{55, 180, true},   {3, 180, true},   {51, 180, false}, {11, 180, true},
                    {12, 900, true},   {40, 900, true},  {41, 900, true},  {4, 900, true},
                    {50, 900, true},   {8, 900, false},  {36, 900, true},  {5001, 900, true},
                    {5002, 900, true}, {5003, 900, true}};
    const QList<RTPollingObjectPtr> objects = account->pollingObjects();
    ASSERT_EQ(objects.size(), int(std::size(expected)));
    for (int i = 0; i < objects.size(); ++i) {
        EXPECT_EQ(objects[i]->requestType(), expected[i].type) << i;
        EXPECT_EQ(objects[i]->currentTimeInterval(), expected[i].interval) << expected[i].type;
        EXPECT_EQ(objects[i]->isActive(), expected[i].active) << expected[i].type;
    }

    // Showing a node switches its poll on and polls it at once; hiding switches it off.
    account->setShowRetweetsNode(true);
    EXPECT_EQ(account->types(), QList<qint32>({51}));
    account->setShowListsNode(false);
    EXPECT_FALSE(account->pollingObjectForRequestType(40)->isActive());
    EXPECT_FALSE(account->pollingObjectForRequestType(41)->isActive());
    EXPECT_TRUE(account->pollingObjectForRequestType(5001)->isActive()) << "groups keep start";
    account->setShowSearchesNode(false);
    EXPECT_FALSE(account->pollingObjectForRequestType(36)->isActive());
    EXPECT_EQ(account->types(), QList<qint32>({51}));

    // Combined favourites keep the favourites poll on without the account's node.
    SettingsStore::shared().setBool(key(RTShowCombinedFavoritesKey), true);
    account->setupPollingObjects();
    EXPECT_TRUE(account->pollingObjectForRequestType(8)->isActive());
    EXPECT_FALSE(account->pollingObjectForRequestType(40)->isActive()) << "lists follow the node";
    EXPECT_EQ(account->pollingObjects().size(), 14) << "rebuilt, not appended";
}

TEST_F(TwitterPollingTest, StartupSequencePollsInOrderSkipsInactiveAndAdvancesOnFailures)
{
    account->setListsArray({makeList("own", true, false), makeList("theirs", false, false),
                            makeList("secret", true, true)});
    startWithTokens();
    ASSERT_TRUE(account->running());
    // Own user and the first poll at once; the timer only after 20 s.
    EXPECT_EQ(account->types(), QList<qint32>({24, 55}));
    EXPECT_FALSE(account->timelinesPollingTimerIsActive());

    // Answer each request as it comes, failing every other one: a failed poll must move
    // the sequence on like a successful one.
    int answered = 0;
    for (int i = 0; i < account->requests.size() && i < 40; ++i)
        account->answer(account->requests[i], (answered++ % 2) == 0);
    const QList<qint32> expected{24, 55, 3, 11, 12, 40, 41, 4, 50, 36, 46, 46, 46};
    EXPECT_EQ(account->types(), expected) << "no 51 and no 8: their nodes are hidden";
    EXPECT_TRUE(account->startupPollSequence().isEmpty());
    EXPECT_TRUE(account->timelinesPollingTimerIsActive()) << "finished sequence arms the timer";

    // The 20-second arming of a stopped account does nothing.
    account->stop();
    EXPECT_FALSE(account->timelinesPollingTimerIsActive());
    account->runDelayed();
    EXPECT_FALSE(account->timelinesPollingTimerIsActive());
}

TEST_F(TwitterPollingTest, ServiceTimerPollsWhatIsDue)
{
    startWithTokens();
    account->runDelayed();
    EXPECT_TRUE(account->timelinesPollingTimerIsActive());
    account->requests.clear();
    account->pollTimelines(); // Home was polled just now; everything else never
    QList<qint32> first = account->types();
    EXPECT_FALSE(first.contains(55));
    EXPECT_TRUE(first.contains(3));
    EXPECT_FALSE(first.contains(8)) << "inactive";

    account->requests.clear();
    clock.advance(179'000);
    account->pollTimelines();
    EXPECT_TRUE(account->requests.isEmpty());
    clock.advance(30'000);
    account->pollTimelines();
    EXPECT_EQ(account->types(), QList<qint32>({55, 3, 11}));
}

TEST_F(TwitterPollingTest, RateLimitRowsSetTheBusyIntervals)
{
    account->setupPollingObjects();
    const qint32 types[] = {55, 3, 11, 51, 5001, 5003, 5002};
    const struct
    {
        qint64 limit;
        int lists;
        double seconds[7];
    } rows[] = {
        {1000, 0, {30, 30, 30, 180, 240, 240, 300}},
        {286, 0, {30, 30, 30, 180, 240, 240, 300}},
        {285, 0, {60, 60, 60, 180, 240, 240, 300}},
        {166, 0, {60, 60, 60, 180, 240, 240, 300}},
        {165, 0, {120, 120, 120, 300, 240, 240, 360}},
        {150, 0, {120, 120, 120, 300, 240, 240, 360}},
        {150, 10, {120, 120, 120, 300, 240, 240, 480}},
        {150, 15, {120, 120, 120, 300, 240, 240, 600}},
        {130, 0, {180, 180, 180, 300, 240, 240, 360}},
        {101, 0, {180, 180, 180, 300, 240, 240, 360}},
        {100, 0, {240, 180, 180, 600, 300, 300, 600}},
        {71, 0, {240, 180, 180, 600, 300, 300, 600}},
        {70, 0, {300, 300, 300, 900, 480, 480, 720}},
        {41, 8, {300, 300, 300, 900, 480, 480, 840}},
        {40, 0, {720, 600, 600, 900, 600, 600, 900}},
        {10, 0, {720, 600, 600, 900, 600, 600, 900}},
        {0, 0, {720, 600, 600, 900, 600, 600, 900}},
    };
    for (const auto &row : rows) {
        QList<RTListTwitterPtr> lists;
        for (int i = 0; i < row.lists; ++i)
            lists.append(makeList(QString::number(i), false, false));
        account->setListsArray(lists);
        account->updateTimeIntervalsWithApiLimit(row.limit);
        for (int i = 0; i < 7; ++i) {
            const RTPollingObjectPtr object = account->pollingObjectForRequestType(types[i]);
            EXPECT_EQ(object->currentTimeInterval(), row.seconds[i])
                << "limit " << row.limit << " lists " << row.lists << " type " << types[i];
        }
    }
    EXPECT_EQ(account->pollingObjectForRequestType(55)->initialPollingTimeInterval(), 180.0);
    EXPECT_EQ(account->pollingObjectForRequestType(12)->currentTimeInterval(), 900.0);

    // The header of a successful answer adapts them; a failure's does not.
    account->setListsArray({});
    const PollingTwitter::Request answer{RTTwitterRequestHomeTimeline, {}};
    account->answer(answer, false, {{QStringLiteral("rateLimitRemaining"), QStringLiteral("150")}});
    EXPECT_EQ(account->pollingObjectForRequestType(55)->currentTimeInterval(), 720.0);
    account->answer(answer, true, {{QStringLiteral("rateLimitRemaining"), QStringLiteral("150")}});
    EXPECT_EQ(account->pollingObjectForRequestType(55)->currentTimeInterval(), 120.0);
    account->answer(answer, true, {{QStringLiteral("rateLimitRemaining"), QStringLiteral("")}});
    EXPECT_EQ(account->pollingObjectForRequestType(55)->currentTimeInterval(), 120.0);
}

TEST_F(TwitterPollingTest, ListGroupsPollTheirListsAndSkipJustArrivedOnce)
{
    const auto ownPublic = makeList("own", true, false);
    const auto ownPrivate = makeList("secret", true, true);
    const auto theirs = makeList("theirs", false, false);
    const auto theirsToo = makeList("theirs2", false, true, /*justArrived*/ true);
    account->setListsArray({ownPublic, ownPrivate, theirs, theirsToo});

    const auto polledLists = [&](qint32 group) {
        account->requests.clear();
        account->pollListSince(QString(), group);
        QList<RTListTwitterPtr> lists;
        for (const auto &request : account->requests) {
            EXPECT_EQ(request.type, RTTwitterRequestListStatuses);
            lists.append(request.userInfo.value("listObject").value<RTListTwitterPtr>());
        }
        for (const auto &list : account->listsArray())
            list->setIsPolling(false); // as the answer would
        return lists;
    };
    using Lists = QList<RTListTwitterPtr>;
    EXPECT_EQ(polledLists(5001), Lists({ownPublic}));
    EXPECT_EQ(polledLists(5003), Lists({ownPrivate}));
    EXPECT_EQ(polledLists(5002), Lists({theirs}));
    EXPECT_FALSE(theirsToo->justArrived());
    EXPECT_EQ(polledLists(5002), Lists({theirs, theirsToo}));
    EXPECT_EQ(polledLists(55), Lists());
}

TEST_F(TwitterPollingTest, RefreshRunsSearchesListsThenTimelinesOneAtATime)
{
    const auto list = makeList("own", true, false);
    account->setListsArray({list});
    account->setSavedSearchesArray({makeSearch("first"), makeSearch("second")});
    account->setupPollingObjects();

    account->refreshTimelines();
    account->refreshTimelines(); // a second press while the first runs does nothing
    ASSERT_EQ(account->requests.size(), 1);

    for (int i = 0; i < account->requests.size() && i < 40; ++i)
        account->answer(account->requests[i], i % 3 != 1);
    const QList<qint32> expected{35, 35, 46, 55, 3, 51, 11, 12, 40, 41, 4, 50, 8, 36};
    EXPECT_EQ(account->types(), expected);
    const auto searchName = [&](int i) {
        return account->requests[i]
            .userInfo.value("searchObject")
            .value<RTSearchTwitterPtr>()
            ->searchName();
    };
    EXPECT_EQ(searchName(0), QStringLiteral("second"));
    EXPECT_EQ(searchName(1), QStringLiteral("first"));
    for (const auto &request : account->requests)
        EXPECT_TRUE(request.userInfo.value(key(kRTBypassCredentialsCheckKey)).toBool())
            << request.type;
    EXPECT_TRUE(account->refreshPollSequence().isEmpty());

    // Answers of other requests do not move a refresh on: an unrelated one, nor a timer
    // poll of an object still waiting in the sequence.
    account->requests.clear();
    account->refreshTimelines();
    account->pollingObjectForRequestType(RTTwitterRequestSentTimeline)->poll();
    ASSERT_EQ(account->types(), QList<qint32>({35, 4}));
    account->answer(account->requests[1], true);
    account->answer({RTTwitterRequestMentions, {}}, true);
    EXPECT_EQ(account->refreshPollSequence().size(), 14);
    EXPECT_EQ(account->types(), QList<qint32>({35, 4}));
    account->answer(account->requests[0], true);
    for (int i = 0; i < 40 && !account->refreshPollSequence().isEmpty(); ++i)
        account->answer(account->requests.constLast(), true);
    QList<qint32> refreshed = account->types();
    refreshed.removeAt(1); // the timer poll
    EXPECT_EQ(refreshed, expected) << "none dropped, none twice";

    account->requests.clear();
    account->refreshLists();
    account->answer({RTTwitterRequestMentions, {}}, true);
    EXPECT_EQ(account->refreshPollSequence().size(), 1);
    list->setIsPolling(false);
    account->answer(account->requests.constFirst(), true);
    EXPECT_TRUE(account->refreshPollSequence().isEmpty());

    // A list still being fetched is passed over: it would never answer.
    account->requests.clear();
    list->setIsPolling(true);
    account->refreshLists();
    EXPECT_TRUE(account->requests.isEmpty());
    EXPECT_TRUE(account->refreshPollSequence().isEmpty());

    account->requests.clear();
    account->refreshSearches();
    EXPECT_EQ(account->types(), QList<qint32>({35}));
}

} // namespace

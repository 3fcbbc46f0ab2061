#include "twitter/RTServiceTwitter.h"

#include "accounts/RTServiceRegistry.h"
#include "foundation/Clock.h"
#include "foundation/KeyedArchive.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "model/ModelRegistration.h"
#include "model/RTMessageTwitter.h"
#include "platform/fake/FakeKeychain.h"
#include "twitter/RTListTwitter.h"
#include "twitter/RTSearchTwitter.h"
#include "twitter/RTSearcher.h"
#include "twitter/TwitterRegistration.h"

#include <QCborMap>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// An account whose requests are recorded instead of sent.
class RecordingAccount : public RTServiceTwitter
{
public:
    struct Request
    {
        qint32 type = 0;
        RTRequestDelegatePtr delegate;
        QVariantMap userInfo;
    };
    QList<Request> requests;

protected:
    RTRequestOperationPtr queueRequest(qint32 requestType, RTRequestDelegatePtr delegate,
                                       const QVariantMap &, const QVariantMap &userInfo,
                                       int) override
    {
        requests.append({requestType, std::move(delegate), userInfo});
        return nullptr;
    }
    void performAfterDelay(double, std::function<void()>) override {}
};

// Records what a node would be told.
class NodeRecorder : public RTRequestDelegate
{
public:
    void serviceRequestSuccess(const QVariantMap &) override { ++successes; }
    void serviceRequestFailure(const QVariantMap &) override { ++failures; }
    int successes = 0;
    int failures = 0;
};

RTListTwitterPtr list(const char *id, bool mine)
{
    auto l = std::make_shared<RTListTwitter>(QString::fromLatin1(id));
    l->setIsMine(mine);
    l->setFullName(QStringLiteral("@a/") + QString::fromLatin1(id));
    return l;
}

RTSearchTwitterPtr search(const char *id, const char *name = nullptr)
{
    auto s = std::make_shared<RTSearchTwitter>();
    s->setSearchId(QString::fromLatin1(id));
    s->setSearchName(QString::fromLatin1(name ? name : id));
    s->setSearchQuery(s->searchName());
    return s;
}

QStringList ids(const QList<RTListTwitterPtr> &lists)
{
    QStringList out;
    for (const auto &l : lists)
        out << l->listId();
    return out;
}

QStringList ids(const QList<RTSearchTwitterPtr> &searches)
{
    QStringList out;
    for (const auto &s : searches)
        out << s->searchId();
    return out;
}

class ListsAndSearchesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Keychain::setShared(&keychain);
        Clock::setShared(&clock);
        account = std::make_shared<RecordingAccount>();
        account->setServiceId(QStringLiteral("alice"));
    }
    void TearDown() override
    {
        Clock::setShared(nullptr);
        Keychain::setShared(nullptr);
    }
    QVariantMap answer(qint32 type, const QVariantMap &extra = {},
                       const QVariantMap &userInfo = {}) const
    {
        QVariantMap result = extra;
        result.insert(key(kRTRequestType), type);
        result.insert(key(kRTUserInfoKey), userInfo);
        return result;
    }

    FakeKeychain keychain;
    FakeClock clock;
    std::shared_ptr<RecordingAccount> account;
};

TEST_F(ListsAndSearchesTest, ListAnswersKeepEachKindAndPollNewListsOnce)
{
    QSignalSpy changed(account.get(), &RTServiceTwitter::listsArrayChanged);
    const auto a = list("1", true);
    const auto b = list("2", true);
    const auto c = list("3", false);
    const struct
    {
        qint32 type;
        QList<RTListTwitterPtr> lists;
        QStringList kept;
        QStringList polled;
    } steps[] = {
        {40, {a, b}, {"1", "2"}, {"1", "2"}},
        {41, {c}, {"1", "2", "3"}, {"3"}},
        // A known id keeps its object; a list gone from the own lists goes, subscribed stay.
        {40, {list("2", true)}, {"2", "3"}, {}},
        {41, {}, {"2"}, {}},
        {41, {c}, {"2", "3"}, {"3"}},
    };
    for (const auto &step : steps) {
        account->requests.clear();
        for (const auto &l : step.lists)
            l->setIsPolling(false);
        account->serviceRequestSuccess(
            answer(step.type, {{QStringLiteral("lists"), QVariant::fromValue(step.lists)}}));
        EXPECT_EQ(ids(account->listsArray()), step.kept) << step.type;
        QStringList polled;
        for (const auto &r : account->requests) {
            EXPECT_EQ(r.type, 46);
            polled << r.userInfo.value("listObject").value<RTListTwitterPtr>()->listId();
        }
        EXPECT_EQ(polled, step.polled) << step.type;
    }
    EXPECT_EQ(account->listsArray().first(), b);
    EXPECT_TRUE(b->justArrived());
    EXPECT_EQ(changed.size(), 5);

    // Lists not polled: kept, not fetched.
    account->requests.clear();
    account->setShouldPollTwitterLists(false);
    account->serviceRequestSuccess(
        answer(40, {{QStringLiteral("lists"), QVariant::fromValue(QList{list("9", true)})}}));
    EXPECT_TRUE(account->requests.isEmpty());
    EXPECT_EQ(ids(account->listsArray()), QStringList({"3", "9"}));
}

TEST_F(ListsAndSearchesTest, SavedSearchAnswersFollowTheServerAndSurviveTheArchive)
{
    const auto one = search("1", "tea");
    const auto two = search("2", "coffee");
    const struct
    {
        qint32 type;
        const char *key;
        QList<RTSearchTwitterPtr> searches;
        QStringList kept;
    } steps[] = {
        {36, "searches", {one, two}, {"1", "2"}},
        // Removed on the web site: gone at the next answer.
        {36, "searches", {search("2"), search("3")}, {"2", "3"}},
        {38, "search", {search("4")}, {"2", "3", "4"}},
        {39, "search", {search("3")}, {"2", "4"}},
        {37, "search", {search("2")}, {"2", "4"}},
    };
    for (const auto &step : steps) {
        const QVariant value = QString::fromLatin1(step.key) == QLatin1String("search")
                                   ? QVariant::fromValue(step.searches.first())
                                   : QVariant::fromValue(step.searches);
        account->serviceRequestSuccess(answer(step.type, {{key(step.key), value}}));
        EXPECT_EQ(ids(account->savedSearchesArray()), step.kept) << step.type;
    }
    EXPECT_EQ(account->savedSearchesArray().first(), two) << "known ids keep their object";
    EXPECT_EQ(two->service(), account.get());

    two->setSinceId(QStringLiteral("77"));
    registerTwitterArchiveClasses();
    const QCborValue archived = KeyedArchiver::archiveObject(account.get());
    std::unique_ptr<RTArchivable> restored =
        KeyedUnarchiver::unarchiveObject(archived, std::make_shared<QString>());
    auto *copy = dynamic_cast<RTServiceTwitter *>(restored.get());
    ASSERT_TRUE(copy);
    ASSERT_EQ(ids(copy->savedSearchesArray()), QStringList({"2", "4"}));
    EXPECT_EQ(copy->savedSearchesArray().first()->sinceId(), "77");
    EXPECT_EQ(copy->savedSearchesArray().first()->searchName(), "coffee");
    EXPECT_EQ(copy->savedSearchesArray().first()->service(), copy);
}

TEST_F(ListsAndSearchesTest, ListPagesReachTheNodeThatAskedAndFreeTheList)
{
    const auto l = list("5", true);
    auto node = std::make_shared<NodeRecorder>();
    for (const bool success : {true, false}) {
        account->requests.clear();
        ASSERT_TRUE(account->pollList(l, QStringLiteral("99"), node));
        EXPECT_FALSE(account->pollList(l, QStringLiteral("98"), node)) << "one page at a time";
        ASSERT_EQ(account->requests.size(), 1);
        const QVariantMap sent = answer(46, {}, account->requests.first().userInfo);
        success ? account->serviceRequestSuccess(sent) : account->serviceRequestFailure(sent);
        EXPECT_FALSE(l->isPolling());
    }
    EXPECT_EQ(node->successes, 1);
    EXPECT_EQ(node->failures, 1);
    EXPECT_TRUE(l->isEmpty()) << "the answer held no messages";
    EXPECT_FALSE(account->pollList(l, QString(), node)) << "no id, nothing sent";
}

TEST_F(ListsAndSearchesTest, SearchesAskThroughTheirAccountAndKeepTheirOwnAnswers)
{
    const auto s = search("8", "c++");
    s->setService(account.get());
    s->setSinceId(QStringLiteral("40"));
    ASSERT_TRUE(s->search());
    ASSERT_EQ(account->requests.size(), 1);
    const auto request = account->requests.first();
    EXPECT_EQ(request.type, 35);
    EXPECT_EQ(request.delegate, s);
    EXPECT_EQ(request.userInfo.value("searchObject").value<RTSearchTwitterPtr>(), s);
    EXPECT_EQ(request.userInfo.value(key(kRTSinceKey)).toString(), "40");

    // A page below: once at a time, without the since id.
    auto node = std::make_shared<NodeRecorder>();
    EXPECT_TRUE(s->searchWithMaxId(QStringLiteral("30"), node));
    EXPECT_FALSE(s->searchWithMaxId(QStringLiteral("30"), node));
    EXPECT_FALSE(account->requests.last().userInfo.contains(key(kRTSinceKey)));
    EXPECT_TRUE(s->isPollingForOlderTweets());

    int told = 0;
    const int observer = s->addAnswerObserver([&](const QVariantMap &, bool) { ++told; });
    auto operation = std::make_shared<RTRequestOperationTwitter>();
    operation->setSince(QStringLiteral("55"));
    const QVariantMap page{
        {key(kRTRequestType), 35},
        {key(kRTUserInfoKey), account->requests.last().userInfo},
        {key(kRTRequestOperationKey), QVariant::fromValue(RTRequestOperationPtr(operation))}};
    clock.advance(1000);
    s->serviceRequestSuccess(page);
    EXPECT_FALSE(s->isPollingForOlderTweets());
    EXPECT_EQ(s->sinceId(), "40") << "an older page leaves the since id";
    EXPECT_EQ(s->lastPoll(), clock.now());
    EXPECT_TRUE(s->isEmpty());
    EXPECT_EQ(node->successes, 1);

    QVariantMap newest = page;
    newest.insert(key(kRTUserInfoKey), request.userInfo);
    s->serviceRequestSuccess(newest);
    EXPECT_EQ(s->sinceId(), "55");
    // A failure keeps since and last poll, so the timer tries again.
    clock.advance(1000);
    s->serviceRequestFailure(newest);
    EXPECT_EQ(s->sinceId(), "55");
    EXPECT_NE(s->lastPoll(), clock.now());
    EXPECT_EQ(told, 3);
    s->removeAnswerObserver(observer);

    EXPECT_FALSE(RTSearchTwitter::searchWithTerm(QStringLiteral(" \n\t ")));
}

} // namespace

namespace {

TEST_F(ListsAndSearchesTest, ListsSurviveTheArchiveAndOlderStoresLoadWithoutThem)
{
    auto me = RTUserTwitter::create(QStringLiteral("5"));
    me->setScreenName(QStringLiteral("alice"));
    account->setMyself(me);
    auto other = RTUserTwitter::create(QStringLiteral("6"));
    other->setScreenName(QStringLiteral("bob"));
    struct Row
    {
        const char *id;
        const char *fullName;
        bool isPrivate;
        bool isMine;
        qint32 members;
        RTUserTwitterPtr owner;
    };
    const std::vector<Row> rows = {
        {"11", "@alice/friends", true, true, 3, me},
        {"12", "@bob/news-and-more", false, false, 250000, other},
        {"13", "@alice/orphan", false, true, 0, nullptr},
    };
    QList<RTListTwitterPtr> lists;
    for (const Row &row : rows) {
        auto l = std::make_shared<RTListTwitter>(QString::fromLatin1(row.id));
        l->setFullName(QString::fromLatin1(row.fullName));
        l->setSlugName(QString::fromLatin1(row.fullName).section(QLatin1Char('/'), 1));
        l->setUrlPath(QLatin1Char('/') + QString::fromLatin1(row.fullName).mid(1));
        l->setIsPrivate(row.isPrivate);
        l->setIsMine(row.isMine);
        l->setMemberCount(row.members);
        l->setSubscriberCount(row.members / 2);
        l->setUser(row.owner);
        l->addMessagesToMessagesSet({RTMessageTwitter::create(QStringLiteral("900"))});
        lists.append(l);
    }
    account->setListsArray(lists);
    account->setSavedSearchesArray({search("1", "tea")});

    registerModelArchiveClasses();
    registerTwitterArchiveClasses();
    const QCborValue archived = KeyedArchiver::archiveObject(account.get());
    auto restore = [](const QCborValue &value) {
        std::unique_ptr<RTArchivable> object =
            KeyedUnarchiver::unarchiveObject(value, std::make_shared<QString>());
        return std::unique_ptr<RTServiceTwitter>(
            dynamic_cast<RTServiceTwitter *>(object.release()));
    };
    const auto copy = restore(archived);
    ASSERT_TRUE(copy);
    ASSERT_EQ(copy->listsArray().size(), qsizetype(rows.size()));
    for (qsizetype i = 0; i < copy->listsArray().size(); ++i) {
        const RTListTwitterPtr &back = copy->listsArray().at(i);
        const RTListTwitterPtr &sent = lists.at(i);
        SCOPED_TRACE(sent->fullName().toStdString());
        EXPECT_EQ(back->listId(), sent->listId());
        EXPECT_EQ(back->fullName(), sent->fullName());
        EXPECT_EQ(back->slugName(), sent->slugName());
        EXPECT_EQ(back->urlPath(), sent->urlPath());
        EXPECT_EQ(back->isPrivate(), sent->isPrivate());
        EXPECT_EQ(back->isMine(), sent->isMine());
        EXPECT_EQ(back->memberCount(), sent->memberCount());
        EXPECT_EQ(back->subscriberCount(), sent->subscriberCount());
        EXPECT_EQ(back->service(), copy.get());
        EXPECT_TRUE(back->messagesSet().isEmpty()) << "messages are fetched again";
        EXPECT_EQ(back->user() ? back->user()->userId() : QString(),
                  sent->user() ? sent->user()->userId() : QString());
    }
    // The account's own lists point at the account's own user object.
    EXPECT_EQ(copy->listsArray().first()->user(), copy->myself());
    ASSERT_TRUE(copy->listsArray().at(1)->user());
    EXPECT_EQ(copy->listsArray().at(1)->user()->screenName(), "bob");

    // A store written before lists were kept.
    QCborMap older = archived.toMap();
    ASSERT_TRUE(older.contains(QStringLiteral("listsArray")));
    older.remove(QStringLiteral("listsArray"));
    const auto old = restore(older);
    ASSERT_TRUE(old);
    EXPECT_TRUE(old->listsArray().isEmpty());
    EXPECT_EQ(ids(old->savedSearchesArray()), QStringList{"1"});
}

} // namespace

namespace {

TEST_F(ListsAndSearchesTest, TheSearcherRunsTheWindowsSearchFirstOnItsOwnQueue)
{
    RTServiceRegistry registry;
    registry.setServices({account});
    const auto saved = search("1", "tea");
    account->setSavedSearchesArray({saved});
    const auto current = RTSearchTwitter::searchWithTerm(QStringLiteral("qt"));
    RTSearcher searcher(registry);
    searcher.start();
    ASSERT_TRUE(searcher.searchesOperationQueue());

    struct Ran
    {
        QString name;
        QObject *queue;
    };
    QList<Ran> ran;
    RTSearchTwitter::setQueuer([&ran](RTSearchTwitter &s, const QVariantMap &info, int) {
        ran.append(
            {s.searchName(), info.value(QString::fromLatin1(RTSearchTwitter::kOperationQueueKey))
                                 .value<QObject *>()});
        return true;
    });
    const QDateTime now = clock.now();
    struct Step
    {
        const char *what;
        bool windowShowsIt;
        qint64 currentAge; // seconds since the current search succeeded; -1: never
        qint64 savedAge;
        const char *expected; // nullptr: nothing runs
    };
    const Step steps[] = {
        {"current never ran", true, -1, -1, "qt"},
        {"current is fresh, saved never ran", true, 30, -1, "tea"},
        {"current is due again", true, 61, 10, "qt"},
        {"nothing due", true, 60, 300, nullptr},
        {"saved is due", true, 60, 301, "tea"},
        {"no search in the window", false, -1, 10, nullptr},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        ran.clear();
        RTSearcher::setCurrentSearchSource(
            [&] { return step.windowShowsIt ? current : RTSearchTwitterPtr(); });
        current->setLastPoll(step.currentAge < 0 ? QDateTime() : now.addSecs(-step.currentAge));
        saved->setLastPoll(step.savedAge < 0 ? QDateTime() : now.addSecs(-step.savedAge));
        EXPECT_EQ(searcher.servicesTimerTick(), step.expected != nullptr);
        if (!step.expected) {
            EXPECT_TRUE(ran.isEmpty());
            continue;
        }
        ASSERT_EQ(ran.size(), 1);
        EXPECT_EQ(ran.first().name, QLatin1String(step.expected));
        EXPECT_EQ(ran.first().queue, searcher.searchesOperationQueue());
    }
    RTSearcher::setCurrentSearchSource({});
    RTSearchTwitter::setQueuer({});
    searcher.stop();
    registry.setServices({});
}

} // namespace

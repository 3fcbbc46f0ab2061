// The tree node manager on a tree of three accounts: offering one poll's batch to every
// node, re-evaluating every node over a store of 50,000 messages, and the dated filters'
// pass over that store.
#include "json/TwitterPage.h"

#include "accounts/RTServiceRegistry.h"
#include "accounts/RTServiceTalvo.h"
#include "foundation/Clock.h"
#include "model/RTAccountDirectory.h"
#include "model/RTMessageTwitter.h"
#include "platform/fake/FakeKeychain.h"
#include "timelines/RTDatedFilters.h"
#include "timelines/RTTreeNodeManager.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterRequestTypes.h"
#include "twitter/RTTwitterResponseMapper.h"
#include "json/Json.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace RTTemporaryFlag;

class Directory : public RTAccountDirectory
{
public:
    [[nodiscard]] QList<QObject *> twitterAccounts() const override { return accounts; }
    [[nodiscard]] RTMessageDataSource *searcher() const override { return nullptr; }
    QList<QObject *> accounts;
};

// The mix of a Home timeline with mentions, retweets, own posts, direct messages,
// favourites and a few statuses seen by two accounts.
quint32 flagsFor(quint64 n)
{
    switch (n % 20) {
    case 0:
        return IsHome | IsMention;
    case 1:
        return IsHome | IsRetweet;
    case 2:
        return IsHome | IsSent;
    case 3:
        return IsPrivate;
    case 4:
        return IsHome | IsFavorite;
    case 5:
        return IsHome | IsRepeated;
    case 6:
        return IsListed;
    default:
        return IsHome;
    }
}

class Tree
{
public:
    explicit Tree(int storedPerAccount)
    {
        Clock::setShared(&clock);
        Keychain::setShared(&keychain);
        RTAccountDirectory::setShared(&directory);
        RTServiceList services;
        for (const char *name : {"alice", "bob", "carol"}) {
            auto account = std::make_shared<RTServiceTwitter>();
            account->setServiceId(QString::fromLatin1(name));
            account->setIsNewlyAdded(false);
            directory.accounts.append(account.get());
            accounts.append(account);
            services.append(account);
        }
        registry.setServices(services);
        // Stored messages, older than anything offered later.
        for (int a = 0; a < accounts.size(); ++a) {
            RTServiceTwitter::MessagesDictionary stored;
            for (int i = 0; i < storedPerAccount; ++i) {
                const quint64 id = 1000000 + quint64(i) * 3 + quint64(a);
                stored.insert(QString::number(id), makeMessage(id, *accounts.at(a), -i));
            }
            accounts.at(a)->setMessagesDictionary(stored);
            if (storedPerAccount > 0)
                accounts.at(a)->setHomeReferenceMessageId(QString::number(1000000 + quint64(a)));
        }
        manager = std::make_unique<RTTreeNodeManager>(registry);
    }
    ~Tree()
    {
        manager.reset();
        registry.setServices({});
        RTAccountDirectory::setShared(nullptr);
        Keychain::setShared(nullptr);
        Clock::setShared(nullptr);
    }

    RTMessageTwitterPtr makeMessage(quint64 id, RTServiceTwitter &account, int secondsFromNow)
    {
        auto m = RTMessageTwitter::create(QString::number(id));
        m->setService(&account);
        m->setBody(QStringLiteral("status %1").arg(id));
        m->setCreatedAt(now.addSecs(secondsFromNow));
        m->setTemporaryFlags(flagsFor(id));
        m->setUserId(QString::number(id % 10));
        return m;
    }

    FakeClock clock;
    FakeKeychain keychain;
    Directory directory;
    RTServiceRegistry registry;
    QList<std::shared_ptr<RTServiceTwitter>> accounts;
    QDateTime now = QDateTime::currentDateTimeUtc();
    std::unique_ptr<RTTreeNodeManager> manager;
};

// One poll: 200 new statuses of one account reach every node.
void BM_OfferPollBatch(benchmark::State &state)
{
    Tree tree(2000);
    QList<RTMessagePtr> batch;
    for (int i = 0; i < 200; ++i)
        batch.append(tree.makeMessage(9000000 + quint64(i), *tree.accounts.first(), 10));
    const QVariantMap force{{QStringLiteral("forceRemove"), true}};
    for (auto _ : state) {
        tree.manager->allTreeNodesAddMessages(batch, 55, {});
        state.PauseTiming();
        tree.manager->allTreeNodesRemoveMessages(batch, 55, force);
        state.ResumeTiming();
    }
    state.counters["nodes"] = tree.manager->registeredNodeCount();
    state.counters["messages/s"] =
        benchmark::Counter(double(batch.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_OfferPollBatch)->Unit(benchmark::kMillisecond);

// The whole road of one poll: read a 200-status Home page, map and merge it into the
// first account, and offer what is new to every node of the three accounts' trees
// (range(0) messages stored in all).
void BM_PollRoad(benchmark::State &state)
{
    Tree tree(int(state.range(0)) / 3);
    tree.manager->allTreeNodesReEvaluteContent();
    RTServiceTwitter &account = *tree.accounts.first();
    const RTServiceTwitter::MessagesDictionary stored = account.messagesDictionary();
    const QByteArray page = makeTwitterPage(200);
    const QVariantMap force{{QStringLiteral("forceRemove"), true}};
    for (auto _ : state) {
        const auto result = RTTwitterResponseMapper::parseMessages(
            objectFromJSON(page), RTTwitterRequestHomeTimeline, account);
        tree.manager->allTreeNodesAddMessages(result.allMessagesAsBase(),
                                              RTTwitterRequestHomeTimeline, {});
        state.PauseTiming();
        if (result.newMessages.size() != 200)
            state.SkipWithError("page did not merge as new");
        tree.manager->allTreeNodesRemoveMessages(result.allMessagesAsBase(),
                                                 RTTwitterRequestHomeTimeline, force);
        {
            RTServiceTwitter::MessagesDictionary own = stored;
            own.detach();
            account.setMessagesDictionary(own);
        }
        (void)account.repeatedMessagesWithId(QString());
        state.ResumeTiming();
    }
    state.counters["nodes"] = tree.manager->registeredNodeCount();
}
BENCHMARK(BM_PollRoad)->Arg(10000)->Unit(benchmark::kMillisecond);

// Filters changed: every node re-evaluates every stored message (nothing moves).
void BM_ReEvaluateAllNodes(benchmark::State &state)
{
    Tree tree(int(state.range(0)) / 3);
    tree.manager->allTreeNodesReEvaluteContent();
    for (auto _ : state)
        tree.manager->allTreeNodesReEvaluteContent();
    state.counters["nodes"] = tree.manager->registeredNodeCount();
}
BENCHMARK(BM_ReEvaluateAllNodes)->Arg(50000)->Unit(benchmark::kMillisecond);

// The same after a mute: every node drops a tenth of the store and takes it back.
void BM_ReEvaluateAllNodesWithChanges(benchmark::State &state)
{
    Tree tree(int(state.range(0)) / 3);
    tree.manager->allTreeNodesReEvaluteContent();
    QList<RTMessagePtr> all;
    for (const auto &account : tree.accounts)
        for (const auto &m : account->messagesDictionary())
            all.append(m);
    for (auto _ : state) {
        for (int i = 0; i < all.size(); i += 10)
            all.at(i)->setIsMuted(!all.at(i)->isMuted());
        tree.manager->allTreeNodesReEvaluteContent();
    }
    state.counters["nodes"] = tree.manager->registeredNodeCount();
}
BENCHMARK(BM_ReEvaluateAllNodesWithChanges)->Arg(50000)->Unit(benchmark::kMillisecond);

// A mute of one user in ten is set and then removed on the service: the filters' pass
// marks (or releases) every stored message, then every node re-evaluates the store.
// 20 other mutes and 5 highlights of users with no messages make every message meet them.
void BM_ApplyDatedFiltersToStore(benchmark::State &state)
{
    Tree tree(int(state.range(0)) / 3);
    auto companion = std::make_shared<RTServiceTalvo>();
    RTServiceList services = tree.registry.services();
    services.append(companion);
    tree.registry.setServices(services);
    tree.manager->allTreeNodesReEvaluteContent();
    RTDatedFilters filters(tree.registry);
    filters.setCompanion(companion.get());
    filters.setNodeManager(tree.manager.get());
    filters.setFiltersKnown(true);
    auto record = [&tree](int id, const QString &factor, const QString &kind) {
        const qint64 created = tree.now.toSecsSinceEpoch() - 7 * 86400;
        return QVariantMap{{QStringLiteral("id"), id},
                           {QStringLiteral("factor"), factor},
                           {QStringLiteral("predicate"), kind},
                           {QStringLiteral("duration"), 30 * 86400},
                           {QStringLiteral("created_at"), created}};
    };
    RTDatedFilters::Mutes quiet;
    for (int i = 0; i < 20; ++i)
        quiet.insert(
            QString::number(100 + i),
            RTMuteObject::muteObjectWithDictionary(
                record(100 + i, i % 2 ? QStringLiteral("#tag%1").arg(i) : QString::number(1000 + i),
                       i % 2 ? QStringLiteral("HASHTAG") : QStringLiteral("USER"))));
    RTDatedFilters::Highlights highlights;
    for (int i = 0; i < 5; ++i)
        highlights.insert(QString::number(200 + i),
                          RTHighlightObject::highlightObjectWithDictionary(
                              record(200 + i, QString::number(2000 + i), QStringLiteral("USER"))));
    filters.setHighlights(highlights);
    RTDatedFilters::Mutes withUser = quiet;
    withUser.insert(QStringLiteral("1"), RTMuteObject::muteObjectWithDictionary(record(
                                             1, QStringLiteral("3"), QStringLiteral("USER"))));
    bool on = false;
    for (auto _ : state) {
        on = !on;
        filters.setMutes(on ? withUser : quiet);
        filters.applyFiltersNow();
    }
    state.counters["nodes"] = tree.manager->registeredNodeCount();
}
BENCHMARK(BM_ApplyDatedFiltersToStore)->Arg(50000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    // Settings of a throw-away folder, never the user's.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

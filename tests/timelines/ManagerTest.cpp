#include "../twitter/MappingTestSupport.h"
#include "support/TestSupport.h"

#include "accounts/RTServiceRegistry.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTMessageTwitter.h"
#include "timelines/RTTreeNodeAllFilteredMessages.h"
#include "timelines/RTTreeNodeManager.h"
#include "timelines/RTTreeNodePopupHost.h"
#include "timelines/RTTreeNodePredicates.h"
#include "timelines/RTTreeNodeSearch.h"
#include "timelines/RTTreeNodeTwitterConversation.h"
#include "twitter/RTListTwitter.h"
#include "twitter/RTTrendObject.h"
#include "twitter/RTTwitterRequestTypes.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

using namespace RTTemporaryFlag;

namespace {

class ManagerTest : public MappingTestBase
{
protected:
    void SetUp() override
    {
        MappingTestBase::SetUp();
        SettingsStore::shared().removeObjectForKey(QString::fromLatin1(RTExpandedNodesKey));
    }
    void TearDown() override
    {
        manager.reset();
        registry.setServices({});
        MappingTestBase::TearDown();
    }

    std::shared_ptr<RTServiceTwitter> addAccount(const QString &name)
    {
        auto account = std::make_shared<RTServiceTwitter>();
        account->setServiceId(name);
        account->setIsNewlyAdded(false);
        auto myself = RTUserTwitter::create(QStringLiteral("1"));
        myself->setScreenName(name);
        account->setMyself(myself);
        accounts.append(account.get());
        RTServiceList services = registry.services();
        services.append(account);
        registry.setServices(services);
        return account;
    }

    void startManager()
    {
        manager.reset();
        manager = std::make_unique<RTTreeNodeManager>(registry);
    }

    RTTreeNodeAllFilteredMessages *view(int index) const
    {
        return qobject_cast<RTTreeNodeAllFilteredMessages *>(
            manager->combinedToolbarTreeNodes().at(index));
    }

    // Feeds statuses through the mapping and hands the result to the manager.
    QList<RTMessagePtr> deliver(RTServiceTwitter &account, int type, const QStringList &statuses)
    {
        const auto result = feed(account, type, statuses);
        QList<RTMessagePtr> messages;
        for (const auto &m : result.allMessages)
            messages.append(m);
        manager->allTreeNodesAddMessages(messages, type, {});
        return messages;
    }

    static RTMessagePtr message(const QString &id, quint32 temporary, quint32 permanent = 0)
    {
        auto m = RTMessageTwitter::create(id);
        m->setCreatedAt(QDateTime::currentDateTimeUtc());
        m->setTemporaryFlags(temporary);
        m->setPermanentFlags(permanent);
        return m;
    }

    RTServiceRegistry registry;
    std::unique_ptr<RTTreeNodeManager> manager;
};

enum ViewIndex
{
    All,
    Home,
    Mentions,
    Retweets,
    Favorites,
    Direct,
    Sent
};

TEST_F(ManagerTest, CombinedViewsTakeTheMessagesOfTheirFlags)
{
    startManager();
    ASSERT_EQ(manager->combinedToolbarTreeNodes().size(), 10);
    const quint32 muted = RTPermanentFlag::IsMuted;
    struct Row
    {
        quint32 temporary;
        quint32 permanent;
        QList<int> views; // All and Home have no reference yet: never listed
    };
    const std::vector<Row> rows = {
        {IsHome, 0, {}},
        {IsMention, 0, {Mentions}},
        {IsMention, muted, {}},
        {IsRetweet, 0, {Retweets}},
        {IsRetweet | IsSent, 0, {Sent}},
        {IsFavorite | IsMention, 0, {Mentions, Favorites}},
        {IsFavorite, muted, {}},
        {IsPrivate, 0, {Direct}},
        {IsPrivate | IsSent, muted, {Direct}}, // direct messages ignore mutes
        {IsSent, 0, {Sent}},
        {IsSearch | IsListed, 0, {}},
    };
    for (const Row &row : rows) {
        const RTMessagePtr m = message(QStringLiteral("7"), row.temporary, row.permanent);
        for (int i = All; i <= Sent; ++i) {
            EXPECT_EQ(view(i)->isMessageValid(m, 0, {}), row.views.contains(i))
                << "flags " << row.temporary << "/" << row.permanent << " view " << i;
        }
    }
    // The lists and searches hosts take listed and searched messages of any account.
    const RTMessagePtr listed = message(QStringLiteral("8"), IsListed);
    EXPECT_TRUE(manager->combinedToolbarTreeNodes().at(7)->isMessageValid(listed, 0, {}));
    EXPECT_FALSE(manager->combinedToolbarTreeNodes().at(9)->isMessageValid(listed, 0, {}));
}

TEST_F(ManagerTest, RootsHoldTheAccountsTheCompanionAndAPlaceholderForNoAccounts)
{
    SettingsStore::shared().setBool(QString::fromLatin1(RTShowTrendsNodeKey), false);
    startManager();
    RTTreeNode *talvo = manager->getTalvoParentNode();
    ASSERT_NE(talvo, nullptr);
    ASSERT_EQ(talvo->childNodes().size(), 2);
    RTTreeNode *muted = talvo->getChildByRequestType(RTTreeNodeRequestType::Mutes);
    ASSERT_NE(muted, nullptr);
    EXPECT_TRUE(muted->isUnreadNode());
    EXPECT_TRUE(muted->isMessageValid(message("1", IsHome, RTPermanentFlag::IsMuted), 0, {}));
    EXPECT_FALSE(muted->isMessageValid(message("2", IsHome), 0, {}));
    const auto placeholder = [this] {
        for (RTTreeNode *root : manager->rootTreeNodes())
            if (root->inherits("RTTreeNodeEmpty"))
                return root;
        return static_cast<RTTreeNode *>(nullptr);
    };
    ASSERT_NE(placeholder(), nullptr);
    EXPECT_TRUE(placeholder()->shouldAppearInOutlineView());

    auto alice = addAccount(QStringLiteral("alice"));
    manager->addNodeWithService(alice, false);
    manager->addNodeWithService(alice, false); // one root per account
    EXPECT_EQ(manager->rootTreeNodes().size(), 3);
    EXPECT_FALSE(placeholder()->shouldAppearInOutlineView());
    const QList<RTTreeNode *> roots = manager->rootTreeNodes();
    EXPECT_TRUE(std::is_sorted(roots.begin(), roots.end(), [](RTTreeNode *a, RTTreeNode *b) {
        return a->sortWeight() < b->sortWeight();
    }));
    manager->removeNodeWithService(alice);
    EXPECT_EQ(manager->getRootNodeForService(alice.get()), nullptr);
    EXPECT_TRUE(placeholder()->shouldAppearInOutlineView());
}

TEST_F(ManagerTest, ARepeatAppearsOncePerCombinedViewAndOnceInEachAccount)
{
    auto alice = addAccount(QStringLiteral("alice"));
    auto bob = addAccount(QStringLiteral("bob"));
    startManager();
    const QString mention =
        status(QStringLiteral("500"), QStringLiteral("9"), QStringLiteral("@alice @bob hi"));
    const auto fromAlice = deliver(*alice, RTTwitterRequestMentions, {mention});
    const auto fromBob = deliver(*bob, RTTwitterRequestMentions, {mention});
    ASSERT_EQ(fromAlice.size(), 1);
    ASSERT_EQ(fromBob.size(), 1);
    ASSERT_NE(fromAlice.first(), fromBob.first());
    ASSERT_TRUE(fromBob.first()->isRepeated());
    // Delivering the same batch again changes nothing.
    manager->allTreeNodesAddMessages(fromBob, RTTwitterRequestMentions, {});

    EXPECT_EQ(view(Mentions)->messagesArrayController().count(), 1);
    EXPECT_EQ(view(Mentions)->newMessagesCount(), 1);
    for (auto *account : {alice.get(), bob.get()}) {
        RTTreeNode *root = manager->getRootNodeForService(account);
        ASSERT_NE(root, nullptr);
        RTTreeNode *mentions = root->getChildByRequestType(RTTwitterRequestMentions);
        ASSERT_NE(mentions, nullptr);
        EXPECT_EQ(mentions->messagesArrayController().count(), 1)
            << account->serviceId().toStdString();
    }
}

TEST_F(ManagerTest, SeenChangesMoveTheCountOfEveryHoldingNode)
{
    auto alice = addAccount(QStringLiteral("alice"));
    startManager();
    const auto messages =
        deliver(*alice, RTTwitterRequestMentions,
                {status(QStringLiteral("10"), QStringLiteral("9"), QStringLiteral("@alice one")),
                 status(QStringLiteral("11"), QStringLiteral("9"), QStringLiteral("@alice two"))});
    ASSERT_EQ(messages.size(), 2);
    RTTreeNode *accountMentions = manager->getRootNodeForService(alice.get())
                                      ->getChildByRequestType(RTTwitterRequestMentions);
    const QList<RTTreeNode *> holders{view(Mentions), accountMentions,
                                      manager->systemWideCountNode()};
    for (RTTreeNode *node : holders)
        EXPECT_EQ(node->newMessagesCount(), 2) << node->name().toStdString();

    messages.first()->setIsSeen(true);
    messages.first()->setIsSeen(true); // no change: no second decrement
    for (RTTreeNode *node : holders)
        EXPECT_EQ(node->newMessagesCount(), 1) << node->name().toStdString();
    messages.first()->setIsSeen(false);
    for (RTTreeNode *node : holders)
        EXPECT_EQ(node->newMessagesCount(), 2) << node->name().toStdString();

    // The view's menu acts on every account's copy through the same counts.
    RTNodeMenu *menu = view(Mentions)->menu();
    ASSERT_NE(menu, nullptr);
    view(Mentions)->menuNeedsUpdate(*menu);
    RTNodeMenuItem *markAll = menu->itemWithTag(RTNodeMenuTag::MarkAllAsSeen);
    ASSERT_TRUE(markAll && markAll->action);
    EXPECT_TRUE(markAll->enabled);
    EXPECT_EQ(markAll->title, "Mark All as Seen");
    markAll->action();
    for (RTTreeNode *node : holders)
        EXPECT_EQ(node->newMessagesCount(), 0) << node->name().toStdString();
    view(Mentions)->menuNeedsUpdate(*menu);
    EXPECT_FALSE(menu->itemWithTag(RTNodeMenuTag::MarkAllAsSeen)->enabled);
    messages.first()->setIsSeen(false);
    messages.last()->setIsSeen(false);

    // Muting moves a message out of the views on re-evaluation, with its count.
    messages.last()->setIsMuted(true);
    manager->allTreeNodesReEvaluateMessages({messages.last()}, 0, {});
    EXPECT_EQ(view(Mentions)->messagesArrayController().count(), 1);
    EXPECT_EQ(view(Mentions)->newMessagesCount(), 1);
    EXPECT_EQ(manager->systemWideCountNode()->newMessagesCount(), 1);
}

TEST_F(ManagerTest, HomeAndAllWaitForAReferenceAndTakeTheOldestOfTheAccounts)
{
    auto alice = addAccount(QStringLiteral("alice"));
    auto bob = addAccount(QStringLiteral("bob"));
    startManager();
    // Ids of different lengths: as text "999" would sort after "1000".
    const auto aliceHome =
        feed(*alice, RTTwitterRequestHomeTimeline,
             {status(QStringLiteral("1000"), QStringLiteral("9"), QStringLiteral("new"), {}, 60),
              status(QStringLiteral("900"), QStringLiteral("9"), QStringLiteral("old"), {}, 600)});
    const auto bobHome =
        feed(*bob, RTTwitterRequestHomeTimeline,
             {status(QStringLiteral("999"), QStringLiteral("9"), QStringLiteral("bob"), {}, 300),
              status(QStringLiteral("1001"), QStringLiteral("9"), QStringLiteral("bob2"), {}, 30)});
    QList<RTMessagePtr> all;
    for (const auto &m : aliceHome.allMessages + bobHome.allMessages)
        all.append(m);
    manager->allTreeNodesAddMessages(all, RTTwitterRequestHomeTimeline, {});
    EXPECT_EQ(view(Home)->messagesArrayController().count(), 0);
    EXPECT_EQ(view(All)->messagesArrayController().count(), 0);

    // Each account's reference is the oldest message of its Home.
    bob->updateReferenceMessageIds(RTTwitterRequestHomeTimeline, bobHome.allMessages);
    alice->updateReferenceMessageIds(RTTwitterRequestHomeTimeline, aliceHome.allMessages);
    EXPECT_EQ(alice->homeReferenceMessageId(), "900");
    EXPECT_EQ(bob->homeReferenceMessageId(), "999");
    for (int i : {All, Home}) {
        EXPECT_TRUE(view(i)->newHomeReferenceMessageId(bob.get()));
        EXPECT_TRUE(view(i)->newHomeReferenceMessageId(alice.get()));
        EXPECT_FALSE(view(i)->newHomeReferenceMessageId(bob.get()));
        EXPECT_EQ(view(i)->homeReferenceMessageId(), "900");
        EXPECT_NEAR(view(i)->homeReferenceMessageDate().secsTo(clock.now()), 600, 1);
    }
    // Nothing either account delivered is left out.
    EXPECT_EQ(view(Home)->messagesArrayController().count(), 4);
    EXPECT_EQ(view(All)->messagesArrayController().count(), 4);
    // Views with a fixed predicate keep it; identities tell the views apart.
    view(Mentions)->newHomeReferenceMessageId(alice.get());
    EXPECT_EQ(view(Mentions)->validMessagePredicate(), view(Mentions)->filterPredicate());
    QSet<QString> identities;
    for (int i = All; i <= Sent; ++i)
        identities.insert(view(i)->identity().value("predicateDescription").toString());
    EXPECT_EQ(identities.size(), 7);
    EXPECT_EQ(manager->treeNodeWithIdentity(view(Sent)->identity()), view(Sent));
}

// A search or list node of an account, as the outline would open it.
RTTreeNode *openNode(RTTreeNodeManager &manager, qint32 type, const char *flag)
{
    auto *node = RTTreeNode::create<RTTreeNode>(QStringLiteral("node"), nullptr, type, QString(),
                                                RTPredicates::flag(flag, true));
    manager.reEvaluateAllMessagesForTreeNode(node);
    return node;
}

TEST_F(ManagerTest, ClosingNodesClearsSearchFlagsAndDropsMessagesOnlyViewsHeld)
{
    auto alice = addAccount(QStringLiteral("alice"));
    startManager();
    const auto searched =
        feed(*alice, RTTwitterRequestHomeTimeline,
             {status(QStringLiteral("70"), QStringLiteral("9"), QStringLiteral("found"))});
    auto found = std::static_pointer_cast<RTMessageTwitter>(searched.allMessages.first());
    found->setIsSearch(true);
    found->setIsListed(true);
    std::unique_ptr<RTTreeNode> first(openNode(*manager, 35, "isSearch"));
    std::unique_ptr<RTTreeNode> second(openNode(*manager, 35, "isSearch"));
    std::unique_ptr<RTTreeNode> list(openNode(*manager, 41, "isListed"));
    RTTreeNode *searchesHost = manager->combinedToolbarTreeNodes().at(9);
    RTTreeNode *listsHost = manager->combinedToolbarTreeNodes().at(7);
    manager->reEvaluateAllMessagesForTreeNode(searchesHost);
    manager->reEvaluateAllMessagesForTreeNode(listsHost);
    ASSERT_EQ(searchesHost->messagesArrayController().count(), 1);
    ASSERT_EQ(listsHost->messagesArrayController().count(), 1);

    first->closeNode();
    EXPECT_TRUE(found->isSearch()); // the other search still shows it
    second->closeNode();
    EXPECT_FALSE(found->isSearch());
    EXPECT_EQ(searchesHost->messagesArrayController().count(), 0);
    // The list node and Home of the account still hold it: the lists host keeps it.
    EXPECT_EQ(listsHost->messagesArrayController().count(), 1);

    // Only combined nodes hold it once the list closes and the account root goes.
    list->closeNode();
    manager->removeNodeWithService(alice);
    EXPECT_EQ(listsHost->messagesArrayController().count(), 0);
    EXPECT_EQ(manager->systemWideCountNode()->messagesArrayController().count(), 0);
    EXPECT_TRUE(found->containedInTreeNodesSet().isEmpty());
    EXPECT_FALSE(manager->isRegistered(first.get()));
}

class FakeSection : public RTPopupHostSectionProtocol
{
public:
    FakeSection(const QString &id, const QString &name, int unseen)
        : m_id(id)
        , m_node(name, nullptr, 41, QStringLiteral("node_list"), Predicate())
    {
        for (int i = 0; i < unseen; ++i)
            m_node.changeNewMessagesCountBy(1);
    }
    QString identificationString() const override { return m_id; }
    RTTreeNode *treeNodeForSelf() override { return &m_node; }

private:
    QString m_id;
    RTTreeNode m_node;
};

TEST_F(ManagerTest, PopupHostsListEachSectionOnceSortedWithTheirEntries)
{
    startManager();
    auto *host = qobject_cast<RTTreeNodePopupHost *>(manager->combinedToolbarTreeNodes().at(7));
    ASSERT_NE(host, nullptr);
    FakeSection friends(QStringLiteral("@a/friends"), QStringLiteral("@a/close-friends"), 2);
    FakeSection news(QStringLiteral("@a/news"), QStringLiteral("@a/news"), 0);
    FakeSection friendsAgain(QStringLiteral("@a/friends"), QStringLiteral("@a/close-friends"), 1);
    host->handleNewItemsArray({&news, &friends});
    host->handleNewItemsArray({&friendsAgain, &friends}); // the second account follows it too
    const QList<RTTreeNode *> sections = host->sections();
    ASSERT_EQ(sections.size(), 3);
    EXPECT_EQ(sections.at(0), host);
    EXPECT_EQ(sections.at(1), friends.treeNodeForSelf());
    EXPECT_EQ(sections.at(2), news.treeNodeForSelf());
    EXPECT_EQ(friends.treeNodeForSelf()->referingTreeNode(), host);
    EXPECT_TRUE(friends.treeNodeForSelf()->inPopupHostingView());

    const QVariantMap entry = host->itemDictionaryFromNode(friends.treeNodeForSelf());
    EXPECT_EQ(entry.value("name").toString(), "@a/close friends");
    EXPECT_EQ(entry.value("count").toInt(), 2);
    EXPECT_EQ(host->itemDictionaryFromNode(host).value("name").toString(),
              host->combinedFieldName());
    ASSERT_EQ(host->popupEntries().size(), 3);
    friends.treeNodeForSelf()->changeNewMessagesCountBy(-1);
    EXPECT_EQ(host->popupEntries().at(1).value("count").toInt(), 1);

    host->selectSection(news.treeNodeForSelf());
    host->handleRemovalOfItemsInArray({&news});
    EXPECT_EQ(host->sections().size(), 2);
    EXPECT_EQ(host->selectedSection(), host);
    EXPECT_EQ(host->identity().value("serviceId").toString(), "Combined");
    host->handleRemovalOfItemsInArray({&friends});
}

// A group deletes its own node when it goes: the host must not keep it among its sections.
TEST_F(ManagerTest, ASectionNodeDeletedByItsOwnerLeavesItsHost)
{
    startManager();
    auto *host = qobject_cast<RTTreeNodePopupHost *>(manager->combinedToolbarTreeNodes().at(7));
    ASSERT_NE(host, nullptr);
    FakeSection kept(QStringLiteral("@a/kept"), QStringLiteral("@a/kept"), 0);
    {
        FakeSection gone(QStringLiteral("@a/gone"), QStringLiteral("@a/gone"), 1);
        host->handleNewItemsArray({&gone, &kept});
        ASSERT_EQ(host->itemsInSection().size(), 2);
        RTTreeNode *node = gone.treeNodeForSelf();
        if (RTTreeNode *parent = node->parentNode())
            parent->removeChildNode(node);
    }
    EXPECT_EQ(host->itemsInSection(), QList<RTTreeNode *>{kept.treeNodeForSelf()});
    EXPECT_EQ(host->popupEntries().size(), 2); // the combined entry and the kept section
    host->handleRemovalOfItemsInArray({&kept});
}

TEST_F(ManagerTest, AccountListsReachTheirHostsAndASharedListShowsOnceAcrossAccounts)
{
    auto alice = addAccount(QStringLiteral("alice"));
    auto bob = addAccount(QStringLiteral("bob"));
    const auto list = [](const QString &fullName) {
        auto l = std::make_shared<RTListTwitter>(fullName);
        l->setFullName(fullName);
        return l;
    };
    alice->setListsArray({list("@carol/news"), list("@alice/friends")});
    startManager();
    auto *combined = qobject_cast<RTTreeNodePopupHost *>(manager->combinedToolbarTreeNodes().at(7));
    RTTreeNode *aliceRoot = manager->getRootNodeForService(alice.get());
    RTTreeNodePopupHost *aliceLists = nullptr;
    for (RTTreeNode *child : aliceRoot->childNodes())
        if (auto *host = qobject_cast<RTTreeNodePopupHost *>(child);
            host && host->requestType() == 41)
            aliceLists = host;
    ASSERT_TRUE(combined && aliceLists);
    EXPECT_EQ(combined->itemsInSection().size(), 2);
    EXPECT_EQ(aliceLists->itemsInSection().size(), 2);
    EXPECT_EQ(aliceLists->childNodes().size(), 2); // also outline rows of the account

    // Bob follows carol's list too (same name, other object) and has one of his own.
    bob->setListsArray({list("@Carol/News"), list("@bob/work")});
    manager->refreshSectionsOfService(bob.get());
    EXPECT_EQ(combined->itemsInSection().size(), 3);
    // Alice drops a list: it leaves both hosts.
    alice->setListsArray({alice->listsArray().first()});
    manager->refreshSectionsOfService(alice.get());
    EXPECT_EQ(aliceLists->itemsInSection().size(), 1);
    EXPECT_EQ(combined->itemsInSection().size(), 2);
}

TEST_F(ManagerTest, ExpandedNodesAreRememberedByIdentity)
{
    auto alice = addAccount(QStringLiteral("alice"));
    auto bob = addAccount(QStringLiteral("bob"));
    startManager();
    RTTreeNode *aliceRoot = manager->getRootNodeForService(alice.get());
    RTTreeNode *bobRoot = manager->getRootNodeForService(bob.get());
    ASSERT_TRUE(aliceRoot && bobRoot);
    ASSERT_FALSE(aliceRoot->identity().isEmpty());
    manager->restoreExpandedNodes(); // nothing stored: every visible root
    EXPECT_TRUE(manager->isExpanded(aliceRoot));
    EXPECT_TRUE(manager->isExpanded(bobRoot));

    RTTreeNode *home = aliceRoot->getChildByRequestType(RTTwitterRequestHomeTimeline);
    ASSERT_NE(home, nullptr);
    manager->setExpanded(bobRoot, false);
    manager->setExpanded(home, true);

    startManager(); // the next run
    aliceRoot = manager->getRootNodeForService(alice.get());
    bobRoot = manager->getRootNodeForService(bob.get());
    manager->restoreExpandedNodes();
    EXPECT_TRUE(manager->isExpanded(aliceRoot));
    EXPECT_FALSE(manager->isExpanded(bobRoot));
    EXPECT_TRUE(
        manager->isExpanded(aliceRoot->getChildByRequestType(RTTwitterRequestHomeTimeline)));
}

TEST_F(ManagerTest, ConcurrentBatchesLeaveEachMessageOnceInEveryNode)
{
    auto alice = addAccount(QStringLiteral("alice"));
    startManager();
    QStringList statuses;
    for (int i = 0; i < 200; ++i)
        statuses << status(QString::number(1000 + i), QStringLiteral("9"),
                           QStringLiteral("@alice n%1").arg(i));
    const auto parsed = feed(*alice, RTTwitterRequestMentions, statuses);
    QList<RTMessagePtr> messages;
    for (const auto &m : parsed.allMessages)
        messages.append(m);
    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back(QThread::create([&] {
            for (int round = 0; round < 5; ++round) {
                manager->allTreeNodesAddMessages(messages, RTTwitterRequestMentions, {});
                manager->allTreeNodesReEvaluateMessages(messages, RTTwitterRequestMentions, {});
            }
        }));
        threads.back()->start();
    }
    for (auto &thread : threads)
        thread->wait();
    EXPECT_EQ(view(Mentions)->messagesArrayController().count(), 200);
    EXPECT_EQ(view(Mentions)->newMessagesCount(), 200);
    RTTreeNode *accountMentions = manager->getRootNodeForService(alice.get())
                                      ->getChildByRequestType(RTTwitterRequestMentions);
    EXPECT_EQ(accountMentions->messagesArrayController().count(), 200);
    const auto content = view(Mentions)->messagesArrayController().content();
    EXPECT_TRUE(std::is_sorted(content.begin(), content.end(),
                               [](const RTMessagePtr &a, const RTMessagePtr &b) {
                                   return RTMessageCollection::isNewerThan(*a, *b);
                               }));
}

TEST_F(ManagerTest, SectionsAndTheirMessagesAreFreedWhenListsSearchesOrAccountsGo)
{
    auto alice = addAccount(QStringLiteral("alice"));
    auto bob = addAccount(QStringLiteral("bob"));
    const auto list = [](const char *id) {
        auto l = std::make_shared<RTListTwitter>(QString::fromLatin1(id));
        l->setFullName(QStringLiteral("@alice/") + QString::fromLatin1(id));
        return l;
    };
    const auto search = [](const char *name) {
        auto s = std::make_shared<RTSearchTwitter>();
        s->setSearchId(QString::fromLatin1(name));
        s->setSearchName(QString::fromLatin1(name));
        return s;
    };
    const auto work = list("work");
    const auto news = list("news");
    const auto tea = search("tea");
    alice->setListsArray({work, news});
    alice->setSavedSearchesArray({tea});
    bob->setListsArray({list("bobs")});
    startManager();
    const int withSections = manager->registeredNodeCount();

    // The node of a section, found through the account's Lists or Searches host.
    const auto sectionNode = [this](RTServiceTwitter *account, qint32 hostType,
                                    const QString &name) -> QPointer<RTTreeNode> {
        RTTreeNode *host = manager->getRootNodeForService(account)->getChildByRequestType(hostType);
        for (RTTreeNode *node : qobject_cast<RTTreeNodePopupHost *>(host)->itemsInSection())
            if (node->name().contains(name))
                return node;
        return nullptr;
    };
    QPointer<RTTreeNode> workNode = sectionNode(alice.get(), 41, "work");
    QPointer<RTTreeNode> newsNode = sectionNode(alice.get(), 41, "news");
    QPointer<RTTreeNode> teaNode = sectionNode(alice.get(), 35, "tea");
    QPointer<RTTreeNode> bobsNode = sectionNode(bob.get(), 41, "bobs");
    ASSERT_TRUE(workNode && newsNode && teaNode && bobsNode);

    const auto listed =
        feed(*alice, RTTwitterRequestListStatuses, {status("401", "9", "on the list")})
            .allMessages.first();
    listed->setTemporaryFlag(IsListed);
    manager->allTreeNodesAddMessages({listed}, RTTwitterRequestListStatuses,
                                     {{QStringLiteral("listObject"), QVariant::fromValue(work)}});
    ASSERT_TRUE(listed->containedInTreeNodesSet().contains(workNode.data()));

    struct Step
    {
        const char *what;
        std::function<void()> change;
        QList<QPointer<RTTreeNode> *> freed;
    };
    const std::vector<Step> steps = {
        {"a list goes",
         [&] {
             alice->setListsArray({news});
             manager->refreshSectionsOfService(alice.get());
         },
         {&workNode}},
        {"a saved search goes",
         [&] {
             alice->setSavedSearchesArray({});
             manager->refreshSectionsOfService(alice.get());
         },
         {&teaNode}},
        {"an account goes",
         [&] {
             const RTServicePtr gone = registry.services().first();
             registry.setServices({registry.services().at(1)});
             manager->removeNodeWithService(gone);
         },
         {&newsNode}},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        for (QPointer<RTTreeNode> *node : step.freed)
            EXPECT_TRUE(node->isNull());
        EXPECT_TRUE(bobsNode) << "other accounts keep theirs";
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // The list's message is held by no node any more, not even by the combined views.
    EXPECT_TRUE(listed->containedInTreeNodesSet().isEmpty());
    EXPECT_LT(manager->registeredNodeCount(), withSections - 2);
}

TEST_F(ManagerTest, MarkingEverythingSeenReachesEveryAccountAndTrendInOneBatch)
{
    auto alice = addAccount(QStringLiteral("alice"));
    auto bob = addAccount(QStringLiteral("bob"));
    startManager();
    deliver(*alice, RTTwitterRequestMentions,
            {status("301", "9", "@alice one"), status("302", "9", "@alice two")});
    deliver(*bob, RTTwitterRequestMentions, {status("303", "9", "@bob three")});
    ASSERT_EQ(view(Mentions)->newMessagesCount(), 3);
    const auto trends = QList<std::shared_ptr<RTTrendObject>>{
        std::make_shared<RTTrendObject>("t1"), std::make_shared<RTTrendObject>("t2")};
    RTTreeNodeManager::setTrendsSource([trends] { return trends; });
    QList<bool> batch;
    QObject::connect(manager.get(), &RTTreeNodeManager::isBatchChangingNewCountChanged,
                     [&batch](bool on) { batch.append(on); });

    manager->markAllMessagesAndTrendsSeen();
    RTTreeNodeManager::setTrendsSource({});

    EXPECT_EQ(batch, (QList<bool>{true, false}));
    for (RTServiceTwitter *account : {alice.get(), bob.get()})
        for (const auto &message : account->messagesDictionary())
            EXPECT_TRUE(message->isSeen()) << message->messageId().toStdString();
    for (const auto &trend : trends)
        EXPECT_TRUE(trend->isSeen());
    EXPECT_EQ(view(Mentions)->newMessagesCount(), 0);
    for (RTServiceTwitter *account : {alice.get(), bob.get()})
        EXPECT_EQ(manager->getRootNodeForService(account)
                      ->getChildByRequestType(RTTwitterRequestMentions)
                      ->newMessagesCount(),
                  0);
    EXPECT_EQ(manager->systemWideCountNode()->newMessagesCount(), 0);
}

// A hang here is a lock-order fault; the watchdog turns it into a failure.
class Watchdog
{
public:
    explicit Watchdog(std::chrono::seconds limit)
        : m_thread([this, limit] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_done.wait_for(lock, limit, [this] { return m_finished; })) {
                std::fprintf(stderr, "deadlock: batches and node changes never finished\n");
                std::abort();
            }
        })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

TEST_F(ManagerTest, BatchesRunWhileConversationNodesOpenAndClose)
{
    auto alice = addAccount(QStringLiteral("alice"));
    startManager();
    // A chain of replies: every message answers the one before.
    QStringList statuses;
    for (int i = 0; i < 60; ++i)
        statuses << status(
            QString::number(2000 + i), QStringLiteral("9"), QStringLiteral("@alice r%1").arg(i),
            i ? QStringLiteral(R"("in_reply_to_status_id":%1)").arg(1999 + i) : QString());
    const auto parsed = feed(*alice, RTTwitterRequestMentions, statuses);
    ASSERT_EQ(parsed.allMessages.size(), 60);
    QList<RTMessagePtr> messages;
    for (const auto &m : parsed.allMessages)
        messages.append(m);

    Watchdog watchdog(std::chrono::seconds(60));
    std::atomic<bool> stop{false};
    std::vector<std::unique_ptr<QThread>> workers;
    for (int t = 0; t < 3; ++t) {
        workers.emplace_back(QThread::create([&] {
            while (!stop.load()) {
                manager->allTreeNodesAddMessages(messages, RTTwitterRequestMentions, {});
                manager->allTreeNodesReEvaluateMessages(messages, RTTwitterRequestMentions, {});
            }
        }));
        workers.back()->start();
    }
    const int before = manager->registeredNodeCount();
    for (int round = 0; round < 300; ++round) {
        std::unique_ptr<RTTreeNodeTwitterConversation> node(
            RTTreeNodeTwitterConversation::create(parsed.allMessages.at(round % 60)));
        ASSERT_TRUE(node);
        if (round % 2)
            node->closeNode();
    }
    stop = true;
    for (auto &worker : workers)
        worker->wait();
    EXPECT_EQ(manager->registeredNodeCount(), before);
    // What the batches delivered is intact.
    RTTreeNode *accountMentions = manager->getRootNodeForService(alice.get())
                                      ->getChildByRequestType(RTTwitterRequestMentions);
    EXPECT_EQ(accountMentions->messagesArrayController().count(), 60);
}

class FakeWindow : public RTMainWindowNodeHost
{
public:
    TemporaryNodeHolder temporaryNodeHolder() const override { return holder; }
    QList<RTTreeNode *> temporaryNodes() const override
    {
        QList<RTTreeNode *> nodes;
        for (const auto &node : owned)
            nodes.append(node.get());
        return nodes;
    }
    void appendTemporaryNode(RTTreeNode *node) override { owned.emplace_back(node); }
    void showTreeNode(RTTreeNode *node) override
    {
        owned.clear();
        owned.emplace_back(node);
    }
    void selectTreeNode(RTTreeNode *node) override { selected = node; }
    void addToRecentSearches(const QString &term) override { recent.append(term); }

    TemporaryNodeHolder holder = TemporaryNodeHolder::List;
    std::vector<std::unique_ptr<RTTreeNode>> owned;
    RTTreeNode *selected = nullptr;
    QStringList recent;
};

TEST_F(ManagerTest, TemporarySearchesOpenOncePerTermInTheWindowsHolder)
{
    startManager();
    FakeWindow window;
    RTMainWindowNodeHost::setShared(&window);
    RTTreeNode *qt = manager->addTemporarySearchNodeInCurrentWindowTypeWithSearchString("qt");
    RTTreeNode *cpp = manager->addTemporarySearchNodeInCurrentWindowTypeWithSearchString("c++");
    ASSERT_TRUE(qt && cpp);
    EXPECT_NE(qt, cpp);
    EXPECT_EQ(manager->addTemporarySearchNodeInCurrentWindowTypeWithSearchString("qt"), qt);
    EXPECT_EQ(window.owned.size(), 2u);
    EXPECT_EQ(window.selected, qt);
    EXPECT_TRUE(qobject_cast<RTTreeNodeSearch *>(qt)->isTemporary());

    window.holder = RTMainWindowNodeHost::TemporaryNodeHolder::SingleNode;
    RTTreeNode *single = manager->addTemporarySearchNodeInCurrentWindowTypeWithSearchString("gtk");
    EXPECT_EQ(window.owned.size(), 1u);
    EXPECT_EQ(manager->addTemporarySearchNodeInCurrentWindowTypeWithSearchString("gtk"), single);
    EXPECT_EQ(window.owned.size(), 1u);

    window.holder = RTMainWindowNodeHost::TemporaryNodeHolder::Other;
    EXPECT_EQ(manager->addTemporarySearchNodeInCurrentWindowTypeWithSearchString("x"), nullptr);
    manager->addTemporarySearchThroughSearchFieldWithSearchString("from field");
    EXPECT_EQ(window.recent, QStringList{"from field"});
    window.owned.clear();
    RTMainWindowNodeHost::setShared(nullptr);
}

} // namespace

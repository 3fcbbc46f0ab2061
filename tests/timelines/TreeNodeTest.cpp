#include "TreeNodeTestSupport.h"

#include "model/RTUserTwitter.h"
#include "platform/fake/FakePlatform.h"

#include "foundation/NotificationCenter.h"
#include "foundation/RTGlobalVariables.h"
#include "timelines/RTMessageCollection.h"
#include "timelines/RTTreeNodeKinds.h"
#include "timelines/RTTreeNodeMenuActions.h"
#include "timelines/RTTreeNodePredicates.h"
#include "timelines/RTTreeNodeSearch.h"
#include "timelines/RTTreeNodeTwitter.h"
#include "timelines/RTTreeNodeTwitterConversation.h"
#include "timelines/RTTreeNodeTwitterListsTimeline.h"
#include "twitter/RTTwitterRequestTypes.h"

#include <QRandomGenerator>
#include <algorithm>

namespace T = RTTemporaryFlag;
namespace P = RTPermanentFlag;

namespace {

constexpr qint32 kHomeType = RTTwitterRequestHomeTimeline;

RTTreeNode *child(RTTreeNode &root, qint32 type)
{
    RTTreeNode *node = root.getChildByRequestType(type);
    if (!node) {
        for (RTTreeNode *c : root.childNodes())
            if ((node = c->getChildByRequestType(type)))
                break;
    }
    return node;
}

} // namespace

class TreeNodeTest : public TreeNodeTestBase
{
};

TEST_F(TreeNodeTest, TimelinesTakeTheMessagesTheirPredicatesDescribe)
{
    TestNodeOwner owner;
    auto account = makeAccount();
    auto other = makeAccount(QStringLiteral("other"));
    account->setShowRetweetsInHome(false);
    account->setShowMentionsInHome(false);
    account->setShowSentInHome(false);
    RTTreeNodeTwitter root(account.get());
    root.registerWithOwner();

    const qint32 combined = RTTreeNodeRequestType::Combined;
    const qint32 mentions = RTTwitterRequestMentions;
    const qint32 retweets = RTTwitterRequestRetweetedToMe;
    const qint32 favorites = RTTwitterRequestFavorites;
    const qint32 sent = RTTwitterRequestSentTimeline;
    const qint32 direct = RTTreeNodeRequestType::Direct;
    const qint32 inbox = RTTwitterRequestDirectInbox;
    const qint32 outbox = RTTwitterRequestDirectOutbox;
    const QList<qint32> nodes{combined, kHomeType, mentions, retweets, favorites,
                              sent,     direct,    inbox,    outbox};
    struct Case
    {
        const char *id;
        quint32 kinds;
        quint32 permanent;
        qint64 minutes; // relative to the reference message
        bool otherAccount;
        QList<qint32> in; // after the reference exists
    };
    const QList<Case> cases{
        {"1", T::IsHome, 0, 5, false, {combined, kHomeType}},
        {"2", T::IsHome | T::IsMention, 0, 5, false, {combined, mentions}},
        {"3", T::IsHome, P::IsMuted, 5, false, {}},
        {"4", T::IsMention, P::IsMuted, 5, false, {}},
        {"5", T::IsHome | T::IsRetweet, 0, 5, false, {combined, retweets}},
        {"6", T::IsRetweet | T::IsSent, 0, 5, false, {combined, sent}},
        {"7", T::IsFavorite, 0, -60, false, {favorites}},
        {"8", T::IsPrivate, 0, 5, false, {combined, direct, inbox}},
        {"9", T::IsPrivate | T::IsSent, 0, 5, false, {combined, direct, outbox}},
        {"10", T::IsSent, 0, -60, false, {}},
        {"11", T::IsHome, 0, -1, false, {}},
        {"12", T::IsHome | T::IsMention, 0, 5, true, {}},
        {"13", T::IsPrivate, P::IsMuted, 5, false, {direct, inbox}},
    };
    auto reference = message(account.get(), "100", T::IsHome, 0, 0);
    QList<RTMessagePtr> batch;
    for (const Case &c : cases)
        batch << message(c.otherAccount ? other.get() : account.get(), c.id, c.kinds, c.permanent,
                         c.minutes);

    // Before the first Home poll: Combined, Home and Sent stay empty, the rest fill.
    owner.allTreeNodesAddMessages(batch, kHomeType, {});
    for (qint32 type : {combined, qint32(kHomeType), sent})
        EXPECT_TRUE(idsOf(*child(root, type)).isEmpty()) << type;
    EXPECT_EQ(idsOf(*child(root, mentions)), QSet<QString>{"2"});

    setReference(*account, reference);
    NotificationCenter::defaultCenter().post(RTHomeReferenceMessageIdNotification, other.get());
    EXPECT_TRUE(idsOf(*child(root, combined)).isEmpty()) << "another account's notice";
    NotificationCenter::defaultCenter().post(RTHomeReferenceMessageIdNotification, account.get());
    NotificationCenter::defaultCenter().post(RTSentReferenceMessageIdNotification, account.get());
    for (qint32 type : nodes) {
        QSet<QString> expected;
        for (const Case &c : cases)
            if (c.in.contains(type))
                expected.insert(c.id);
        EXPECT_EQ(idsOf(*child(root, type)), expected) << "node " << type;
    }
    EXPECT_GT(owner.batchChanges, 0);
    EXPECT_FALSE(owner.batch);

    // Turning retweets on in Home rebuilds its predicate.
    account->setShowRetweetsInHome(true);
    EXPECT_TRUE(idsOf(*child(root, kHomeType)).contains("5"));
    EXPECT_TRUE(child(root, kHomeType)
                    ->validMessagePredicate()
                    .toString()
                    .startsWith("service == me && createdAt >= 2010-06-01T10:00:00.000Z && isHome "
                                "== YES && isMuted == NO"));
}

TEST_F(TreeNodeTest, SeenChangesMoveTheCountOfEveryHoldingNodeByOne)
{
    TestNodeOwner owner;
    auto account = makeAccount();
    RTTreeNodeTwitter root(account.get());
    root.registerWithOwner();
    setReference(*account, message(account.get(), "100", T::IsHome));
    NotificationCenter::defaultCenter().post(RTHomeReferenceMessageIdNotification, account.get());
    RTTreeNode *home = child(root, kHomeType);
    RTTreeNode *combined = child(root, RTTreeNodeRequestType::Combined);
    RTTreeNode *mentions = child(root, RTTwitterRequestMentions);
    account->setShowMentionsInHome(true);

    auto shared = message(account.get(), "200", T::IsHome | T::IsMention, 0, 1);
    auto plain = message(account.get(), "201", T::IsHome, 0, 2);
    auto seen = message(account.get(), "202", T::IsHome, P::IsSeen, 3);
    auto hidden = message(account.get(), "203", T::IsHome, P::IsHidden, 4);
    owner.allTreeNodesAddMessages({shared, plain, seen, hidden}, kHomeType, {});
    EXPECT_EQ(home->newMessagesCount(), 2);
    EXPECT_EQ(combined->newMessagesCount(), 2);
    EXPECT_EQ(mentions->newMessagesCount(), 1);

    shared->markSeen(true);
    EXPECT_EQ(home->newMessagesCount(), 1);
    EXPECT_EQ(combined->newMessagesCount(), 1);
    EXPECT_EQ(mentions->newMessagesCount(), 0);
    shared->markSeen(true); // no change, no second decrement
    EXPECT_EQ(home->newMessagesCount(), 1);
    seen->markSeen(false);
    EXPECT_EQ(home->newMessagesCount(), 2);
    EXPECT_EQ(mentions->newMessagesCount(), 0);

    // Removing recounts from the content.
    shared->willBeRemovedFromTreeNode(home);
    home->messagesArrayControllerRemoveMessages({shared, plain});
    EXPECT_EQ(home->newMessagesCount(), 1);
    EXPECT_FALSE(shared->containedInTreeNodesSet().contains(home));
}

TEST_F(TreeNodeTest, CollectionStaysSortedNewestFirstUnderBatches)
{
    RTMessageCollection collection;
    QList<RTMessagePtr> all;
    QRandomGenerator random(7);
    for (int batch = 0; batch < 20; ++batch) {
        QList<RTMessagePtr> messages;
        for (int i = 0; i < 25; ++i) {
            auto m = RTMessage::create(QString::number(batch * 100 + i));
            m->setCreatedAt(kBase.addSecs(random.bounded(500)));
            messages << m;
        }
        // Batches come shuffled, newest first (a page) and oldest first.
        const auto newer = [](const RTMessagePtr &x, const RTMessagePtr &y) {
            return RTMessageCollection::isNewerThan(*x, *y);
        };
        if (batch % 3 == 1)
            std::sort(messages.begin(), messages.end(), newer);
        else if (batch % 3 == 2)
            std::sort(messages.rbegin(), messages.rend(), newer);
        messages << all.value(batch); // a repeat must not be added twice
        all += messages.mid(0, 25);
        collection.addMessages(messages);
    }
    ASSERT_EQ(collection.count(), all.size());
    EXPECT_TRUE(std::is_sorted(collection.content().cbegin(), collection.content().cend(),
                               [](const RTMessagePtr &a, const RTMessagePtr &b) {
                                   return RTMessageCollection::isNewerThan(*a, *b);
                               }));
    // Equal dates order by numeric id: 1000 is newer than 999.
    auto a = RTMessage::create("999");
    auto b = RTMessage::create("1000");
    a->setCreatedAt(kBase);
    b->setCreatedAt(kBase);
    EXPECT_TRUE(RTMessageCollection::isNewerThan(*b, *a));
    EXPECT_EQ(collection.removeMessages(all.mid(0, 10)), 10);
    EXPECT_EQ(collection.count(), all.size() - 10);
    EXPECT_FALSE(collection.contains(all.first().get()));
}

TEST_F(TreeNodeTest, AtTheSameDateIdsOrderAsNumbersElseAsText)
{
    const struct
    {
        const char *newer;
        const char *older;
    } cases[] = {
        {"1000", "999"},
        {"10", "9"},
        {"0010", "9"}, // leading zeros: still a number
        {"3", "-5"},
        {"1500000000000000001", "1500000000000000000"},
        {"9223372036854775807", "999999999999999999"},
        {"99999999999999999999", "100000000000000000000"}, // beyond 64 bits: as text
        {"b", "a"},
        {"b", "10"},
    };
    for (const auto &c : cases) {
        auto newer = RTMessage::create(QLatin1String(c.newer));
        auto older = RTMessage::create(QLatin1String(c.older));
        newer->setCreatedAt(kBase);
        older->setCreatedAt(kBase);
        EXPECT_TRUE(RTMessageCollection::isNewerThan(*newer, *older)) << c.newer << " " << c.older;
        EXPECT_FALSE(RTMessageCollection::isNewerThan(*older, *newer)) << c.newer << " " << c.older;
    }
    auto same = RTMessage::create(QStringLiteral("42"));
    same->setCreatedAt(kBase);
    EXPECT_FALSE(RTMessageCollection::isNewerThan(*same, *same));
}

TEST_F(TreeNodeTest, HideAllInHomeKeepsOwnAndMentionsForSentAndMentions)
{
    auto account = makeAccount();
    RTTreeNodeTwitter home(QStringLiteral("Home"), account.get(), kHomeType, {}, Predicate());
    home.registerWithOwner();
    RTTreeNodeTwitter mentions(QStringLiteral("Mentions"), account.get(), RTTwitterRequestMentions,
                               {}, Predicate());
    mentions.registerWithOwner();
    auto own = message(account.get(), "1", T::IsHome | T::IsSent);
    auto mention = message(account.get(), "2", T::IsHome | T::IsMention);
    auto other = message(account.get(), "3", T::IsHome);
    home.messagesArrayControllerAddMessages({own, mention, other});
    RTTreeNodeMenuActions::hideAllMessages(home);
    EXPECT_FALSE(own->isHidden());
    EXPECT_TRUE(own->isSpecialHidden());
    EXPECT_FALSE(mention->isHidden());
    EXPECT_TRUE(mention->isSpecialHidden());
    EXPECT_TRUE(other->isHidden());
    EXPECT_FALSE(other->isSpecialHidden());

    mentions.messagesArrayControllerAddMessages({mention});
    RTTreeNodeMenuActions::hideAllMessages(mentions);
    EXPECT_TRUE(mention->isHidden());
    EXPECT_TRUE(mention->isSpecialHidden());
}

TEST_F(TreeNodeTest, MenuItemsEnableFromTheVisibleMessagesNewestFirst)
{
    auto account = makeAccount();
    RTTreeNodeTwitter node(QStringLiteral("Home"), account.get(), kHomeType, {}, Predicate());
    node.registerWithOwner();
    RTNodeMenu *menu = node.menu();
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->title, "twitter menu");
    EXPECT_EQ(menu->itemWithTag(RTNodeMenuTag::MarkAllAsSeen)->title, "Mark All as Seen");
    EXPECT_EQ(menu->itemWithTag(RTNodeMenuTag::HideAll)->keyEquivalent, QString(QChar(8)));
    EXPECT_TRUE(menu->itemWithTag(RTNodeMenuTag::HideAll)->shift);
    const quint32 S = P::IsSeen;
    const quint32 H = P::IsHidden;
    struct Case
    {
        QList<quint32> newestFirst;
        bool markAll, hideSeen, hideAll;
    };
    const Case cases[] = {
        {{}, false, false, false},       {{H, H | S}, false, false, false},
        {{0, 0}, true, false, true},     {{S, 0, 0}, false, true, true}, // newest visible is seen
        {{H, S, 0}, false, true, true},  {{0, H | S, S}, true, true, true},
        {{H | S, 0}, true, false, true},
    };
    for (const Case &c : cases) {
        QList<RTMessagePtr> shown;
        for (int i = 0; i < c.newestFirst.size(); ++i)
            shown << message(account.get(), QString::number(i), T::IsHome, c.newestFirst[i], -i);
        RTTreeNodeMenuActions::updateMessageItems(*menu, shown);
        EXPECT_EQ(menu->itemWithTag(RTNodeMenuTag::MarkAllAsSeen)->enabled, c.markAll);
        EXPECT_EQ(menu->itemWithTag(RTNodeMenuTag::HideSeen)->enabled, c.hideSeen);
        EXPECT_EQ(menu->itemWithTag(RTNodeMenuTag::HideAll)->enabled, c.hideAll);
    }
}

TEST_F(TreeNodeTest, MarkAllAsSeenRunsAsOneBatch)
{
    TestNodeOwner owner;
    auto account = makeAccount();
    RTTreeNodeTwitter node(QStringLiteral("Mentions"), account.get(), RTTwitterRequestMentions, {},
                           Predicate());
    node.registerWithOwner();
    auto a = message(account.get(), "1", T::IsMention);
    auto b = message(account.get(), "2", T::IsMention);
    owner.allTreeNodesAddMessages({a, b}, 0, {});
    ASSERT_EQ(node.newMessagesCount(), 2);
    node.menu()->itemWithTag(RTNodeMenuTag::MarkAllAsSeen)->action();
    EXPECT_TRUE(a->isSeen() && b->isSeen());
    EXPECT_EQ(node.newMessagesCount(), 0);
    EXPECT_EQ(owner.batchChanges, 1);
    EXPECT_FALSE(owner.batch);
}

TEST_F(TreeNodeTest, PagingBackwardsAsksBelowTheOldestDisplayedId)
{
    const struct
    {
        QString oldest;
        QString maxId;
    } ids[] = {
        {"1000", "999"},
        {"10000000000000000", "9999999999999999"},
        {"18446744073709551615", "18446744073709551614"},
        {"1", "0"},
        {"0", ""},
        {"abc", ""},
    };
    for (const auto &c : ids) {
        auto newer = RTMessage::create("5000000000000000000000");
        EXPECT_EQ(RTTreeNodeTwitter::maxIdBelow({newer, RTMessage::create(c.oldest)}), c.maxId)
            << c.oldest.toStdString();
    }
    EXPECT_EQ(RTTreeNodeTwitter::maxIdBelow({}), QString());

    FakeListViewFactory views;
    auto account = makeAccount();
    RTTreeNodeTwitter node(QStringLiteral("Home"), account.get(), kHomeType, {}, Predicate());
    node.registerWithOwner();
    node.messagesArrayControllerAddMessages({message(account.get(), "1000", T::IsHome)});
    ASSERT_TRUE(node.listViewController());
    FakeListView *view = views.created.first();
    EXPECT_EQ(views.createdClasses.first(), "RTTwitterListView");

    const QVariantMap older{{kRTUserInfoKey, QVariantMap{{"pollForOlderTweets", "home"}}}};
    node.serviceRequestFailure(older);
    EXPECT_EQ(view->state, ListViewController::StateFailed);
    EXPECT_FALSE(node.polledAllPossibleMessages());
    node.pollForOlderTweets(); // the failure state stays until the list resets it
    EXPECT_EQ(view->state, ListViewController::StateFailed);

    view->state = ListViewController::StateNormal;
    node.pollForOlderTweets();
    EXPECT_EQ(view->state, ListViewController::StateLoadingOlder);
    auto hiddenOld = message(account.get(), "900", T::IsHome, P::IsHidden);
    QVariantMap answer = older;
    answer.insert(kRTAllRequestMessagesKey,
                  QVariant::fromValue(QList<RTMessageTwitterPtr>{hiddenOld}));
    node.serviceRequestSuccess(answer);
    EXPECT_FALSE(hiddenOld->isHidden());
    EXPECT_FALSE(node.polledAllPossibleMessages());
    node.serviceRequestSuccess(older); // nothing older
    EXPECT_TRUE(node.polledAllPossibleMessages());
    EXPECT_EQ(view->state, ListViewController::StateNoOlderMessages);
    view->state = ListViewController::StateNormal;
    node.pollForOlderTweets();
    EXPECT_EQ(view->state, ListViewController::StateNoOlderMessages);
}

TEST_F(TreeNodeTest, IdentitiesAndPagingAbilityPerKind)
{
    auto account = makeAccount(QStringLiteral("acct"));
    RTTreeNodeTwitter root(account.get());
    root.registerWithOwner();
    auto search = RTSearchTwitter::searchWithTerm("talvo");
    RTTreeNodeSearch searchNode(search);
    searchNode.registerWithOwner();
    RTTreeNodeMutes mutes(QStringLiteral("Muted"), nullptr, RTTreeNodeRequestType::Mutes, {},
                          Predicate());
    mutes.registerWithOwner();
    RTTreeNodeTrend trends(QStringLiteral("Trends"), nullptr, 0, {}, Predicate());
    trends.registerWithOwner();
    RTTreeNodeTwitterGroup group(account.get(), QStringLiteral("Friends"));
    group.registerWithOwner();
    RTTreeNodeTwitterUser user(account.get(), nullptr);
    user.registerWithOwner();
    RTTreeNodeTalvo companion(nullptr);
    companion.registerWithOwner();
    RTTreeNode plain;
    using M = QVariantMap;
    const struct
    {
        const RTTreeNode *node;
        QVariantMap identity;
    } cases[] = {
        {child(root, kHomeType),
         M{{"serviceName", "TWITTER"}, {"nodeName", "Home"}, {"serviceId", "acct"}}},
        {&searchNode, M{{"serviceName", "LumeraSearch"}, {"nodeName", search->searchName()}}},
        {&mutes, M{{"treeNodeType", "mute"}, {"nodeName", "Muted"}}},
        {&trends, M{{"treeNodeType", "trend"}, {"nodeName", "Trends"}}},
        {&group, M{{"serviceId", "acct"}, {"type", "groupChildNode"}, {"groupName", "Friends"}}},
        {&user, M{{"nodeName", "TemporaryTwitterUser"}, {"isTemporary", true}}},
        {&companion, M{{"type", "treeNodeParent"}, {"isTrendsNode", true}}},
        {&plain, M{}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.node->identity(), c.identity) << c.node->description().toStdString();

    EXPECT_FALSE(plain.canPollForOlderTweets());
    EXPECT_TRUE(searchNode.canPollForOlderTweets());
    for (qint32 type : {RTTreeNodeRequestType::Direct, qint32(RTTwitterRequestFavorites),
                        RTTreeNodeRequestType::Combined})
        EXPECT_FALSE(child(root, type)->canPollForOlderTweets()) << type;
    EXPECT_TRUE(child(root, kHomeType)->canPollForOlderTweets());
    EXPECT_EQ(child(root, RTTreeNodeRequestType::Direct)->defaultListState(),
              ListViewController::StateEmpty);
    EXPECT_EQ(mutes.defaultListState(), ListViewController::StateEmpty);
    EXPECT_EQ(child(root, kHomeType)->defaultListState(), ListViewController::StateDefault);
    EXPECT_EQ(static_cast<RTTreeNodeTwitter *>(child(root, RTTwitterRequestSentTimeline))
                  ->menuItemsCount(),
              6);
    EXPECT_EQ(static_cast<RTTreeNodeTwitter *>(child(root, RTTreeNodeRequestType::Combined))
                  ->menuItemsCount(),
              -1);
}

TEST_F(TreeNodeTest, AccountSettingsShowAndHideChildrenInTheirOrder)
{
    TestNodeOwner owner;
    auto account = makeAccount();
    account->setShowFavoritesNode(false);
    RTTreeNodeTwitter root(account.get());
    root.registerWithOwner();
    QList<qint32> order;
    for (RTTreeNode *c : root.childNodes())
        order << c->requestType();
    EXPECT_EQ(order, (QList<qint32>{RTTreeNodeRequestType::Combined, 55, 3, 51, 41, 8, 4,
                                    RTTreeNodeRequestType::Direct, 2, 35}));
    RTTreeNode *favorites = child(root, RTTwitterRequestFavorites);
    EXPECT_FALSE(favorites->shouldAppearInOutlineView());
    account->setShowFavoritesNode(true);
    EXPECT_TRUE(favorites->shouldAppearInOutlineView());
    account->setShowFavoritesNode(false);
    EXPECT_FALSE(favorites->shouldAppearInOutlineView());
    EXPECT_TRUE(owner.calls.contains("hide Favorites"));
    EXPECT_FALSE(root.outlineViewReadyChildNodes().contains(favorites));

    // List timelines: own private, then own public and others' private, then others' public.
    RTTreeNode lists;
    auto list = [&](const QString &slug, bool mine, bool isPrivate) {
        auto l = std::make_shared<RTListTwitter>();
        l->setSlugName(slug);
        l->setIsMine(mine);
        l->setIsPrivate(isPrivate);
        return RTTreeNode::create<RTTreeNodeTwitterListsTimeline>(account.get(), l);
    };
    lists.addChildNodes({list("their-public", false, false), list("mine-public", true, false),
                         list("their-private", false, true), list("mine-private", true, true)});
    QStringList names;
    for (RTTreeNode *c : lists.childNodes())
        names << c->name();
    EXPECT_EQ(names, (QStringList{"mine private", "mine public", "their private", "their public"}));
    auto *shown = static_cast<RTTreeNodeTwitterListsTimeline *>(lists.childNodes().first());
    shown->listObject()->setFullName("@me/mine-private");
    shown->setInPopupHostingView(true);
    EXPECT_EQ(shown->name(), "@me/mine-private");
}

TEST_F(TreeNodeTest, UnreadNodesCountNothingAndTrackTheirReadSet)
{
    auto account = makeAccount();
    RTTreeNode node(QStringLiteral("Conversation"), account.get(), 0, {}, Predicate());
    node.registerWithOwner();
    node.setIsUnreadNode(true);
    auto a = message(account.get(), "1", 0);
    auto b = message(account.get(), "2", 0, P::IsSeen);
    node.messagesArrayControllerAddMessages({a, b});
    EXPECT_EQ(node.newMessagesCount(), 0);
    EXPECT_TRUE(node.shouldShowMessageAsNew(b)) << "the seen flag does not count here";
    node.selectionDidChange(a);
    EXPECT_FALSE(node.shouldShowMessageAsNew(a));
    node.markAllAsRead();
    EXPECT_FALSE(node.shouldShowMessageAsNew(b));
    EXPECT_FALSE(a->isSeen());
}

TEST_F(TreeNodeTest, AutoHidingNodesAppearWithMessagesOrVisibleChildren)
{
    RTTreeNode parent;
    parent.setIsAutoHiding(true);
    auto *kid = RTTreeNode::create<RTTreeNode>();
    kid->setShouldAppearInOutlineView(false);
    parent.addChildNode(kid);
    EXPECT_FALSE(parent.shouldAppearInOutlineView());
    EXPECT_TRUE(parent.isLeaf());
    kid->setShouldAppearInOutlineView(true);
    EXPECT_TRUE(parent.shouldAppearInOutlineView());
    EXPECT_FALSE(parent.isLeaf());
    kid->setShouldAppearInOutlineView(false);
    parent.messagesArrayControllerAddMessages({RTMessage::create("1")});
    EXPECT_TRUE(parent.shouldAppearInOutlineView());
    parent.setShouldAppearInOutlineView(false);
    EXPECT_FALSE(parent.shouldAppearInOutlineView());
    parent.setIsAlwaysExpandable(true);
    EXPECT_FALSE(parent.isLeaf());
}

TEST_F(TreeNodeTest, ClosingReturnsFocusAndUnregistersTheSubtree)
{
    TestNodeOwner owner;
    FakeListViewFactory views;
    auto account = makeAccount();
    RTTreeNodeTwitter home(QStringLiteral("Home"), account.get(), kHomeType, {}, Predicate());
    home.registerWithOwner();
    auto *temporary = RTTreeNode::create<RTTreeNodeTwitter>(QStringLiteral("Search"), account.get(),
                                                            35, QString(), Predicate());
    auto *inner = RTTreeNode::create<RTTreeNode>();
    temporary->addChildNode(inner);
    temporary->setReferingTreeNode(&home);
    auto m = message(account.get(), "1", 0);
    owner.allTreeNodesAddMessages({m}, 0, {});
    views.current = temporary->listViewController();
    ASSERT_TRUE(owner.nodes.contains(temporary));
    temporary->closeNode();
    EXPECT_EQ(owner.calls, QStringList{"show Home"});
    EXPECT_TRUE(views.created.last()->calls.contains("focus"));
    EXPECT_FALSE(owner.nodes.contains(temporary));
    EXPECT_TRUE(temporary->childNodes().isEmpty());
    delete temporary;
    EXPECT_FALSE(m->containedInTreeNodesSet().contains(temporary));
    EXPECT_TRUE(m->containedInTreeNodesSet().contains(&home));
}

TEST_F(TreeNodeTest, ListResizesWaitWhileTheListIsOffScreen)
{
    FakeListViewFactory views;
    RTTreeNodeTwitter node(QStringLiteral("Home"), nullptr, kHomeType, {}, Predicate());
    node.registerWithOwner();
    FakeListView *view = static_cast<FakeListView *>(node.listViewController());
    view->onScreen = false;
    node.messagesArrayControllerAddMessages({RTMessage::create("1")});
    EXPECT_EQ(view->calls, (QStringList{"resizing off", "resizing on"}));
    EXPECT_EQ(node.delayedActionsCount(), 1);
    node.performDelayedActions();
    EXPECT_EQ(view->calls.last(), "resize");
    EXPECT_EQ(node.delayedActionsCount(), 0);
}

TEST_F(TreeNodeTest, ConversationWalksTheReplyChainAndCountsOutstandingFetches)
{
    TestNodeOwner owner;
    FakeListViewFactory views;
    auto account = makeAccount();
    auto reply = [&](const char *id, const char *parent, qint64 minutes) {
        auto m = message(account.get(), id, T::IsHome, 0, minutes);
        m->setInReplyToMessageId(parent);
        m->setTemporaryFlag(T::IsFullyDownloaded);
        return m;
    };
    auto root = reply("10", "", 0);
    auto answer = reply("11", "10", 1);
    auto answerToAnswer = reply("12", "11", 2);
    auto unrelated = reply("13", "", 3);
    auto orphan = reply("20", "19", 4); // 19 is not stored
    RTServiceTwitter::MessagesDictionary stored;
    for (const auto &m : {root, answer, answerToAnswer, unrelated, orphan})
        stored.insert(m->messageId(), m);
    account->setMessagesDictionary(stored);

    EXPECT_EQ(RTTreeNodeTwitterConversation::create(nullptr), nullptr);
    auto accountless = RTMessageTwitter::create("30");
    EXPECT_EQ(RTTreeNodeTwitterConversation::create(accountless), nullptr);

    std::unique_ptr<RTTreeNodeTwitterConversation> node(
        RTTreeNodeTwitterConversation::create(answer));
    ASSERT_TRUE(node);
    EXPECT_EQ(idsOf(*node), (QSet<QString>{"10", "11", "12"}));
    EXPECT_EQ(node->getMessagesRequests(), 0u);
    EXPECT_EQ(node->newMessagesCount(), 0);
    EXPECT_TRUE(node->isUnreadNode());
    EXPECT_EQ(node->identity(), (QVariantMap{{"isTemporary", true}, {"isConversation", true}}));
    // A later answer to a message in the conversation belongs to it.
    EXPECT_TRUE(node->isMessageValid(reply("14", "12", 5), 0, {}));
    EXPECT_FALSE(node->isMessageValid(unrelated, 0, {}));

    std::unique_ptr<RTTreeNodeTwitterConversation> waiting(
        RTTreeNodeTwitterConversation::create(orphan));
    ASSERT_TRUE(waiting);
    EXPECT_EQ(waiting->getMessagesRequests(), 1u);
    EXPECT_EQ(idsOf(*waiting), QSet<QString>{"20"});
    waiting->serviceRequestFailure({});
    EXPECT_EQ(waiting->getMessagesRequests(), 0u);
    EXPECT_EQ(static_cast<FakeListView *>(waiting->listViewController())->state,
              ListViewController::StateFailed);
}

TEST_F(TreeNodeTest, SearchNodesTakeTheirSearchResultsUnmuted)
{
    auto account = makeAccount();
    auto search = RTSearchTwitter::searchWithTerm("talvo");
    auto otherSearch = RTSearchTwitter::searchWithTerm("other");
    RTTreeNodeSearch node(search);
    node.registerWithOwner();
    auto found = message(account.get(), "1", T::IsSearch);
    auto mutedFound = message(account.get(), "2", T::IsSearch, P::IsMuted);
    auto elsewhere = message(account.get(), "3", T::IsSearch);
    search->addMessagesToMessagesSet({found, mutedFound});
    const QVariantMap mine{{"searchObject", QVariant::fromValue(search)}};
    const QVariantMap theirs{{"searchObject", QVariant::fromValue(otherSearch)}};
    EXPECT_TRUE(node.isMessageValid(found, 35, {}));
    EXPECT_FALSE(node.isMessageValid(mutedFound, 35, {}));
    EXPECT_FALSE(node.isMessageValid(elsewhere, 35, {}));
    EXPECT_TRUE(node.isMessageValid(elsewhere, 35, mine));
    EXPECT_FALSE(node.isMessageValid(found, 35, theirs));
    EXPECT_EQ(node.sortWeight(), 10);
    EXPECT_EQ(node.menu(), nullptr) << "only a search under a host has a menu";
}

TEST_F(TreeNodeTest, AReplyLoopInBadDataEndsTheWalk)
{
    auto account = makeAccount();
    auto a = message(account.get(), "1", T::IsHome, 0, 0);
    auto b = message(account.get(), "2", T::IsHome, 0, 1);
    a->setInReplyToMessageId("2");
    b->setInReplyToMessageId("1");
    for (const auto &m : {a, b})
        m->setTemporaryFlag(T::IsFullyDownloaded);
    account->setMessagesDictionary({{"1", a}, {"2", b}});
    std::unique_ptr<RTTreeNodeTwitterConversation> node(RTTreeNodeTwitterConversation::create(a));
    ASSERT_TRUE(node);
    EXPECT_EQ(idsOf(*node), (QSet<QString>{"1", "2"}));
    EXPECT_EQ(node->getMessagesRequests(), 0u);
}

TEST_F(TreeNodeTest, DeletingAsksFirstAndHappensOnce)
{
    TestNodeOwner owner;
    FakePlatform platform;
    auto account = makeAccount();
    auto myself = RTUserTwitter::create("1");
    myself->setScreenName("alice");
    account->setMyself(myself);

    RTTreeNodeTwitter root(account.get());
    root.registerWithOwner();
    const qsizetype children = root.childNodes().size();
    // Cancel: the account and its node stay as they were, and may be deleted later.
    platform.alertAnswer = 0;
    root.deleteSelf();
    ASSERT_EQ(platform.calls.size(), 1);
    EXPECT_TRUE(platform.calls[0].startsWith("alert Delete Service"));
    EXPECT_TRUE(platform.calls[0].endsWith("[Cancel|Delete]"));
    EXPECT_FALSE(root.isDeleted());
    EXPECT_EQ(root.childNodes().size(), children);
    EXPECT_TRUE(owner.nodes.contains(&root));
    // Delete: the node closes at once.
    platform.alertAnswer = 1;
    root.deleteSelf();
    EXPECT_TRUE(root.isDeleted());
    EXPECT_TRUE(root.childNodes().isEmpty());
    EXPECT_FALSE(owner.nodes.contains(&root));
    platform.calls.clear();
    root.deleteSelf();
    EXPECT_TRUE(platform.calls.isEmpty()) << "asked once";
    platform.alertAnswer = 0;

    int removed = 0;
    RTTreeNodeTwitterGroup::setCompanion(
        {[] { return true; }, nullptr, [&removed](RTTreeNodeTwitterGroup *) { ++removed; }});
    RTTreeNodeTwitterGroup group(account.get(), "Friends");
    group.registerWithOwner();
    EXPECT_TRUE(group.menu()->itemWithTag(2)->enabled);
    platform.calls.clear();
    group.deleteSelf();
    EXPECT_TRUE(platform.calls[0].contains("remove the group Friends from @alice?"));
    EXPECT_FALSE(group.isDeleted());
    platform.alertAnswer = 1;
    group.deleteSelf();
    group.deleteSelf();
    EXPECT_TRUE(group.isDeleted());
    EXPECT_EQ(removed, 1);
    RTTreeNodeTwitterGroup::setCompanion({});
    EXPECT_FALSE(group.menu()->itemWithTag(2)->enabled);
}

TEST_F(TreeNodeTest, AReplacedPredicateIsReleased)
{
    TestNodeOwner owner;
    // A node's predicate changes with every new reference; old ones must not pile up.
    QString token = QStringLiteral("held only by the first predicate");
    token.detach();
    RTTreeNode node(QStringLiteral("node"), nullptr, 0, QString(),
                    Predicate::compare(QStringLiteral("messageId"), Predicate::Op::Equal,
                                       PredicateValue::string(token)));
    node.registerWithOwner();
    EXPECT_TRUE(token.data_ptr().isShared());
    for (int i = 0; i < 3; ++i)
        node.setValidMessagePredicate(RTPredicates::flag("isHome", i % 2 == 0));
    EXPECT_FALSE(token.data_ptr().isShared());
}

TEST_F(TreeNodeTest, PagingThatSendsNothingDoesNotKeepTheListLoading)
{
    FakeListViewFactory views;
    auto account = makeAccount();
    auto list = std::make_shared<RTListTwitter>(QStringLiteral("5"));
    auto busyList = std::make_shared<RTListTwitter>(QStringLiteral("6"));
    busyList->setIsPolling(true);
    const struct
    {
        const char *what;
        std::function<RTTreeNode *()> make;
        const char *oldestId;
    } cases[] = {
        {"empty timeline",
         [&] {
             return RTTreeNode::create<RTTreeNodeTwitter>(QStringLiteral("Home"), account.get(),
                                                          kHomeType, QString(), Predicate());
         },
         nullptr},
        {"id 0",
         [&] {
             return RTTreeNode::create<RTTreeNodeTwitter>(QStringLiteral("Home"), account.get(),
                                                          kHomeType, QString(), Predicate());
         },
         "0"},
        {"no account",
         [&] {
             return RTTreeNode::create<RTTreeNodeTwitter>(QStringLiteral("Home"), nullptr,
                                                          kHomeType, QString(), Predicate());
         },
         "50"},
        {"empty list",
         [&] { return RTTreeNode::create<RTTreeNodeTwitterListsTimeline>(account.get(), list); },
         nullptr},
        {"list already polling",
         [&] {
             return RTTreeNode::create<RTTreeNodeTwitterListsTimeline>(account.get(), busyList);
         },
         "50"},
        {"search without a query",
         [&] { return RTTreeNode::create<RTTreeNodeSearch>(std::make_shared<RTSearchTwitter>()); },
         "50"},
    };
    for (const auto &c : cases) {
        std::unique_ptr<RTTreeNode> node(c.make());
        if (c.oldestId)
            node->messagesArrayControllerAddMessages({message(account.get(), c.oldestId, 0)});
        ASSERT_TRUE(node->listViewController()) << c.what;
        node->pollForOlderTweets();
        EXPECT_NE(views.created.last()->state, ListViewController::StateLoadingOlder) << c.what;
    }
    // Something to ask for: the list shows it is loading.
    RTTreeNodeTwitter home(QStringLiteral("Home"), account.get(), kHomeType, {}, Predicate());
    home.registerWithOwner();
    home.messagesArrayControllerAddMessages({message(account.get(), "50", 0)});
    ASSERT_TRUE(home.listViewController());
    home.pollForOlderTweets();
    EXPECT_EQ(views.created.last()->state, ListViewController::StateLoadingOlder);
}

TEST_F(TreeNodeTest, NodesRegisterOnceBuiltAndUnregisterBeforeTheirMembersGo)
{
    TestNodeOwner owner;
    auto account = makeAccount();
    auto root = message(account.get(), "10", T::IsHome);
    auto answer = message(account.get(), "11", T::IsHome);
    answer->setInReplyToMessageId("10");
    RTServiceTwitter::MessagesDictionary stored;
    stored.insert("10", root);
    stored.insert("11", answer);
    account->setMessagesDictionary(stored);
    auto list = std::make_shared<RTListTwitter>(QStringLiteral("7"));
    struct Row
    {
        const char *className;
        std::function<RTTreeNode *()> make;
    };
    const std::vector<Row> rows = {
        {"RTTreeNodeTwitter", [&] { return RTTreeNode::create<RTTreeNodeTwitter>(account.get()); }},
        {"RTTreeNodeTwitterDirect",
         [&] {
             return RTTreeNode::create<RTTreeNodeTwitterDirect>(
                 QStringLiteral("Inbox"), account.get(), 11, QString(), Predicate());
         }},
        {"RTTreeNodeSearch",
         [] { return RTTreeNode::create<RTTreeNodeSearch>(std::make_shared<RTSearchTwitter>()); }},
        {"RTTreeNodeTwitterListsTimeline",
         [&] { return RTTreeNode::create<RTTreeNodeTwitterListsTimeline>(account.get(), list); }},
        {"RTTreeNodeTwitterConversation",
         [&] { return RTTreeNodeTwitterConversation::create(answer); }},
        {"RTTreeNodeMutes",
         [] {
             return RTTreeNode::create<RTTreeNodeMutes>(QStringLiteral("Muted"), nullptr,
                                                        RTTreeNodeRequestType::Mutes, QString(),
                                                        Predicate());
         }},
        {"RTTreeNodeTwitterGroupUngrouped",
         [&] { return RTTreeNode::create<RTTreeNodeTwitterGroupUngrouped>(account.get()); }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.className);
        owner.registeredAs.clear();
        owner.unregisteredAs.clear();
        std::unique_ptr<RTTreeNode> node(row.make());
        ASSERT_TRUE(node);
        EXPECT_TRUE(node->isRegisteredWithOwner());
        // Children register first, the node itself last.
        ASSERT_FALSE(owner.registeredAs.isEmpty());
        EXPECT_EQ(owner.registeredAs.last(), QLatin1String(row.className));
        EXPECT_EQ(owner.nodes.count(node.get()), 1);
        node.reset();
        ASSERT_FALSE(owner.unregisteredAs.isEmpty());
        EXPECT_EQ(owner.unregisteredAs.first(), QLatin1String(row.className));
        EXPECT_EQ(owner.registeredAs.size(), owner.unregisteredAs.size());
        EXPECT_TRUE(owner.nodes.isEmpty());
    }
}

#include "timelines/RTTreeNodeTwitter.h"

#include "foundation/Localization.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RTGlobalVariables.h"
#include "model/RTMessageTwitter.h"
#include "network/RTRequestOperation.h"
#include "timelines/RTTreeNodeMenuActions.h"
#include "timelines/RTTreeNodeOwner.h"
#include "timelines/RTTreeNodePredicates.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterRequestTypes.h"

namespace {

RTTreeNodeTwitter::PopupHostFactory &popupHostFactory()
{
    static RTTreeNodeTwitter::PopupHostFactory factory;
    return factory;
}

// Forwards the answers of a node's own requests while the node lives.
class NodeRequestDelegate : public RTRequestDelegate
{
public:
    explicit NodeRequestDelegate(RTTreeNodeTwitter *node)
        : m_node(node)
    {
    }
    void serviceRequestSuccess(const QVariantMap &result) override
    {
        if (m_node)
            m_node->serviceRequestSuccess(result);
    }
    void serviceRequestFailure(const QVariantMap &result) override
    {
        if (m_node)
            m_node->serviceRequestFailure(result);
    }

private:
    QPointer<RTTreeNodeTwitter> m_node;
};

QString title(int number)
{
    return localizedString(QStringLiteral("##RTTreeNodeTwitter:%1##").arg(number));
}

template<class T> void appendAll(QList<RTMessagePtr> &out, const QVariant &value)
{
    for (const auto &m : value.value<QList<T>>())
        if (m)
            out.append(m);
}

} // namespace

namespace RTMessageActionTags {
const QList<qint32> &timeline()
{
    static const QList<qint32> tags{202, 204, 702, 203, 111, 909, 701, 117, 201,
                                    903, 802, 112, 901, 910, 918, 923, 118, 906,
                                    905, 114, 907, 912, 908, 116, 914, 913, 904};
    return tags;
}
const QList<qint32> &sent()
{
    static const QList<qint32> tags{802, 801, 112, 914, 913, 904};
    return tags;
}
const QList<qint32> &inbox()
{
    static const QList<qint32> tags{202, 111, 903, 802, 801, 112, 907, 912, 908};
    return tags;
}
const QList<qint32> &outbox()
{
    static const QList<qint32> tags{802, 112, 907, 912};
    return tags;
}
const QList<qint32> &userIcon()
{
    static const QList<qint32> tags{901, 910, 923, 118, 906, 905, 114, 101, 501, 401, 301};
    return tags;
}
} // namespace RTMessageActionTags

QList<RTMessagePtr> messagesInResult(const QVariantMap &result)
{
    QList<RTMessagePtr> messages;
    for (const QString &key :
         {QString::fromLatin1(kRTAllRequestMessagesKey), QStringLiteral("messages")}) {
        const QVariant value = result.value(key);
        if (!value.isValid())
            continue;
        appendAll<RTMessageTwitterPtr>(messages, value);
        appendAll<RTMessagePtr>(messages, value);
        if (auto one = value.value<RTMessageTwitterPtr>())
            messages.append(one);
        if (!messages.isEmpty())
            break;
    }
    return messages;
}

QVariantMap userInfoInResult(const QVariantMap &result)
{
    return result.value(QString::fromLatin1(kRTUserInfoKey)).toMap();
}

void RTTreeNodeTwitter::setPopupHostFactory(PopupHostFactory factory)
{
    popupHostFactory() = std::move(factory);
}

RTTreeNodeTwitter::RTTreeNodeTwitter(const QString &name, RTService *service, qint32 requestType,
                                     const QString &imageName, const Predicate &validMsgPredicate)
    : RTTreeNode(name, service, requestType, imageName, validMsgPredicate)
{
}

RTTreeNodeTwitter::RTTreeNodeTwitter(RTServiceTwitter *account)
    : RTTreeNode(account ? account->serviceId() : QString(), account,
                 RTTreeNodeRequestType::AccountRoot, QStringLiteral("myself.profileImage"),
                 Predicate::falsePredicate())
{
    setIsCombinedNode(true);
    if (!account)
        return;
    buildChildren(account);
    connect(account, &RTServiceTwitter::showNodesChanged, this,
            &RTTreeNodeTwitter::applyShowSettings);
    connect(account, &RTServiceTwitter::homeContentsChanged, this,
            &RTTreeNodeTwitter::rebuildHomePredicate);
    QPointer<RTTreeNodeTwitter> self(this);
    auto &center = NotificationCenter::defaultCenter();
    m_notificationIds << center.addObserver(
        QString::fromLatin1(RTHomeReferenceMessageIdNotification),
        [self](const void *object, const QVariantMap &) {
            if (self)
                self->newHomeReferenceMessageId(object);
        });
    m_notificationIds << center.addObserver(
        QString::fromLatin1(RTSentReferenceMessageIdNotification),
        [self](const void *object, const QVariantMap &) {
            if (self)
                self->newSentReferenceMessageId(object);
        });
}

RTTreeNodeTwitter::~RTTreeNodeTwitter()
{
    unregisterFromOwner();
    for (int id : std::as_const(m_notificationIds))
        NotificationCenter::defaultCenter().removeObserver(id);
}

void RTTreeNodeTwitter::buildChildren(RTServiceTwitter *account)
{
    auto timeline = [account](int key, const char *icon, qint32 type, const Predicate &p,
                              const QList<qint32> *items) {
        auto *node = create<RTTreeNodeTwitter>(title(key), account, type, QLatin1String(icon), p);
        node->setMenuItems(items);
        return node;
    };
    auto host = [account](qint32 type) -> RTTreeNode * {
        if (popupHostFactory())
            return popupHostFactory()(account, type);
        return create<RTTreeNode>(QString(), account, type, QString(), Predicate::falsePredicate());
    };
    const QList<qint32> *shared = &RTMessageActionTags::timeline();
    auto *combined = timeline(24, "node_combined", RTTreeNodeRequestType::Combined,
                              RTPredicates::combined(account), nullptr);
    combined->setIsCombinedNode(true);
    auto *home =
        timeline(7, "node_home", RTTwitterRequestHomeTimeline, RTPredicates::home(account), shared);
    auto *mentions = timeline(8, "node_mentions", RTTwitterRequestMentions,
                              RTPredicates::mentions(account), shared);
    auto *retweets = timeline(16, "node_retweets", RTTwitterRequestRetweetedToMe,
                              RTPredicates::retweets(account), shared);
    RTTreeNode *lists = host(RTTwitterRequestListSubscriptions);
    auto *favorites = timeline(10, "node_favorites", RTTwitterRequestFavorites,
                               RTPredicates::favorites(account), shared);
    auto *sent = timeline(9, "node_sent", RTTwitterRequestSentTimeline, RTPredicates::sent(account),
                          &RTMessageActionTags::sent());
    auto *direct = timeline(21, "node_direct", RTTreeNodeRequestType::Direct,
                            RTPredicates::direct(account), nullptr);
    direct->setIsCombinedNode(true);
    auto *inbox = create<RTTreeNodeTwitterDirect>(title(22), account, RTTwitterRequestDirectInbox,
                                                  QStringLiteral("node_direct_inbox"),
                                                  RTPredicates::inbox(account));
    inbox->setMenuItems(&RTMessageActionTags::inbox());
    auto *outbox = create<RTTreeNodeTwitterDirect>(title(23), account, RTTwitterRequestDirectOutbox,
                                                   QStringLiteral("node_direct_outbox"),
                                                   RTPredicates::outbox(account));
    outbox->setMenuItems(&RTMessageActionTags::outbox());
    direct->addChildNodes({inbox, outbox});
    RTTreeNode *groups = host(RTTwitterRequestUserTimeline);
    RTTreeNode *searches = host(RTTwitterRequestSearch);
    addChildNodes(
        {combined, home, mentions, retweets, lists, favorites, sent, direct, groups, searches});
    // Visibility follows the account's settings from the start.
    combined->setShouldAppearInOutlineView(account->showCombinedNode());
    retweets->setShouldAppearInOutlineView(account->showRetweetsNode());
    lists->setShouldAppearInOutlineView(account->showListsNode());
    favorites->setShouldAppearInOutlineView(account->showFavoritesNode());
    groups->setShouldAppearInOutlineView(account->showGroupsNode());
    searches->setShouldAppearInOutlineView(account->showSearchesNode());
}

RTServiceTwitter *RTTreeNodeTwitter::twitterAccount() const
{
    return qobject_cast<RTServiceTwitter *>(service());
}

bool RTTreeNodeTwitter::isAccountRoot() const
{
    return requestType() == RTTreeNodeRequestType::AccountRoot;
}

int RTTreeNodeTwitter::menuItemsCount() const
{
    return m_menuItems ? int(m_menuItems->size()) : -1;
}

QString RTTreeNodeTwitter::nodeViewClass() const
{
    return QStringLiteral("RTTwitterListView");
}

QVariantMap RTTreeNodeTwitter::identity() const
{
    return {{QStringLiteral("serviceName"), QStringLiteral("TWITTER")},
            {QStringLiteral("nodeName"), name()},
            {QStringLiteral("serviceId"), service() ? service()->serviceId() : QString()}};
}

int RTTreeNodeTwitter::defaultListState() const
{
    if (m_isEmpty || requestType() == RTTreeNodeRequestType::Direct)
        return ListViewController::StateEmpty;
    return ListViewController::StateDefault;
}

bool RTTreeNodeTwitter::canPollForOlderTweets() const
{
    const qint32 type = requestType();
    return type != RTTreeNodeRequestType::Direct && type != RTTwitterRequestFavorites &&
           type != RTTreeNodeRequestType::Combined && type != RTTreeNodeRequestType::AccountRoot;
}

QString RTTreeNodeTwitter::maxIdBelow(const QList<RTMessagePtr> &displayed)
{
    if (displayed.isEmpty())
        return {};
    bool ok = false;
    const quint64 oldest = displayed.last()->messageId().toULongLong(&ok);
    // Ids are unsigned 64-bit: a failed parse or id 0 has no page below it.
    if (!ok || oldest == 0)
        return {};
    return QString::number(oldest - 1);
}

void RTTreeNodeTwitter::pollForOlderTweets()
{
    ListViewController *view = listViewController();
    if (view && view->listviewState() == ListViewController::StateFailed)
        return;
    if (m_polledAllPossibleMessages) {
        setListviewState(ListViewController::StateNoOlderMessages);
        return;
    }
    setListviewState(ListViewController::StateLoadingOlder);
    // A page that cannot be asked for would leave the list loading for ever.
    if (!requestOlderPage(maxIdBelow(displayedMessages())))
        setListviewState(defaultListState());
}

bool RTTreeNodeTwitter::requestOlderPage(const QString &maxId)
{
    RTServiceTwitter *account = twitterAccount();
    return account && !maxId.isEmpty() &&
           account->pollForOlderTweetsOfRequestType(requestType(), maxId, requestDelegate());
}

std::shared_ptr<RTRequestDelegate> RTTreeNodeTwitter::requestDelegate()
{
    if (!m_requestDelegate)
        m_requestDelegate = std::make_shared<NodeRequestDelegate>(this);
    return m_requestDelegate;
}

bool RTTreeNodeTwitter::handleOlderTweetsResult(const QVariantMap &result, bool success)
{
    if (!userInfoInResult(result).contains(QStringLiteral("pollForOlderTweets")))
        return false;
    if (!success) {
        // Left as it was, so the user can try again.
        setListviewState(ListViewController::StateFailed);
        return true;
    }
    const QList<RTMessagePtr> messages = messagesInResult(result);
    if (messages.isEmpty()) {
        m_polledAllPossibleMessages = true;
        setListviewState(ListViewController::StateNoOlderMessages);
        return true;
    }
    bool unhid = false;
    for (const RTMessagePtr &message : messages) {
        if (message->isHidden()) {
            message->markHidden(false);
            unhid = true;
        }
    }
    if (unhid) {
        if (ListViewController *view = existingListViewController())
            view->resizeViews();
    }
    return true;
}

void RTTreeNodeTwitter::serviceRequestSuccess(const QVariantMap &result)
{
    handleOlderTweetsResult(result, true);
}

void RTTreeNodeTwitter::serviceRequestFailure(const QVariantMap &result)
{
    handleOlderTweetsResult(result, false);
}

void RTTreeNodeTwitter::reload()
{
    if (RTServiceTwitter *account = twitterAccount())
        account->pollTimelineSince(QString(), QVariant(), requestType(), QVariantMap());
}

RTTreeNode *RTTreeNodeTwitter::nodeWithRequestType(qint32 type) const
{
    return getChildByRequestType(type);
}

void RTTreeNodeTwitter::nodeWithRequestType(qint32 type, bool shouldShow)
{
    RTTreeNode *child = getChildByRequestType(type);
    if (!child || child->shouldAppearInOutlineView() == shouldShow)
        return;
    RTTreeNodeOwner *nodeOwner = owner();
    if (!shouldShow && nodeOwner)
        nodeOwner->nodeWillHide(child);
    child->setShouldAppearInOutlineView(shouldShow);
    if (nodeOwner)
        nodeOwner->reloadOutline();
}

void RTTreeNodeTwitter::applyShowSettings()
{
    RTServiceTwitter *account = twitterAccount();
    if (!account || !isAccountRoot())
        return;
    nodeWithRequestType(RTTreeNodeRequestType::Combined, account->showCombinedNode());
    nodeWithRequestType(RTTwitterRequestListSubscriptions, account->showListsNode());
    nodeWithRequestType(RTTwitterRequestFavorites, account->showFavoritesNode());
    nodeWithRequestType(RTTwitterRequestSearch, account->showSearchesNode());
    nodeWithRequestType(RTTwitterRequestUserTimeline, account->showGroupsNode());
    nodeWithRequestType(RTTwitterRequestRetweetedToMe, account->showRetweetsNode());
}

void RTTreeNodeTwitter::rebuildHomePredicate()
{
    RTServiceTwitter *account = twitterAccount();
    if (!account || !isAccountRoot())
        return;
    if (RTTreeNode *home = getChildByRequestType(RTTwitterRequestHomeTimeline))
        home->setValidMessagePredicate(RTPredicates::home(account));
}

void RTTreeNodeTwitter::newHomeReferenceMessageId(const void *object)
{
    RTServiceTwitter *account = twitterAccount();
    if (!account || !isAccountRoot() || object != static_cast<const void *>(account))
        return;
    if (RTTreeNode *combined = getChildByRequestType(RTTreeNodeRequestType::Combined))
        combined->setValidMessagePredicate(RTPredicates::combined(account));
    rebuildHomePredicate();
}

void RTTreeNodeTwitter::newSentReferenceMessageId(const void *object)
{
    RTServiceTwitter *account = twitterAccount();
    if (!account || !isAccountRoot() || object != static_cast<const void *>(account))
        return;
    if (RTTreeNode *sent = getChildByRequestType(RTTwitterRequestSentTimeline))
        sent->setValidMessagePredicate(RTPredicates::sent(account));
}

RTNodeMenu *RTTreeNodeTwitter::menu()
{
    if (isAccountRoot()) // the root holds no messages of its own
        return nullptr;
    if (!m_nodeMenu) {
        m_nodeMenu = std::make_unique<RTNodeMenu>();
        m_nodeMenu->title = QStringLiteral("twitter menu");
        RTTreeNodeMenuActions::addMessageItems(*m_nodeMenu, *this,
                                               QStringLiteral("RTTreeNodeTwitter"), 25);
    }
    return m_nodeMenu.get();
}

void RTTreeNodeTwitter::menuNeedsUpdate(RTNodeMenu &nodeMenu)
{
    RTTreeNodeMenuActions::updateMessageItems(nodeMenu, displayedMessages());
}

#include "timelines/RTTreeNodeManager.h"

#include "accounts/RTServiceProtocols.h"
#include "accounts/RTServiceRegistry.h"
#include "accounts/RTServiceTalvo.h"
#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "model/RTMessageDataSource.h"
#include "model/RTMessageTwitter.h"
#include "timelines/RTReceivedMessageAlerts.h"
#include "timelines/RTTreeNodeAllFilteredMessages.h"
#include "timelines/RTTreeNodeKinds.h"
#include "timelines/RTTreeNodePopupHost.h"
#include "timelines/RTTreeNodePopupHostTwitterGroupsParent.h"
#include "timelines/RTTreeNodePredicates.h"
#include "timelines/RTTreeNodeSearch.h"
#include "timelines/RTTreeNodeTwitter.h"
#include "timelines/RTTreeNodeTwitterListsTimeline.h"
#include "timelines/RTUnseenCountIndicators.h"
#include "twitter/RTSearcher.h"
#include "twitter/RTServiceTwitter.h"

#include <QHash>
#include <QTimer>
#include <algorithm>
#include <exception>

namespace {

constexpr qint32 kSearchRequestType = 35;

QHash<QString, RTTreeNodeManager::NodeFactory> &nodeFactories()
{
    static QHash<QString, RTTreeNodeManager::NodeFactory> factories;
    return factories;
}

RTTreeNodeManager *g_sharedManager = nullptr;

RTTreeNode *asTreeNode(RTMessageHolder *holder)
{
    return dynamic_cast<RTTreeNode *>(holder);
}

struct FactsOf
{
    const RTMessagePtr *message;
    RTMessageFacts facts;
};

// The facts of the non-null messages of a batch, read once for every node.
std::vector<FactsOf> factsOf(const QList<RTMessagePtr> &messages)
{
    std::vector<FactsOf> facts;
    facts.reserve(size_t(messages.size()));
    for (const RTMessagePtr &message : messages)
        if (message)
            facts.push_back({&message, RTMessageFacts(*message)});
    return facts;
}

// Which of a batch's judged nodes hold a message: the holders are read once per message
// and looked up by address, instead of searching them once per node.
class HeldBy
{
public:
    explicit HeldBy(const std::vector<RTTreeNode *> &nodes)
        : m_held(nodes.size(), 0)
    {
        size_t capacity = 16;
        while (capacity < nodes.size() * 2)
            capacity *= 2;
        m_slots.assign(capacity, {nullptr, 0});
        for (size_t i = 0; i < nodes.size(); ++i) {
            const RTMessageHolder *key = nodes[i];
            size_t s = slotOf(key);
            while (m_slots[s].key)
                s = (s + 1) & (m_slots.size() - 1);
            m_slots[s] = {key, i};
        }
    }
    // Reads the message's holders; false when it has none.
    bool read(const RTMessage &message)
    {
        for (size_t i : m_set)
            m_held[i] = 0;
        m_set.clear();
        const RTMessage::TreeNodeList holders = message.containingTreeNodes();
        for (const RTMessageHolder *holder : holders) {
            size_t s = slotOf(holder);
            while (m_slots[s].key && m_slots[s].key != holder)
                s = (s + 1) & (m_slots.size() - 1);
            if (m_slots[s].key) {
                m_held[m_slots[s].index] = 1;
                m_set.push_back(m_slots[s].index);
            }
        }
        return !holders.isEmpty();
    }
    [[nodiscard]] bool held(size_t node) const { return m_held[node] != 0; }

private:
    struct Slot
    {
        const RTMessageHolder *key;
        size_t index;
    };
    [[nodiscard]] size_t slotOf(const RTMessageHolder *key) const
    {
        return size_t((quintptr(key) >> 4) * 0x9E3779B97F4A7C15ull >> 40) & (m_slots.size() - 1);
    }
    std::vector<Slot> m_slots;
    std::vector<quint8> m_held;
    std::vector<size_t> m_set;
};

bool isHeldBy(const RTMessagePtr &message, const RTTreeNode *node)
{
    return message->isContainedInTreeNode(static_cast<const RTMessageHolder *>(node));
}

bool rootLessThan(const RTTreeNode *a, const RTTreeNode *b)
{
    if (a->sortWeight() != b->sortWeight())
        return a->sortWeight() < b->sortWeight();
    return a->name() < b->name();
}

const char *const kCombinedSettings[] = {RTShowCombinedAllKey,       RTShowCombinedRetweetsKey,
                                         RTShowCombinedFavoritesKey, RTShowCombinedListsKey,
                                         RTShowCombinedGroupsKey,    RTShowCombinedSearchesKey};

// The node classes of this layer; others may replace them (tests register their own).
void registerDefaultNodeClasses()
{
    static const bool registered = [] {
        QHash<QString, RTTreeNodeManager::NodeFactory> &factories = nodeFactories();
        if (!factories.contains(QStringLiteral("RTTreeNodeTwitter"))) {
            factories.insert(QStringLiteral("RTTreeNodeTwitter"),
                             [](const RTServicePtr &service) -> RTTreeNode * {
                                 auto *account = qobject_cast<RTServiceTwitter *>(service.get());
                                 return account ? RTTreeNode::create<RTTreeNodeTwitter>(account)
                                                : nullptr;
                             });
        }
        RTTreeNodeTwitter::setPopupHostFactory([](RTServiceTwitter *account,
                                                  qint32 requestType) -> RTTreeNode * {
            switch (requestType) {
            case 41:
                return RTTreeNodePopupHost::twitterListsPopupHostWithService(account);
            case 35:
                return RTTreeNodePopupHost::twitterSearchesPopupHostWithService(account);
            case 2:
                return RTTreeNodePopupHostTwitterGroupsParent::twitterGroupsPopupHostWithService(
                    account);
            default:
                return nullptr;
            }
        });
        return true;
    }();
    Q_UNUSED(registered);
}

} // namespace

void RTTreeNodeManager::registerTreeNodeClass(const QString &className, NodeFactory factory)
{
    nodeFactories().insert(className, std::move(factory));
}

RTTreeNode *RTTreeNodeManager::createTreeNodeOfClass(const QString &className,
                                                     const RTServicePtr &service)
{
    const NodeFactory factory = nodeFactories().value(className);
    return factory ? factory(service) : nullptr;
}

RTTreeNodeManager::RTTreeNodeManager(RTServiceRegistry &registry, QObject *parent)
    : QObject(parent)
    , m_registry(registry)
{
    registerDefaultNodeClasses();
    RTTreeNodeOwner::setShared(this);
    RTTreeNodeManagerInterface::setShared(this);
    m_registry.setNodeManager(this);

    m_systemWideCountNode =
        RTTreeNode::create<RTTreeNode>(QStringLiteral("AllMessages"), nullptr, 0, QString(),
                                       systemWideCountNodeValidMessagePredicate());
    m_systemWideCountNode->setIsCombinedNode(true);
    m_statusIconCountNode =
        RTTreeNode::create<RTTreeNode>(QStringLiteral("statusIconMessages"), nullptr, 0, QString(),
                                       statusIconNodeValidMessagePredicate());
    m_statusIconCountNode->setIsCombinedNode(true);

    RTTreeNodePopupHost::setRegistry(&m_registry);
    RTTreeNodePopupHost::setSectionSource([this](RTService *account, const QString &keyPath) {
        return sectionsOfService(account, keyPath);
    });
    initNodes();
    initCombinedViewTreeNodes();
    // The searcher re-runs the temporary search a window shows on its own.
    RTSearcher::setCurrentSearchSource([]() -> RTSearchTwitterPtr {
        if (!RTMainWindowNodeHost::hasShared())
            return nullptr;
        RTMainWindowNodeHost &window = RTMainWindowNodeHost::shared();
        const QList<RTTreeNode *> shown = window.temporaryNodes();
        if (window.temporaryNodeHolder() != RTMainWindowNodeHost::TemporaryNodeHolder::SingleNode ||
            shown.size() != 1)
            return nullptr;
        auto *search = qobject_cast<RTTreeNodeSearch *>(shown.first());
        return search && search->isTemporary() ? search->searchObject() : nullptr;
    });

    SettingsStore &settings = SettingsStore::shared();
    m_settingsConnections.append(connect(&settings, &SettingsStore::valueChanged, this,
                                         [this](const QString &key, const QVariant &) {
                                             for (const char *combinedKey : kCombinedSettings) {
                                                 if (key == QLatin1String(combinedKey)) {
                                                     emit combinedToolbarTreeNodesChanged();
                                                     return;
                                                 }
                                             }
                                         }));
    connect(&m_registry, &RTServiceRegistry::servicesChanged, this, [this] {
        dropSectionsOfRemovedAccounts();
        const bool hasAccounts =
            !m_registry.servicesConformingTo<RTMessageReceivingProtocol>().isEmpty();
        for (RTTreeNode *node : std::as_const(m_combinedToolbarTreeNodes))
            if (auto *view = qobject_cast<RTTreeNodeAllFilteredMessages *>(node))
                view->servicesChanged(hasAccounts);
    });
    m_isBatchChangingNewCount = false;
    m_countIndicators = new RTUnseenCountIndicators(*this);
    m_receivedMessageAlerts = std::make_unique<RTReceivedMessageAlerts>(*this);
}

RTTreeNodeManager::~RTTreeNodeManager()
{
    m_destroying = true;
    delete m_countIndicators;
    m_countIndicators = nullptr;
    m_receivedMessageAlerts.reset();
    RTSearcher::setCurrentSearchSource({});
    RTTreeNodePopupHost::setSectionSource({});
    RTTreeNodePopupHost::setRegistry(nullptr);
    for (const QMetaObject::Connection &c : std::as_const(m_settingsConnections))
        disconnect(c);
    if (m_registry.nodeManager() == this)
        m_registry.setNodeManager(nullptr);
    qDeleteAll(m_combinedToolbarTreeNodes);
    m_combinedToolbarTreeNodes.clear();
    const QList<RTTreeNode *> roots = m_rootNodes;
    m_rootNodes.clear();
    qDeleteAll(roots);
    delete m_systemWideCountNode;
    delete m_statusIconCountNode;
    m_sections.clear();
    if (RTTreeNodeOwner::hasShared() && &RTTreeNodeOwner::shared() == this)
        RTTreeNodeOwner::setShared(nullptr);
    if (RTTreeNodeManagerInterface::hasShared() && &RTTreeNodeManagerInterface::shared() == this)
        RTTreeNodeManagerInterface::setShared(nullptr);
    if (g_sharedManager == this)
        g_sharedManager = nullptr;
}

RTTreeNodeManager &RTTreeNodeManager::sharedManager()
{
    if (!g_sharedManager)
        g_sharedManager = new RTTreeNodeManager(RTServiceRegistry::shared());
    return *g_sharedManager;
}

RTTreeNodeManager *RTTreeNodeManager::existingSharedManager()
{
    return g_sharedManager;
}

// --- the tree ---------------------------------------------------------------------------

void RTTreeNodeManager::initNodes()
{
    for (const RTServicePtr &service :
         m_registry.servicesConformingTo<RTMessageReceivingProtocol>()) {
        addNodeWithService(service, false);
        if (!service->treeNodeClass().isEmpty())
            observePredicateForHomeNode(service);
    }

    const QList<std::shared_ptr<RTServiceTalvo>> companions =
        m_registry.allServicesOfSameClass<RTServiceTalvo>();
    RTService *companion = companions.isEmpty() ? nullptr : companions.first().get();
    auto *talvo = RTTreeNode::create<RTTreeNodeTalvo>(companion);
    auto *trends = RTTreeNode::create<RTTreeNodeTrend>(
        localizedString("##RTTreeNodeManager:2##"), companion, 0, QStringLiteral("twitter_16"),
        RTPredicates::serviceIs(companion) &&
            Predicate::compare(QStringLiteral("trendType"), Predicate::Op::Equal,
                               PredicateValue::integer(0)));
    trends->setShouldAppearInOutlineView(false);
    auto *muted = RTTreeNode::create<RTTreeNodeMutes>(
        localizedString("##RTTreeNodeManager:3##"), nullptr, RTTreeNodeRequestType::Mutes,
        QStringLiteral("node_muted"), RTPredicates::flag("isMuted", true));
    muted->setShouldAppearInOutlineView(true);
    muted->setIsAutoHiding(false);
    muted->setIsUnreadNode(true);
    talvo->addChildNodes({trends, muted});
    addRootNode(talvo);

    // The placeholder counts itself and the roots the outline shows.
    addRootNode(RTTreeNode::create<RTTreeNodeEmpty>([this] {
        int shown = 1;
        for (RTTreeNode *root : std::as_const(m_rootNodes))
            if (!root->inherits("RTTreeNodeEmpty") && root->shouldAppearInOutlineView())
                ++shown;
        return shown;
    }));
    arrangeRootNodes();
}

void RTTreeNodeManager::initCombinedViewTreeNodes()
{
    const auto f = [](const char *name, bool value) { return RTPredicates::flag(name, value); };
    struct View
    {
        Predicate filter;
        const char *titleKey;
        const char *image;
        qint32 requestType;
        const char *setting; // nullptr: always shown
        RTTreeNodeAllFilteredMessages::ReferencedPredicate format;
    };
    const Predicate allBase = f("isMuted", false);
    const Predicate homeBase =
        Predicate::andPredicate({f("isHome", true), f("isPrivate", false), f("isMuted", false)});
    const View views[] = {
        {allBase, "##RTCombinedToolbar:0##", "combined_all", RTTreeNodeRequestType::Combined,
         RTShowCombinedAllKey,
         [allBase](const QDateTime &date) {
             return RTPredicates::createdAtSince(date) && allBase;
         }},
        {homeBase, "##RTCombinedToolbar:1##", "combined_home", 55, nullptr,
         [homeBase](const QDateTime &date) {
             return homeBase && RTPredicates::createdAtSince(date);
         }},
        {f("isMention", true) && f("isMuted", false),
         "##RTCombinedToolbar:2##",
         "combined_mentions",
         3,
         nullptr,
         {}},
        {Predicate::andPredicate({f("isRetweet", true), f("isSent", false), f("isMuted", false)}),
         "##RTTreeNodeManager:4##",
         "combined_retweet",
         51,
         RTShowCombinedRetweetsKey,
         {}},
        {f("isFavorite", true) && f("isMuted", false),
         "##RTTreeNodeManager:6##",
         "combined_favorites",
         46,
         RTShowCombinedFavoritesKey,
         {}},
        {f("isPrivate", true), "##RTCombinedToolbar:4##", "combined_direct", 11, nullptr, {}},
        {f("isSent", true) && f("isPrivate", false),
         "##RTTreeNodeManager:0##",
         "combined_sent",
         4,
         nullptr,
         {}},
    };
    SettingsStore &settings = SettingsStore::shared();
    const auto bindToSetting = [this, &settings](RTTreeNode *node, const char *key) {
        if (!key)
            return;
        const QString settingKey = QString::fromLatin1(key);
        node->setShouldAppearInOutlineView(settings.boolForKey(settingKey));
        QPointer<RTTreeNode> weak(node);
        m_settingsConnections.append(
            connect(&settings, &SettingsStore::valueChanged, this,
                    [weak, settingKey](const QString &changed, const QVariant &value) {
                        if (weak && changed == settingKey)
                            weak->setShouldAppearInOutlineView(value.toBool());
                    }));
    };
    for (const View &view : views) {
        auto *node = RTTreeNode::create<RTTreeNodeAllFilteredMessages>(
            view.filter, localizedString(view.titleKey), QString::fromLatin1(view.image),
            view.requestType);
        node->setRegistry(&m_registry);
        if (view.format)
            node->setReferencedValidMessagePredicateFormat(view.format);
        bindToSetting(node, view.setting);
        m_combinedToolbarTreeNodes.append(node);
        node->listViewController(); // loaded at once
        node->reloadContent();
    }
    RTTreeNode *lists = RTTreeNodePopupHost::twitterListsPopupHostWithService(nullptr);
    bindToSetting(lists, RTShowCombinedListsKey);
    RTTreeNode *groups =
        RTTreeNodePopupHostTwitterGroupsParent::twitterGroupsPopupHostWithService(nullptr);
    bindToSetting(groups, RTShowCombinedGroupsKey);
    RTTreeNode *searches = RTTreeNodePopupHost::twitterSearchesPopupHostWithService(nullptr);
    bindToSetting(searches, RTShowCombinedSearchesKey);
    m_combinedToolbarTreeNodes << lists << groups << searches;
}

QList<RTTreeNode *> RTTreeNodeManager::visibleCombinedToolbarTreeNodes() const
{
    QList<RTTreeNode *> visible;
    for (RTTreeNode *node : m_combinedToolbarTreeNodes)
        if (node->shouldAppearInOutlineView())
            visible.append(node);
    return visible;
}

void RTTreeNodeManager::addRootNode(RTTreeNode *node)
{
    if (!node || m_rootNodes.contains(node))
        return;
    m_rootNodes.append(node);
    connect(node, &RTTreeNode::nameChanged, this, [this] { arrangeRootNodes(); });
    arrangeRootNodes();
}

void RTTreeNodeManager::arrangeRootNodes()
{
    std::stable_sort(m_rootNodes.begin(), m_rootNodes.end(), rootLessThan);
    emit rootTreeNodesChanged();
}

QList<RTTreeNode *> RTTreeNodeManager::allTreeNodes() const
{
    QList<RTTreeNode *> all;
    for (RTTreeNode *root : m_rootNodes)
        all += root->flatRepresentation();
    return all;
}

RTTreeNode *RTTreeNodeManager::getRootNodeForService(const RTService *service) const
{
    if (!service)
        return nullptr;
    for (RTTreeNode *root : m_rootNodes)
        if (root->service() == service)
            return root;
    return nullptr;
}

RTTreeNode *RTTreeNodeManager::getTalvoParentNode() const
{
    for (RTTreeNode *root : m_rootNodes)
        if (root->inherits("RTTreeNodeTalvo"))
            return root;
    return nullptr;
}

RTTreeNode *RTTreeNodeManager::getSearchRootNode() const
{
    for (RTTreeNode *root : m_rootNodes)
        if (root->inherits("RTTreeNodeSearch"))
            return root;
    return nullptr;
}

RTTreeNode *RTTreeNodeManager::treeNodeWithIdentity(const QVariantMap &identity) const
{
    if (identity.isEmpty())
        return nullptr;
    for (RTTreeNode *node : allTreeNodes())
        if (node->identity() == identity)
            return node;
    for (RTTreeNode *node : m_combinedToolbarTreeNodes)
        if (node->identity() == identity)
            return node;
    return nullptr;
}

int RTTreeNodeManager::registeredNodeCount() const
{
    QReadLocker locker(&m_registrationLock);
    return int(m_treeNodesSet.size());
}

bool RTTreeNodeManager::isRegistered(const RTTreeNode *node) const
{
    QReadLocker locker(&m_registrationLock);
    return m_treeNodesSet.contains(const_cast<RTTreeNode *>(node));
}

// --- accounts ---------------------------------------------------------------------------

void RTTreeNodeManager::addNodeWithService(const RTServicePtr &service, bool expand)
{
    if (!service || getRootNodeForService(service.get()))
        return;
    RTTreeNode *node = createTreeNodeOfClass(service->treeNodeClass(), service);
    if (!node)
        return;
    addRootNode(node);
    if (auto *twitter = qobject_cast<RTServiceTwitter *>(service.get())) {
        // Lists and saved searches change with the answers that fetch them.
        connect(twitter, &RTServiceTwitter::requestFinished, this,
                [this, weak = QPointer<RTService>(twitter)] {
                    if (weak)
                        refreshSectionsOfService(weak);
                });
    }
    if (expand) {
        QPointer<RTTreeNode> weak(node);
        QTimer::singleShot(200, this, [this, weak] {
            if (weak) {
                setExpanded(weak, true);
                emit expandNodeRequested(weak);
            }
        });
    }
}

void RTTreeNodeManager::removeNodeWithService(const RTServicePtr &service)
{
    RTTreeNode *root = nullptr;
    for (RTTreeNode *node : std::as_const(m_rootNodes)) {
        if (service && node->representedObject() == service.get()) {
            root = node;
            break;
        }
    }
    if (!root)
        return;
    m_rootNodes.removeAll(root);
    disconnect(root, nullptr, this, nullptr);
    emit rootTreeNodesChanged();
    root->closeNode();
    root->deleteLater();
    dropSectionsWhere([&service](const void *, const Section &slot) {
        return !slot.account || slot.account == service.get();
    });
}

void RTTreeNodeManager::observePredicateForHomeNode(const RTServicePtr &service)
{
    auto *twitter = qobject_cast<RTServiceTwitter *>(service.get());
    if (!twitter)
        return;
    // The count predicates include the account's Home predicate, which follows its
    // reference message.
    connect(twitter, &RTServiceTwitter::homeContentsChanged, this, [this] {
        m_systemWideCountNode->setValidMessagePredicate(systemWideCountNodeValidMessagePredicate());
        m_statusIconCountNode->setValidMessagePredicate(statusIconNodeValidMessagePredicate());
    });
}

void RTTreeNodeManager::stopObservingPredicateForHomeNode(const RTServicePtr &service)
{
    if (service)
        disconnect(service.get(), nullptr, this, nullptr);
}

Predicate RTTreeNodeManager::systemWideCountNodeValidMessagePredicate() const
{
    return RTUnseenCountIndicators::countPredicate(m_registry, RTUnseenCountIndicators::dockKeys);
}

Predicate RTTreeNodeManager::statusIconNodeValidMessagePredicate() const
{
    return RTUnseenCountIndicators::countPredicate(m_registry,
                                                   RTUnseenCountIndicators::statusIconKeys);
}

void RTTreeNodeManager::setIsBatchChangingNewCount(bool value)
{
    if (m_isBatchChangingNewCount == value)
        return;
    m_isBatchChangingNewCount = value;
    emit isBatchChangingNewCountChanged(value);
}

// --- registration -----------------------------------------------------------------------

void RTTreeNodeManager::treeNodesSetAddNode(RTTreeNode *node)
{
    QMutexLocker locker(&m_treeNodesSetLock);
    QWriteLocker writer(&m_registrationLock);
    m_treeNodesSet.insert(node);
}

void RTTreeNodeManager::treeNodesSetRemoveNode(RTTreeNode *node)
{
    QList<RTMessagePtr> content;
    {
        QMutexLocker locker(&m_treeNodesSetLock);
        {
            QWriteLocker writer(&m_registrationLock);
            if (!m_treeNodesSet.remove(node))
                return;
        }
        m_expandedNodes.remove(node);
        if (m_destroying)
            return;
        content = node->messagesArrayController().content();
        for (const RTMessagePtr &message : std::as_const(content))
            message->willBeRemovedFromTreeNode(node);
    }
    QList<RTMessagePtr> spare;
    QList<RTMessagePtr> remove;
    QList<RTMessagePtr> add;
    validateMessages(content, spare, remove, add);
    if (node->requestType() == kSearchRequestType) {
        const QList<RTMessagePtr> changed = updateFlagsOfMessages(spare, node);
        if (!changed.isEmpty())
            allTreeNodesReEvaluateMessages(changed, kSearchRequestType, {});
    }
    if (!remove.isEmpty()) {
        allTreeNodesRemoveMessages(remove, node->requestType(),
                                   {{QStringLiteral("forceRemove"), true}});
        for (const RTMessagePtr &message : std::as_const(remove))
            message->wasRemovedFromAllTreeNodes();
    }
}

void RTTreeNodeManager::validateMessages(const QList<RTMessagePtr> &messages,
                                         QList<RTMessagePtr> &messagesToSpare,
                                         QList<RTMessagePtr> &messagesToRemove,
                                         QList<RTMessagePtr> &messagesToAdd)
{
    messagesToAdd.clear();
    for (const RTMessagePtr &message : messages) {
        const RTMessage::TreeNodeList holders = message->containingTreeNodes();
        const bool held = std::any_of(holders.cbegin(), holders.cend(), [](RTMessageHolder *h) {
            const RTTreeNode *node = asTreeNode(h);
            return node && !node->isCombinedNode();
        });
        (held ? messagesToSpare : messagesToRemove).append(message);
    }
}

QList<RTMessagePtr> RTTreeNodeManager::updateFlagsOfMessages(const QList<RTMessagePtr> &messages,
                                                             RTTreeNode *removedNode)
{
    QList<RTMessagePtr> changed;
    for (const RTMessagePtr &message : messages) {
        auto *twitter = dynamic_cast<RTMessageTwitter *>(message.get());
        if (!twitter || !twitter->isSearch())
            continue;
        const RTMessage::TreeNodeList holders = message->containingTreeNodes();
        const bool stillSearched =
            std::any_of(holders.cbegin(), holders.cend(), [removedNode](RTMessageHolder *h) {
                const RTTreeNode *node = asTreeNode(h);
                return node && node != removedNode && !node->isCombinedNode() &&
                       node->requestType() == kSearchRequestType;
            });
        if (stillSearched)
            continue;
        twitter->setIsSearch(false);
        changed.append(message);
    }
    return changed;
}

// --- messages ---------------------------------------------------------------------------

void RTTreeNodeManager::underLock(const std::function<void()> &body)
{
    QMutexLocker locker(&m_treeNodesSetLock);
    try {
        body();
    } catch (const std::exception &error) {
        // A general failure inside one step ends the step; the lock is released either way.
        qCWarning(lcTimelines) << "tree node update failed:" << error.what();
    }
}

QList<RTMessagePtr> RTTreeNodeManager::messagesToAddToNode(RTTreeNode *node,
                                                           const QList<RTMessagePtr> &messages,
                                                           LikeCache &likes)
{
    QList<RTMessagePtr> kept;
    kept.reserve(messages.size());
    for (const RTMessagePtr &message : messages) {
        if (isHeldBy(message, node))
            continue;
        if (message->isRepeated()) {
            // The same status received by several accounts shows once per node.
            auto known = likes.find(message.get());
            if (known == likes.end()) {
                RTMessageDataSource *source = message->dataSource();
                known = likes.insert(message.get(), source ? source->messagesLike(*message)
                                                           : QList<RTMessagePtr>());
            }
            bool copyHeld = false;
            {
                for (const RTMessagePtr &like : std::as_const(*known)) {
                    if (like && like != message && isHeldBy(like, node)) {
                        copyHeld = true;
                        break;
                    }
                }
            }
            if (copyHeld)
                continue;
        }
        message->willBeAddedToTreeNode(node);
        kept.append(message);
    }
    return kept;
}

QList<RTMessagePtr> RTTreeNodeManager::containedMessages(RTTreeNode *node,
                                                         const QList<RTMessagePtr> &messages)
{
    QList<RTMessagePtr> contained;
    for (const RTMessagePtr &message : messages) {
        if (isHeldBy(message, node)) {
            message->willBeRemovedFromTreeNode(node);
            contained.append(message);
        }
    }
    return contained;
}

void RTTreeNodeManager::addToNode(RTTreeNode *node, const QList<RTMessagePtr> &kept)
{
    node->messagesArrayControllerAddMessages(kept);
    emit messagesAddedToNode(node, kept);
}

void RTTreeNodeManager::allTreeNodesAddMessages(const QList<RTMessagePtr> &messages,
                                                int requestType, const QVariantMap &userInfo)
{
    if (messages.isEmpty())
        return;
    const std::vector<FactsOf> facts = factsOf(messages);
    std::vector<Offer> offers;
    {
        QReadLocker reader(&m_registrationLock);
        for (RTTreeNode *node : std::as_const(m_treeNodesSet)) {
            const RTTreeNodeJudge judge = node->judge(requestType, userInfo);
            Offer offer{node, {}};
            for (const FactsOf &f : facts)
                if (judge.isMessageValid(f.facts, *f.message))
                    offer.messages.append(*f.message);
            if (!offer.messages.isEmpty())
                offers.push_back(std::move(offer));
        }
    }
    if (offers.empty())
        return;
    underLock([&] {
        LikeCache likes;
        for (const Offer &offer : offers) {
            if (!m_treeNodesSet.contains(offer.node))
                continue; // closed meanwhile
            const QList<RTMessagePtr> kept = messagesToAddToNode(offer.node, offer.messages, likes);
            if (!kept.isEmpty())
                addToNode(offer.node, kept);
        }
    });
}

void RTTreeNodeManager::allTreeNodesRemoveMessages(const QList<RTMessagePtr> &messages,
                                                   int requestType, const QVariantMap &userInfo)
{
    if (messages.isEmpty())
        return;
    const bool force = userInfo.value(QStringLiteral("forceRemove")).toBool();
    std::vector<Offer> offers;
    {
        QReadLocker reader(&m_registrationLock);
        std::vector<RTTreeNodeJudge> judges;
        std::vector<RTTreeNode *> nodes;
        judges.reserve(size_t(m_treeNodesSet.size()));
        for (RTTreeNode *node : std::as_const(m_treeNodesSet)) {
            offers.push_back({node, {}});
            nodes.push_back(node);
            judges.push_back(node->judge(requestType, userInfo));
        }
        HeldBy heldBy(nodes);
        for (const RTMessagePtr &message : messages) {
            if (!message || !heldBy.read(*message))
                continue;
            const RTMessageFacts facts(*message);
            for (size_t i = 0; i < offers.size(); ++i) {
                if (heldBy.held(i) && (force || judges[i].shouldRemoveMessage(facts, message)))
                    offers[i].messages.append(message);
            }
        }
    }
    std::erase_if(offers, [](const Offer &o) { return o.messages.isEmpty(); });
    if (offers.empty())
        return;
    underLock([&] {
        for (const Offer &offer : offers) {
            if (!m_treeNodesSet.contains(offer.node))
                continue;
            const QList<RTMessagePtr> removed = containedMessages(offer.node, offer.messages);
            if (!removed.isEmpty())
                offer.node->messagesArrayControllerRemoveMessages(removed);
        }
    });
}

void RTTreeNodeManager::reEvaluateMessages(const QList<RTMessagePtr> &messages, int requestType,
                                           const QVariantMap &userInfo, RTTreeNode *node)
{
    if (!node || messages.isEmpty())
        return;
    QList<RTMessagePtr> accepted;
    QList<RTMessagePtr> rejected;
    const RTTreeNodeJudge judge = node->judge(requestType, userInfo);
    for (const RTMessagePtr &message : messages) {
        if (!message)
            continue;
        const RTMessageFacts facts(*message);
        if (judge.isMessageValid(facts, message))
            accepted.append(message);
        else if (isHeldBy(message, node) && judge.shouldRemoveMessage(facts, message))
            rejected.append(message);
    }
    underLock([&] {
        LikeCache likes;
        if (!m_treeNodesSet.contains(node))
            return;
        const QList<RTMessagePtr> removed = containedMessages(node, rejected);
        if (!removed.isEmpty())
            node->messagesArrayControllerRemoveMessages(removed);
        const QList<RTMessagePtr> kept = messagesToAddToNode(node, accepted, likes);
        if (!kept.isEmpty())
            addToNode(node, kept);
    });
}

void RTTreeNodeManager::allTreeNodesReEvaluateMessages(const QList<RTMessagePtr> &messages,
                                                       int requestType, const QVariantMap &userInfo)
{
    if (messages.isEmpty())
        return;
    struct Verdict
    {
        RTTreeNode *node;
        QList<RTMessagePtr> accepted;
        QList<RTMessagePtr> rejected;
    };
    std::vector<Verdict> verdicts;
    {
        QReadLocker reader(&m_registrationLock);
        std::vector<RTTreeNodeJudge> judges;
        std::vector<RTTreeNode *> nodes;
        judges.reserve(size_t(m_treeNodesSet.size()));
        for (RTTreeNode *node : std::as_const(m_treeNodesSet)) {
            verdicts.push_back({node, {}, {}});
            nodes.push_back(node);
            judges.push_back(node->judge(requestType, userInfo));
        }
        HeldBy heldBy(nodes);
        // Messages outside, nodes inside: each message's holders and facts are read once.
        constexpr qsizetype kAhead = 4;
        for (qsizetype m = 0; m < messages.size(); ++m) {
            if (m + kAhead < messages.size() && messages.at(m + kAhead))
                messages.at(m + kAhead)->prefetchForJudging();
            const RTMessagePtr &message = messages.at(m);
            if (!message)
                continue;
            heldBy.read(*message);
            const RTMessageFacts facts(*message);
            for (size_t i = 0; i < verdicts.size(); ++i) {
                Verdict &verdict = verdicts[i];
                const bool held = heldBy.held(i);
                if (judges[i].isMessageValid(facts, message)) {
                    if (!held)
                        verdict.accepted.append(message);
                } else if (held && judges[i].shouldRemoveMessage(facts, message)) {
                    verdict.rejected.append(message);
                }
            }
        }
    }
    std::erase_if(verdicts,
                  [](const Verdict &v) { return v.accepted.isEmpty() && v.rejected.isEmpty(); });
    if (verdicts.empty())
        return;
    underLock([&] {
        LikeCache likes;
        for (const Verdict &verdict : verdicts) {
            if (!m_treeNodesSet.contains(verdict.node))
                continue;
            const QList<RTMessagePtr> removed = containedMessages(verdict.node, verdict.rejected);
            if (!removed.isEmpty())
                verdict.node->messagesArrayControllerRemoveMessages(removed);
            const QList<RTMessagePtr> kept =
                messagesToAddToNode(verdict.node, verdict.accepted, likes);
            if (!kept.isEmpty())
                addToNode(verdict.node, kept);
        }
    });
}

namespace {

QList<RTMessagePtr> allStoredMessages(const RTServiceRegistry &registry)
{
    std::vector<RTServiceTwitter::MessagesDictionary> stores;
    qsizetype total = 0;
    for (const auto &account : registry.allServicesOfSameClass<RTServiceTwitter>()) {
        stores.push_back(account->messagesDictionary());
        total += stores.back().size();
    }
    QList<RTMessagePtr> all;
    all.reserve(total);
    // Taking a reference touches each message's count, which lies next to the message:
    // load the ones further on ahead.
    constexpr int kAhead = 8;
    for (const RTServiceTwitter::MessagesDictionary &messages : stores) {
        auto ahead = messages.cbegin();
        for (int i = 0; i < kAhead && ahead != messages.cend(); ++i)
            ++ahead;
        for (const RTMessageTwitterPtr &message : messages) {
            if (ahead != messages.cend()) {
                __builtin_prefetch(ahead.value().get());
                ++ahead;
            }
            all.append(message);
        }
    }
    return all;
}

} // namespace

void RTTreeNodeManager::reEvaluateAllMessagesForTreeNode(RTTreeNode *node)
{
    reEvaluateMessages(allStoredMessages(m_registry), node ? node->requestType() : 0, {}, node);
}

void RTTreeNodeManager::allTreeNodesReEvaluteContent()
{
    setIsBatchChangingNewCount(true);
    allTreeNodesReEvaluateMessages(allStoredMessages(m_registry), 0, {});
    setIsBatchChangingNewCount(false);
}

// --- window layer -----------------------------------------------------------------------

void RTTreeNodeManager::showNode(RTTreeNode *node)
{
    emit showNodeRequested(node);
}

void RTTreeNodeManager::selectCombinedSectionOfHost(RTTreeNode *child)
{
    if (auto *host =
            qobject_cast<RTTreeNodePopupHost *>(child ? child->referingTreeNode() : nullptr))
        host->selectAllCombinedSection();
}

void RTTreeNodeManager::nodeWillHide(RTTreeNode *node)
{
    if (node)
        m_expandedNodes.remove(node);
}

void RTTreeNodeManager::reloadOutline()
{
    emit outlineReloadRequested();
}

// --- temporary searches -----------------------------------------------------------------

void RTTreeNodeManager::addTemporarySearchThroughSearchFieldWithSearchString(const QString &term)
{
    if (RTMainWindowNodeHost::hasShared())
        RTMainWindowNodeHost::shared().addToRecentSearches(term);
}

RTTreeNode *
RTTreeNodeManager::addTemporarySearchNodeInCurrentWindowTypeWithSearchString(const QString &term)
{
    if (!RTMainWindowNodeHost::hasShared() || term.trimmed().isEmpty())
        return nullptr;
    RTMainWindowNodeHost &window = RTMainWindowNodeHost::shared();
    const RTSearchTwitterPtr search = RTSearchTwitter::searchWithTerm(term);
    if (!search)
        return nullptr;
    const auto sameSearch = [&search](RTTreeNode *node) {
        auto *searchNode = qobject_cast<RTTreeNodeSearch *>(node);
        return searchNode && searchNode->searchObject() &&
               searchNode->searchObject()->searchName() == search->searchName();
    };
    RTTreeNodeSearch *node = nullptr;
    switch (window.temporaryNodeHolder()) {
    case RTMainWindowNodeHost::TemporaryNodeHolder::List: {
        for (RTTreeNode *existing : window.temporaryNodes()) {
            if (sameSearch(existing)) {
                window.selectTreeNode(existing);
                return existing;
            }
        }
        node = RTTreeNode::create<RTTreeNodeSearch>(search);
        node->setIsTemporary(true);
        window.appendTemporaryNode(node);
        break;
    }
    case RTMainWindowNodeHost::TemporaryNodeHolder::SingleNode: {
        const QList<RTTreeNode *> shown = window.temporaryNodes();
        if (!shown.isEmpty() && sameSearch(shown.first()))
            return shown.first();
        node = RTTreeNode::create<RTTreeNodeSearch>(search);
        node->setIsTemporary(true);
        window.showTreeNode(node);
        break;
    }
    case RTMainWindowNodeHost::TemporaryNodeHolder::Other:
        qCCritical(lcTimelines) << "Wrong kind of object for temp Node";
        return nullptr;
    }
    node->reload();
    window.selectTreeNode(node);
    return node;
}

// --- expanded nodes ---------------------------------------------------------------------

bool RTTreeNodeManager::isExpanded(const RTTreeNode *node) const
{
    return m_expandedNodes.contains(const_cast<RTTreeNode *>(node));
}

void RTTreeNodeManager::setExpanded(RTTreeNode *node, bool expanded)
{
    if (!node)
        return;
    if (expanded)
        m_expandedNodes.insert(node);
    else
        m_expandedNodes.remove(node);
    if (!m_restoringExpandedNodes)
        saveExpandedNodes();
}

void RTTreeNodeManager::saveExpandedNodes()
{
    QVariantList identities;
    for (RTTreeNode *node : allTreeNodes()) {
        if (!m_expandedNodes.contains(node))
            continue;
        const QVariantMap identity = node->identity();
        if (!identity.isEmpty())
            identities.append(identity);
    }
    SettingsStore::shared().setValue(QString::fromLatin1(RTExpandedNodesKey), identities);
}

void RTTreeNodeManager::restoreExpandedNodes()
{
    m_restoringExpandedNodes = true;
    const QVariantList stored =
        SettingsStore::shared().arrayForKey(QString::fromLatin1(RTExpandedNodesKey));
    m_expandedNodes.clear();
    if (stored.isEmpty()) {
        for (RTTreeNode *root : std::as_const(m_rootNodes))
            if (root->shouldAppearInOutlineView())
                m_expandedNodes.insert(root);
    } else {
        for (RTTreeNode *node : allTreeNodes()) {
            const QVariantMap identity = node->identity();
            if (!identity.isEmpty() && stored.contains(identity))
                m_expandedNodes.insert(node);
        }
    }
    m_restoringExpandedNodes = false;
    emit outlineReloadRequested();
}

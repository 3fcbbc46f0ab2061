#include "timelines/RTTreeNode.h"

#include "accounts/RTService.h"
#include "accounts/RTServiceRegistry.h"
#include "foundation/Localization.h"
#include "platform/WindowLayer.h"
#include "store/TADataManager.h"
#include "timelines/RTTreeNodeOwner.h"
#include "timelines/RTTreeNodePredicates.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

namespace {

bool onMainThread()
{
    return QCoreApplication::instance() &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

RTTreeNode::RTTreeNode(QObject *representedObject)
    : m_representedObject(representedObject)
    , m_compiledPredicate(std::make_shared<const RTCompiledPredicate>())
{
}

RTTreeNode::RTTreeNode(const QString &name, RTService *service, qint32 requestType,
                       const QString &imageName, const Predicate &validMsgPredicate)
    : m_representedObject(service)
{
    m_name = name;
    m_imageName = imageName;
    m_service = service;
    m_requestType = requestType;
    m_validMessagePredicate = validMsgPredicate;
    m_compiledPredicate = std::make_shared<const RTCompiledPredicate>(validMsgPredicate);
}

void RTTreeNode::registerWithOwner()
{
    if (m_registered || m_isClosing || !RTTreeNodeOwner::hasShared())
        return;
    m_registered = true;
    RTTreeNodeOwner::shared().treeNodesSetAddNode(this);
    if (m_reloadWanted) {
        m_reloadWanted = false;
        reloadContent();
    }
}

void RTTreeNode::unregisterFromOwner()
{
    if (!m_registered)
        return;
    m_registered = false;
    if (RTTreeNodeOwner::hasShared())
        RTTreeNodeOwner::shared().treeNodesSetRemoveNode(this);
}

RTTreeNode::~RTTreeNode()
{
    unregisterFromOwner();
    // Messages outlive nodes: they must not keep a pointer to this one.
    for (const RTMessagePtr &message : m_messages.content())
        message->willBeRemovedFromTreeNode(this);
    const QList<RTTreeNode *> children = m_children;
    m_children.clear();
    qDeleteAll(children);
}

RTService *RTTreeNode::service() const
{
    return m_service.data();
}

void RTTreeNode::setService(RTService *service)
{
    m_service = service;
}

void RTTreeNode::setName(const QString &name)
{
    if (m_name == name)
        return;
    m_name = name;
    emit nameChanged();
}

void RTTreeNode::setImageName(const QString &imageName)
{
    if (m_imageName == imageName)
        return;
    m_imageName = imageName;
    emit imageChanged();
}

Predicate RTTreeNode::validMessagePredicate() const
{
    QMutexLocker locker(&m_stateLock);
    return m_validMessagePredicate;
}

void RTTreeNode::setValidMessagePredicate(const Predicate &predicate)
{
    const Predicate current = validMessagePredicate();
    if (current == predicate && current.isNull() == predicate.isNull())
        return;
    auto compiled = std::make_shared<const RTCompiledPredicate>(predicate);
    {
        QMutexLocker locker(&m_stateLock);
        m_validMessagePredicate = predicate;
        m_compiledPredicate = std::move(compiled);
    }
    predicatesChanged();
}

void RTTreeNode::setFilterMessagePredicate(const Predicate &predicate)
{
    if (m_filterMessagePredicate == predicate &&
        m_filterMessagePredicate.isNull() == predicate.isNull())
        return;
    m_filterMessagePredicate = predicate;
    m_messages.setFilterPredicate(predicate);
    predicatesChanged();
}

void RTTreeNode::predicatesChanged()
{
    if (!RTTreeNodeOwner::hasShared())
        return;
    RTTreeNodeOwner &owner = RTTreeNodeOwner::shared();
    owner.setIsBatchChangingNewCount(true);
    reloadContent();
    owner.setIsBatchChangingNewCount(false);
}

void RTTreeNode::setShouldAppearInOutlineView(bool value)
{
    if (m_shouldAppear == value)
        return;
    m_shouldAppear = value;
    emit shouldAppearInOutlineViewChanged();
}

bool RTTreeNode::isInReadMessagesSet(const RTMessage *message) const
{
    QMutexLocker locker(&m_stateLock);
    return m_readMessagesSet.contains(message);
}

QList<RTMessagePtr> RTTreeNode::contentSnapshot() const
{
    RTTreeNodeOwner *nodeOwner = owner();
    QRecursiveMutex *lock = nodeOwner ? nodeOwner->nodeContentsLock() : nullptr;
    if (lock)
        lock->lock();
    QList<RTMessagePtr> copy = m_messages.content();
    if (lock)
        lock->unlock();
    return copy;
}

QList<RTMessagePtr> RTTreeNode::displayedMessages() const
{
    RTTreeNodeOwner *nodeOwner = owner();
    QRecursiveMutex *lock = nodeOwner ? nodeOwner->nodeContentsLock() : nullptr;
    if (lock)
        lock->lock();
    QList<RTMessagePtr> copy = m_messages.arrangedObjects();
    if (lock)
        lock->unlock();
    return copy;
}

// --- tree --------------------------------------------------------------------------

void RTTreeNode::addChildNode(RTTreeNode *child)
{
    if (!child || m_children.contains(child))
        return;
    if (child->m_parent)
        child->m_parent->removeChildNode(child);
    child->m_parent = this;
    child->registerWithOwner(); // complete by now, whoever built it
    m_children.append(child);
    sortChildren();
    emit childrenChanged();
}

void RTTreeNode::addChildNodes(const QList<RTTreeNode *> &children)
{
    for (RTTreeNode *child : children)
        addChildNode(child);
}

void RTTreeNode::removeChildNode(RTTreeNode *child)
{
    if (!child || !m_children.removeOne(child))
        return;
    child->m_parent = nullptr;
    sortChildren();
    emit childrenChanged();
}

void RTTreeNode::removeChildNodes(const QList<RTTreeNode *> &children)
{
    for (RTTreeNode *child : children)
        removeChildNode(child);
}

void RTTreeNode::sortChildren()
{
    std::stable_sort(
        m_children.begin(), m_children.end(),
        [](const RTTreeNode *a, const RTTreeNode *b) { return a->sortWeight() < b->sortWeight(); });
}

RTTreeNode *RTTreeNode::getChildByRequestType(qint32 type) const
{
    for (RTTreeNode *child : m_children) {
        if (child->requestType() == type)
            return child;
    }
    return nullptr;
}

RTTreeNode *RTTreeNode::getChildByName(const QString &name) const
{
    for (RTTreeNode *child : m_children) {
        if (child->name() == name)
            return child;
    }
    return nullptr;
}

QList<RTTreeNode *> RTTreeNode::flatRepresentation()
{
    QList<RTTreeNode *> flat{this};
    for (RTTreeNode *child : m_children)
        flat += child->flatRepresentation();
    return flat;
}

QList<RTTreeNode *> RTTreeNode::outlineViewReadyChildNodes() const
{
    QList<RTTreeNode *> ready;
    for (RTTreeNode *child : m_children) {
        if (child->shouldAppearInOutlineView())
            ready.append(child);
    }
    return ready;
}

// --- overridable behaviour ------------------------------------------------------------

bool RTTreeNode::isOfMessageClass(const RTMessage &) const
{
    return true;
}

bool RTTreeNode::isMessageValid(const RTMessagePtr &message, qint32, const QVariantMap &) const
{
    if (!message || !isOfMessageClass(*message))
        return false;
    return compiledPredicate()->evaluate(RTMessageFacts(*message)) && passesFurtherChecks(*message);
}

bool RTTreeNode::shouldRemoveMessage(const RTMessagePtr &message, qint32,
                                     const QVariantMap &userInfo) const
{
    if (userInfo.value(QStringLiteral("forceRemove")).toBool())
        return true;
    if (!message)
        return false;
    return !compiledPredicate()->evaluate(RTMessageFacts(*message));
}

std::shared_ptr<const RTCompiledPredicate> RTTreeNode::compiledPredicate() const
{
    QMutexLocker locker(&m_stateLock);
    return m_compiledPredicate;
}

RTTreeNodeJudge RTTreeNode::judge(qint32 requestType, const QVariantMap &userInfo) const
{
    return RTTreeNodeJudge(this, requestType, userInfo);
}

RTTreeNodeJudge::RTTreeNodeJudge(const RTTreeNode *node, qint32 requestType,
                                 const QVariantMap &userInfo)
    : m_node(node)
    , m_requestType(requestType)
    , m_userInfo(&userInfo)
    , m_predicate(node->judgesByPredicateAlone() ? node->compiledPredicate() : nullptr)
    , m_forceRemove(userInfo.value(QStringLiteral("forceRemove")).toBool())
{
}

bool RTTreeNode::shouldShowMessageAsNew(const RTMessagePtr &message) const
{
    if (!message)
        return false;
    if (m_isUnreadNode)
        return !isInReadMessagesSet(message.get());
    return !message->isSeen();
}

qint32 RTTreeNode::newMessagesCount() const
{
    return m_isUnreadNode ? 0 : m_newMessagesCount.load();
}

void RTTreeNode::markAllAsRead()
{
    if (!m_isUnreadNode)
        return;
    for (const RTMessagePtr &message : contentSnapshot()) {
        {
            QMutexLocker locker(&m_stateLock);
            m_readMessagesSet.insert(message.get());
        }
        message->willChangeValueForKey(RTMessageProperty::IsSeen);
        message->didChangeValueForKey(RTMessageProperty::IsSeen);
        emit messageSeenStateChanged(message);
    }
}

void RTTreeNode::selectionDidChange(const RTMessagePtr &message)
{
    if (m_isUnreadNode && message) {
        QMutexLocker locker(&m_stateLock);
        m_readMessagesSet.insert(message.get());
    }
}

bool RTTreeNode::shouldAppearInOutlineView() const
{
    if (!m_isAutoHiding || !m_shouldAppear)
        return m_shouldAppear;
    if (m_messages.count() > 0)
        return true;
    return std::any_of(m_children.cbegin(), m_children.cend(),
                       [](const RTTreeNode *c) { return c->shouldAppearInOutlineView(); });
}

bool RTTreeNode::isLeaf() const
{
    if (m_isAlwaysExpandable)
        return false;
    return std::none_of(m_children.cbegin(), m_children.cend(),
                        [](const RTTreeNode *c) { return c->shouldAppearInOutlineView(); });
}

int RTTreeNode::defaultListState() const
{
    return ListViewController::StateDefault;
}

void RTTreeNode::pollForOlderTweets()
{
    setListviewState(ListViewController::StateLoadingOlder);
}

void RTTreeNode::reloadContent()
{
    if (!m_registered) {
        m_reloadWanted = true;
        return;
    }
    if (RTTreeNodeOwner::hasShared())
        RTTreeNodeOwner::shared().reEvaluateAllMessagesForTreeNode(this);
}

void RTTreeNode::closeNode()
{
    if (m_isClosing)
        return;
    m_isClosing = true;
    QPointer<RTTreeNode> self(this);
    RTTreeNodeOwner *nodeOwner = owner();
    unregisterFromOwner();
    ListViewController *view = existingListViewController();
    if (view && ListViewFactory::hasShared() && ListViewFactory::shared().isCurrentListView(view) &&
        nodeOwner) {
        if (m_inPopupHostingView) {
            nodeOwner->selectCombinedSectionOfHost(this);
        } else if (m_referingTreeNode) {
            nodeOwner->showNode(m_referingTreeNode);
            if (ListViewController *back = m_referingTreeNode->listViewController())
                back->focus();
        } else {
            nodeOwner->showNode(nullptr);
        }
    }
    if (!self)
        return;
    const QList<RTTreeNode *> children = m_children;
    for (RTTreeNode *child : children)
        child->closeNode();
    removeChildNodes(children);
    qDeleteAll(children);
    emit closed();
}

void RTTreeNode::deleteSelf()
{
    // An account root: ask, then let the store drop the account. Only "Delete" closes the
    // node; after "Cancel" it must stay, as nothing would build it again.
    if (m_isDeleted || !WindowLayer::hasShared())
        return;
    QPointer<RTService> account = service();
    QPointer<RTTreeNode> self(this);
    WindowLayer::shared().showAlert(
        localizedString("##RTTreeNode:0##") + QLatin1Char('\n') +
            localizedString("##RTTreeNode:1##"),
        {localizedString("##RTTreeNode:2##"), localizedString("##RTTreeNode:3##")},
        [account, self](int button) {
            if (button != 1)
                return;
            if (self && !self->m_isDeleted) {
                self->m_isDeleted = true;
                self->closeNode();
            }
            if (!account)
                return;
            for (const RTServicePtr &s : RTServiceRegistry::shared().services()) {
                if (s.get() == account.data()) {
                    TADataManager::sharedManager().removeService(s);
                    break;
                }
            }
        });
}

QString RTTreeNode::description() const
{
    return QStringLiteral("<%1> name:%2 childrenCount:%3 isCombinedNode:%4")
        .arg(QString::asprintf("%p", static_cast<const void *>(this)), m_name)
        .arg(m_children.size())
        .arg(m_isCombinedNode ? QStringLiteral("YES") : QStringLiteral("NO"));
}

// --- messages -------------------------------------------------------------------------

void RTTreeNode::messagesArrayControllerAddMessages(const QList<RTMessagePtr> &messages)
{
    if (messages.isEmpty())
        return;
    ListViewController *view = onMainThread() ? existingListViewController() : nullptr;
    if (view)
        view->setResizingEnabled(false);
    // The display filter never keeps a message out of the content.
    m_messages.addMessages(messages);
    contentDidAddMessages(messages);
    if (view)
        view->setResizingEnabled(true);
    recount();
    if (onMainThread()) {
        if (view)
            view->isOnScreen() ? view->resizeViews() : addDelayedAction([this] {
                if (auto *v = existingListViewController())
                    v->resizeViews();
            });
    } else {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (auto *v = existingListViewController())
                    v->isOnScreen() ? v->resizeViews() : addDelayedAction([this] {
                        if (auto *w = existingListViewController())
                            w->resizeViews();
                    });
            },
            Qt::QueuedConnection);
    }
}

void RTTreeNode::messagesArrayControllerRemoveMessages(const QList<RTMessagePtr> &messages)
{
    if (messages.isEmpty())
        return;
    ListViewController *view = onMainThread() ? existingListViewController() : nullptr;
    if (view)
        view->setResizingEnabled(false);
    m_messages.removeMessages(messages);
    contentDidRemoveMessages(messages);
    {
        QMutexLocker locker(&m_stateLock);
        for (const RTMessagePtr &message : messages)
            m_readMessagesSet.remove(message.get());
    }
    if (view) {
        view->setResizingEnabled(true);
        view->isOnScreen() ? view->resizeViews() : addDelayedAction([this] {
            if (auto *v = existingListViewController())
                v->resizeViews();
        });
    }
    recount();
}

void RTTreeNode::recount()
{
    qint32 unseen = 0;
    for (const RTMessagePtr &message : m_messages.content()) {
        const quint32 flags = message->permanentFlags();
        if (!(flags & (RTPermanentFlag::IsSeen | RTPermanentFlag::IsHidden)))
            ++unseen;
    }
    setStoredNewMessagesCount(unseen);
}

void RTTreeNode::setStoredNewMessagesCount(qint32 count)
{
    if (m_newMessagesCount.exchange(count) != count)
        emit newMessagesCountChanged(newMessagesCount());
}

void RTTreeNode::changeNewMessagesCountBy(int delta)
{
    m_newMessagesCount.fetch_add(delta);
    emit newMessagesCountChanged(newMessagesCount());
}

RTTreeNodeOwner *RTTreeNode::owner() const
{
    return RTTreeNodeOwner::hasShared() ? &RTTreeNodeOwner::shared() : nullptr;
}

// --- list view and delayed actions ----------------------------------------------------

ListViewController *RTTreeNode::listViewController()
{
    if (!m_listViewController && !m_listViewCreationTried) {
        m_listViewCreationTried = true;
        const QString viewClass = nodeViewClass();
        if (!viewClass.isEmpty() && ListViewFactory::hasShared())
            m_listViewController = ListViewFactory::shared().createListViewController(
                viewClass, nodeViewNibName(), !m_inPopupHostingView);
    }
    return m_listViewController.get();
}

ListViewController *RTTreeNode::existingListViewController() const
{
    return m_listViewController.get();
}

void RTTreeNode::setListviewState(int state)
{
    if (ListViewController *view = listViewController())
        view->setListviewState(state);
}

void RTTreeNode::addDelayedAction(std::function<void()> action)
{
    m_delayedUpdates.push_back(std::move(action));
}

void RTTreeNode::performDelayedActions()
{
    std::vector<std::function<void()>> actions;
    actions.swap(m_delayedUpdates);
    for (auto &action : actions)
        action();
}

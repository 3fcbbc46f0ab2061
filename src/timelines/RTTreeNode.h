#pragma once

#include "foundation/Predicate.h"
#include "model/RTMessage.h"
#include "model/RTMessageHolder.h"
#include "platform/ListViewController.h"
#include "timelines/RTCompiledPredicate.h"
#include "timelines/RTMessageCollection.h"
#include "timelines/RTNodeMenu.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QVariantMap>
#include <atomic>
#include <functional>
#include <memory>

class RTService;
class RTTreeNode;
class RTTreeNodeOwner;

// A node's verdicts over one batch, with its predicate read once: the manager judges
// every message of a batch through it. Nodes whose isMessageValid() or
// shouldRemoveMessage() are their own are asked through those.
class RTTreeNodeJudge
{
public:
    RTTreeNodeJudge(const RTTreeNode *node, qint32 requestType, const QVariantMap &userInfo);
    [[nodiscard]] bool isMessageValid(const RTMessageFacts &facts,
                                      const RTMessagePtr &message) const;
    [[nodiscard]] bool shouldRemoveMessage(const RTMessageFacts &facts,
                                           const RTMessagePtr &message) const;

private:
    const RTTreeNode *m_node;
    qint32 m_requestType;
    const QVariantMap *m_userInfo;
    std::shared_ptr<const RTCompiledPredicate> m_predicate; // null: ask the node
    bool m_forceRemove;
};

// Node-only request types; the timeline nodes otherwise reuse the Twitter request types.
namespace RTTreeNodeRequestType {
inline constexpr qint32 Combined = qint32(0xC03B14EDu);
inline constexpr qint32 Direct = qint32(0xC03B14EEu);
inline constexpr qint32 Conversation = qint32(0xC03B14EFu);
inline constexpr qint32 AccountRoot = qint32(0xC03B14F0u);
inline constexpr qint32 Companion = -1;
inline constexpr qint32 Mutes = 247789;
} // namespace RTTreeNodeRequestType

// One source of the outline: a filter over the shared message store. It keeps the
// messages its predicate accepts, newest first, and its count of unseen ones. Messages
// reach it only through the tree node manager (RTTreeNodeOwner), which calls
// messagesArrayControllerAddMessages() / ...RemoveMessages() under its lock.
//
// Threads: a node's collection and count change under the manager's lock (possibly on a
// worker); everything else happens on the main thread.
class RTTreeNode : public QObject, public RTMessageHolder
{
    Q_OBJECT
public:
    // Base initialisation. The node is not registered yet: workers judge registered nodes
    // through their virtual operations, so only a complete node may be registered. Build
    // nodes with create() (or call registerWithOwner() once the object is complete).
    explicit RTTreeNode(QObject *representedObject = nullptr);
    // A message child: service as represented object, name, icon resource, predicate.
    RTTreeNode(const QString &name, RTService *service, qint32 requestType,
               const QString &imageName, const Predicate &validMsgPredicate);
    ~RTTreeNode() override;

    template<class T, class... Args> static T *create(Args &&...args)
    {
        T *node = new T(std::forward<Args>(args)...);
        node->registerWithOwner();
        return node;
    }
    // Registers the complete node with the installed owner and runs a content reload that
    // was asked for while it was being built. Does nothing the second time.
    void registerWithOwner();
    [[nodiscard]] bool isRegisteredWithOwner() const { return m_registered; }

    // --- fields
    [[nodiscard]] QObject *representedObject() const { return m_representedObject; }
    [[nodiscard]] RTService *service() const;
    void setService(RTService *service);
    [[nodiscard]] QString name() const { return m_name; }
    void setName(const QString &name);
    [[nodiscard]] QString imageName() const { return m_imageName; }
    void setImageName(const QString &imageName);
    [[nodiscard]] qint32 requestType() const { return m_requestType; }
    void setRequestType(qint32 type) { m_requestType = type; }
    [[nodiscard]] bool isDeleted() const { return m_isDeleted; }
    void setIsDeleted(bool value) { m_isDeleted = value; }
    [[nodiscard]] Predicate validMessagePredicate() const;
    void setValidMessagePredicate(const Predicate &predicate);
    [[nodiscard]] Predicate filterMessagePredicate() const { return m_filterMessagePredicate; }
    void setFilterMessagePredicate(const Predicate &predicate);
    [[nodiscard]] bool includeTrends() const { return m_includeTrends; }
    void setIncludeTrends(bool value) { m_includeTrends = value; }
    [[nodiscard]] bool inPopupHostingView() const { return m_inPopupHostingView; }
    virtual void setInPopupHostingView(bool value) { m_inPopupHostingView = value; }
    [[nodiscard]] bool shouldRoundImage() const { return m_shouldRoundImage; }
    void setShouldRoundImage(bool value) { m_shouldRoundImage = value; }
    void setShouldAppearInOutlineView(bool value);
    [[nodiscard]] bool isAlwaysExpandable() const { return m_isAlwaysExpandable; }
    void setIsAlwaysExpandable(bool value) { m_isAlwaysExpandable = value; }
    [[nodiscard]] bool isCombinedNode() const { return m_isCombinedNode; }
    void setIsCombinedNode(bool value) { m_isCombinedNode = value; }
    [[nodiscard]] bool isClosing() const { return m_isClosing; }
    [[nodiscard]] bool isAutoHiding() const { return m_isAutoHiding; }
    void setIsAutoHiding(bool value) { m_isAutoHiding = value; }
    [[nodiscard]] bool isUnreadNode() const { return m_isUnreadNode; }
    void setIsUnreadNode(bool value) { m_isUnreadNode = value; }
    [[nodiscard]] bool isInReadMessagesSet(const RTMessage *message) const;
    [[nodiscard]] RTTreeNode *referingTreeNode() const { return m_referingTreeNode; }
    void setReferingTreeNode(RTTreeNode *node) { m_referingTreeNode = node; }
    [[nodiscard]] RTMessageCollection &messagesArrayController() { return m_messages; }
    [[nodiscard]] const RTMessageCollection &messagesArrayController() const { return m_messages; }
    // Copies taken under the manager's lock, for readers off the manager's path.
    [[nodiscard]] QList<RTMessagePtr> contentSnapshot() const;
    [[nodiscard]] QList<RTMessagePtr> displayedMessages() const;

    // --- tree
    [[nodiscard]] RTTreeNode *parentNode() const { return m_parent; }
    [[nodiscard]] const QList<RTTreeNode *> &childNodes() const { return m_children; }
    void addChildNode(RTTreeNode *child); // takes ownership
    void addChildNodes(const QList<RTTreeNode *> &children);
    // Releases ownership to the caller (the node is not deleted).
    void removeChildNode(RTTreeNode *child);
    void removeChildNodes(const QList<RTTreeNode *> &children);
    [[nodiscard]] RTTreeNode *getChildByRequestType(qint32 type) const;
    [[nodiscard]] RTTreeNode *getChildByName(const QString &name) const;
    [[nodiscard]] QList<RTTreeNode *> flatRepresentation();
    [[nodiscard]] QList<RTTreeNode *> outlineViewReadyChildNodes() const;

    // --- overridable behaviour
    // isMessageValid() and shouldRemoveMessage() run on workers while the manager holds its
    // registration lock: they must not take the node-contents lock, which the manager takes
    // before the registration lock.
    [[nodiscard]] virtual QString nodeViewClass() const { return {}; }
    [[nodiscard]] virtual QString nodeViewNibName() const { return {}; }
    [[nodiscard]] virtual QVariantMap identity() const { return {}; }
    [[nodiscard]] virtual bool isMessageValid(const RTMessagePtr &message, qint32 requestType,
                                              const QVariantMap &userInfo) const;
    [[nodiscard]] virtual bool shouldRemoveMessage(const RTMessagePtr &message, qint32 requestType,
                                                   const QVariantMap &userInfo) const;
    // Whether the message is of the kind this node lists (base: every RTMessage).
    [[nodiscard]] virtual bool isOfMessageClass(const RTMessage &message) const;
    // A test that the base isMessageValid() applies after the class and the predicate
    // (base: none).
    [[nodiscard]] virtual bool passesFurtherChecks(const RTMessage &) const { return true; }
    // Whether isMessageValid() and shouldRemoveMessage() are the base ones, so that
    // isOfMessageClass(), the predicate and passesFurtherChecks() decide alone. A subclass
    // that overrides either of them answers NO.
    [[nodiscard]] virtual bool judgesByPredicateAlone() const { return true; }
    // The judge of one batch (the userInfo must outlive it).
    [[nodiscard]] RTTreeNodeJudge judge(qint32 requestType, const QVariantMap &userInfo) const;
    // The predicate as it is judged, read under the state lock.
    [[nodiscard]] std::shared_ptr<const RTCompiledPredicate> compiledPredicate() const;
    [[nodiscard]] virtual bool shouldShowMessageAsNew(const RTMessagePtr &message) const;
    [[nodiscard]] virtual qint32 newMessagesCount() const;
    virtual void markAllAsRead();
    [[nodiscard]] virtual bool shouldAppearInOutlineView() const;
    [[nodiscard]] virtual bool isLeaf() const;
    [[nodiscard]] virtual int sortWeight() const { return 0; }
    // The node's context menu, built once; nullptr for none.
    virtual RTNodeMenu *menu() { return nullptr; }
    [[nodiscard]] virtual bool canBeDeleted() const { return true; }
    [[nodiscard]] virtual bool canCloseWithScape() const { return false; }
    [[nodiscard]] virtual int defaultListState() const;
    [[nodiscard]] virtual bool shouldAppearInFlatListPresentation() const { return true; }
    [[nodiscard]] virtual bool canPollForOlderTweets() const { return false; }
    virtual void pollForOlderTweets();
    virtual void reloadContent();
    virtual void closeNode();
    virtual void deleteSelf();
    [[nodiscard]] virtual QString description() const;

    // --- messages (called by the manager under its lock)
    void messagesArrayControllerAddMessages(const QList<RTMessagePtr> &messages);
    void messagesArrayControllerRemoveMessages(const QList<RTMessagePtr> &messages);
    void changeNewMessagesCountBy(int delta) override;
    // Unread nodes: the list's selection moved to message.
    void selectionDidChange(const RTMessagePtr &message);

    // --- list view and delayed actions
    // Created on first call; nullptr when the node has no list view class.
    ListViewController *listViewController();
    [[nodiscard]] ListViewController *existingListViewController() const;
    void setListviewState(int state);
    void addDelayedAction(std::function<void()> action);
    // The list came on screen: run and clear the postponed actions.
    void performDelayedActions();
    [[nodiscard]] int delayedActionsCount() const { return int(m_delayedUpdates.size()); }

signals:
    void newMessagesCountChanged(qint32 count);
    void nameChanged();
    void imageChanged();
    void shouldAppearInOutlineViewChanged();
    void childrenChanged();
    // An unread node announces "isSeen" for redrawing its messages.
    void messageSeenStateChanged(const RTMessagePtr &message);
    void closed();

protected:
    // Every node destructor calls this first, so no worker judges a node whose members are
    // being destroyed. Does nothing once unregistered.
    void unregisterFromOwner();
    [[nodiscard]] RTTreeNodeOwner *owner() const;
    void setStoredNewMessagesCount(qint32 count);
    [[nodiscard]] qint32 storedNewMessagesCount() const { return m_newMessagesCount.load(); }
    void recount();
    // Under the node-contents lock, right after the content changed.
    virtual void contentDidAddMessages(const QList<RTMessagePtr> &) {}
    virtual void contentDidRemoveMessages(const QList<RTMessagePtr> &) {}
    // The outline field, without auto-hiding.
    [[nodiscard]] bool shouldAppearInOutlineViewField() const { return m_shouldAppear; }
    void sortChildren();
    // Re-evaluate after a predicate changed, with the batch flag set.
    void predicatesChanged();

    QPointer<QObject> m_representedObject;
    QPointer<RTService> m_service;

private:
    QString m_name;
    QString m_imageName;
    qint32 m_requestType = 0;
    bool m_isDeleted = false;
    Predicate m_filterMessagePredicate;
    bool m_includeTrends = false;
    bool m_inPopupHostingView = false;
    bool m_shouldRoundImage = false;
    bool m_shouldAppear = true;
    bool m_isAlwaysExpandable = false;
    bool m_isCombinedNode = false;
    bool m_isAutoHiding = false;
    bool m_isUnreadNode = false;
    std::atomic<qint32> m_newMessagesCount{0};
    QPointer<RTTreeNode> m_referingTreeNode;
    RTMessageCollection m_messages;
    QSet<const RTMessage *> m_readMessagesSet; // under m_stateLock
    std::vector<std::function<void()>> m_delayedUpdates;
    std::unique_ptr<ListViewController> m_listViewController;
    bool m_listViewCreationTried = false;
    bool m_registered = false;
    bool m_reloadWanted = false; // reloadContent() before registration
    RTTreeNode *m_parent = nullptr;
    QList<RTTreeNode *> m_children;
    // Workers read the predicate and the read set while the main thread changes them;
    // readers take a copy of the predicate (a shared, immutable tree), so a replaced one
    // is freed once the last evaluation using it ends.
    mutable QMutex m_stateLock;
    Predicate m_validMessagePredicate;                              // under m_stateLock
    std::shared_ptr<const RTCompiledPredicate> m_compiledPredicate; // under m_stateLock

protected:
    bool m_isClosing = false;
};

inline bool RTTreeNodeJudge::isMessageValid(const RTMessageFacts &facts,
                                            const RTMessagePtr &message) const
{
    if (!m_predicate)
        return m_node->isMessageValid(message, m_requestType, *m_userInfo);
    return m_predicate->evaluate(facts) && m_node->isOfMessageClass(*message) &&
           m_node->passesFurtherChecks(*message);
}

inline bool RTTreeNodeJudge::shouldRemoveMessage(const RTMessageFacts &facts,
                                                 const RTMessagePtr &message) const
{
    if (!m_predicate)
        return m_node->shouldRemoveMessage(message, m_requestType, *m_userInfo);
    return m_forceRemove || !m_predicate->evaluate(facts);
}

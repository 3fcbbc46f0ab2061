#pragma once

#include "accounts/RTService.h"
#include "accounts/RTServiceNodeManager.h"
#include "timelines/RTTreeNode.h"
#include "timelines/RTTreeNodeOwner.h"
#include "twitter/RTTreeNodeManagerInterface.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QReadWriteLock>
#include <QRecursiveMutex>
#include <QSet>
#include <functional>
#include <map>
#include <memory>

class RTServiceRegistry;
class RTTreeNodeAllFilteredMessages;
class RTTreeNodePopupHost;
class RTUnseenCountIndicators;
class RTReceivedMessageAlerts;
class RTPopupHostSectionProtocol;
class RTTrendObject;

// The current main window's side of temporary nodes; the window layer implements it.
class RTMainWindowNodeHost : public PlatformInterface<RTMainWindowNodeHost>
{
public:
    // Windows keep several temporary nodes in a list, or show one search node.
    enum class TemporaryNodeHolder
    {
        List,
        SingleNode,
        Other
    };

    [[nodiscard]] virtual TemporaryNodeHolder temporaryNodeHolder() const = 0;
    [[nodiscard]] virtual QList<RTTreeNode *> temporaryNodes() const = 0;
    // Takes ownership.
    virtual void appendTemporaryNode(RTTreeNode *node) = 0;
    // Takes ownership of node, replacing the one it showed.
    virtual void showTreeNode(RTTreeNode *node) = 0;
    virtual void selectTreeNode(RTTreeNode *node) = 0;
    // The toolbar's search field: it remembers the term and opens the search.
    virtual void addToRecentSearches(const QString &term) = 0;
};

// Owns the source tree and is the one path by which messages enter, change in and leave
// nodes. Batches may come from request workers: each node decides validity without the
// node lock, then every change of node contents and of message membership happens under
// treeNodesSetLock (recursive, as a node's update may come back here).
class RTTreeNodeManager : public QObject,
                          public RTTreeNodeOwner,
                          public RTTreeNodeManagerInterface,
                          public RTServiceNodeManager
{
    Q_OBJECT
public:
    // Builds an account's root node; registered per class name by the node classes.
    using NodeFactory = std::function<RTTreeNode *(const RTServicePtr &service)>;
    static void registerTreeNodeClass(const QString &className, NodeFactory factory);
    [[nodiscard]] static RTTreeNode *createTreeNodeOfClass(const QString &className,
                                                           const RTServicePtr &service);

    // Installs itself as the node owner and the Twitter layer's manager. Builds the count
    // nodes, the roots from the registry's accounts and the combined views.
    explicit RTTreeNodeManager(RTServiceRegistry &registry, QObject *parent = nullptr);
    ~RTTreeNodeManager() override;
    // The accounts the tree shows.
    [[nodiscard]] RTServiceRegistry &registry() const { return m_registry; }

    // The process-wide manager over RTServiceRegistry::shared(), built on first use.
    static RTTreeNodeManager &sharedManager();
    [[nodiscard]] static RTTreeNodeManager *existingSharedManager();

    // --- tree
    [[nodiscard]] QList<RTTreeNode *> rootTreeNodes() const { return m_rootNodes; }
    [[nodiscard]] QList<RTTreeNode *> allTreeNodes() const;
    [[nodiscard]] const QList<RTTreeNode *> &combinedToolbarTreeNodes() const
    {
        return m_combinedToolbarTreeNodes;
    }
    // The combined views the toolbar shows now.
    [[nodiscard]] QList<RTTreeNode *> visibleCombinedToolbarTreeNodes() const;
    [[nodiscard]] RTTreeNode *systemWideCountNode() const { return m_systemWideCountNode; }
    [[nodiscard]] RTTreeNode *statusIconCountNode() const { return m_statusIconCountNode; }
    [[nodiscard]] RTUnseenCountIndicators *countIndicators() const { return m_countIndicators; }
    [[nodiscard]] RTTreeNode *getRootNodeForService(const RTService *service) const;
    [[nodiscard]] RTTreeNode *getTalvoParentNode() const;
    [[nodiscard]] RTTreeNode *getSearchRootNode() const;
    [[nodiscard]] RTTreeNode *treeNodeWithIdentity(const QVariantMap &identity) const;
    [[nodiscard]] int registeredNodeCount() const;
    [[nodiscard]] bool isRegistered(const RTTreeNode *node) const;

    // --- RTServiceNodeManager
    void addNodeWithService(const RTServicePtr &service, bool expand) override;
    void removeNodeWithService(const RTServicePtr &service) override;
    void observePredicateForHomeNode(const RTServicePtr &service) override;
    void stopObservingPredicateForHomeNode(const RTServicePtr &service) override;

    // --- messages
    void allTreeNodesAddMessages(const QList<RTMessagePtr> &messages, int requestType,
                                 const QVariantMap &userInfo) override;
    void allTreeNodesRemoveMessages(const QList<RTMessagePtr> &messages, int requestType,
                                    const QVariantMap &userInfo) override;
    void allTreeNodesReEvaluateMessages(const QList<RTMessagePtr> &messages, int requestType,
                                        const QVariantMap &userInfo) override;
    void reEvaluateMessages(const QList<RTMessagePtr> &messages, int requestType,
                            const QVariantMap &userInfo, RTTreeNode *node);
    void reEvaluateAllMessagesForTreeNode(RTTreeNode *node) override;
    void allTreeNodesReEvaluteContent();
    // Messages still held by a node that is not combined are spared; the others are to
    // be removed. Nothing is ever to be added.
    static void validateMessages(const QList<RTMessagePtr> &messages,
                                 QList<RTMessagePtr> &messagesToSpare,
                                 QList<RTMessagePtr> &messagesToRemove,
                                 QList<RTMessagePtr> &messagesToAdd);
    // Clears the search flag of messages no open search node holds any more; returns them.
    QList<RTMessagePtr> updateFlagsOfMessages(const QList<RTMessagePtr> &messages,
                                              RTTreeNode *removedNode);

    // --- registration (called by the nodes)
    void treeNodesSetAddNode(RTTreeNode *node) override;
    void treeNodesSetRemoveNode(RTTreeNode *node) override;

    [[nodiscard]] bool isBatchChangingNewCount() const override
    {
        return m_isBatchChangingNewCount;
    }
    void setIsBatchChangingNewCount(bool value) override;

    // Mark All as Seen for the whole program: with the counts suspended, every message of
    // every account and every trend of the installed source becomes seen.
    void markAllMessagesAndTrendsSeen();
    // The companion layer's current trends; without one only messages are marked.
    using TrendsSource = std::function<QList<std::shared_ptr<RTTrendObject>>()>;
    static void setTrendsSource(TrendsSource source);

    [[nodiscard]] Predicate systemWideCountNodeValidMessagePredicate() const;
    [[nodiscard]] Predicate statusIconNodeValidMessagePredicate() const;

    // --- window layer
    void showNode(RTTreeNode *node) override;
    void selectCombinedSectionOfHost(RTTreeNode *child) override;
    void nodeWillHide(RTTreeNode *node) override;
    void reloadOutline() override;
    QRecursiveMutex *nodeContentsLock() override { return &m_treeNodesSetLock; }

    // --- pop-up host sections
    // The groups of an account ("groupsArray"); the companion layer keeps them.
    using GroupSectionSource = std::function<QList<RTPopupHostSectionProtocol *>(RTService *)>;
    static void setGroupSectionSource(GroupSectionSource source);
    // Brings every host that shows account's lists or saved searches up to date with the
    // account's current ones (after a poll of them, or when the account is added).
    void refreshSectionsOfService(RTService *account);

    // --- temporary searches (need an installed RTMainWindowNodeHost)
    void addTemporarySearchThroughSearchFieldWithSearchString(const QString &term);
    // Opens (or selects) a search node for term in the current window; returns it, or
    // nullptr when the window cannot hold one.
    RTTreeNode *addTemporarySearchNodeInCurrentWindowTypeWithSearchString(const QString &term);

    // --- expanded nodes ("RTExpandedNodes")
    [[nodiscard]] bool isExpanded(const RTTreeNode *node) const;
    // The outline expanded or collapsed a node: remember it unless restoring.
    void setExpanded(RTTreeNode *node, bool expanded);
    void restoreExpandedNodes();

signals:
    void rootTreeNodesChanged();
    void combinedToolbarTreeNodesChanged();
    void isBatchChangingNewCountChanged(bool value);
    // The current window should expand node (a new account, after a short delay).
    void expandNodeRequested(RTTreeNode *node);
    void showNodeRequested(RTTreeNode *node);
    void outlineReloadRequested();
    // Emitted under the node lock on the thread of the batch, after node took messages.
    void messagesAddedToNode(RTTreeNode *node, const QList<RTMessagePtr> &messages);

private:
    struct Offer
    {
        RTTreeNode *node;
        QList<RTMessagePtr> messages;
    };

    void initNodes();
    void initCombinedViewTreeNodes();
    void addRootNode(RTTreeNode *node);
    void arrangeRootNodes();
    [[nodiscard]] QList<RTTreeNode *> registeredNodesSnapshot() const;
    // The copies of repeated messages that their stores report, asked once per batch.
    using LikeCache = QHash<const RTMessage *, QList<RTMessagePtr>>;
    // Under treeNodesSetLock: the kept messages after the skip rules for repeats.
    static QList<RTMessagePtr>
    messagesToAddToNode(RTTreeNode *node, const QList<RTMessagePtr> &messages, LikeCache &likes);
    static QList<RTMessagePtr> containedMessages(RTTreeNode *node,
                                                 const QList<RTMessagePtr> &messages);
    // Runs body under the lock; general exceptions end the step, others propagate.
    void underLock(const std::function<void()> &body);
    void saveExpandedNodes();
    void addToNode(RTTreeNode *node, const QList<RTMessagePtr> &kept);

    QList<RTPopupHostSectionProtocol *> sectionsOfService(RTService *account,
                                                          const QString &keyPath);
    struct Section;
    // Takes the sections that match out of every host, closes their nodes (their messages
    // leave the nodes and may leave the store) and frees them.
    void dropSectionsWhere(const std::function<bool(const void *object, const Section &)> &gone);
    // Sections of accounts no longer in the registry.
    void dropSectionsOfRemovedAccounts();
    static GroupSectionSource &groupSectionSource();

    RTServiceRegistry &m_registry;
    // One section object (and node) per list or saved search, keyed by that object.
    struct Section
    {
        QPointer<RTService> account;
        std::unique_ptr<RTPopupHostSectionProtocol> section;
    };
    std::map<const void *, Section> m_sections;
    QList<RTTreeNode *> m_rootNodes;
    QList<RTTreeNode *> m_combinedToolbarTreeNodes;
    mutable QRecursiveMutex m_treeNodesSetLock;
    // Held for reading while nodes are judged without the node lock, so a node cannot
    // leave (and be freed) in the middle; taken for writing only under m_treeNodesSetLock.
    mutable QReadWriteLock m_registrationLock;
    QSet<RTTreeNode *> m_treeNodesSet;
    bool m_isBatchChangingNewCount = false;
    RTTreeNode *m_systemWideCountNode = nullptr;
    RTTreeNode *m_statusIconCountNode = nullptr;
    // Child object: the badge and the tray icon follow the two count nodes.
    RTUnseenCountIndicators *m_countIndicators = nullptr;
    // Installed as the accounts' sounds and pop-ups for received messages.
    std::unique_ptr<RTReceivedMessageAlerts> m_receivedMessageAlerts;
    QSet<RTTreeNode *> m_expandedNodes;
    bool m_restoringExpandedNodes = false;
    QList<QMetaObject::Connection> m_settingsConnections;
    bool m_destroying = false;
};

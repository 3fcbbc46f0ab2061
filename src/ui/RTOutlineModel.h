#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <vector>

class RTTreeNode;
class RTTreeNodeManager;

// The source outline: the manager's root nodes and the children each node shows in the
// outline. Counts, names and icons change in place; a change of the tree's shape (an
// account added, lists arriving) rebuilds the mirror once per event-loop turn.
// Main thread only; counts that change on workers arrive queued.
class RTOutlineModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Role
    {
        NodeRole = Qt::UserRole + 1, // RTTreeNode* as QObject*
        CountRole,                   // unseen messages (int)
        IsRootRole,
        ImageNameRole,
    };

    explicit RTOutlineModel(RTTreeNodeManager &manager, QObject *parent = nullptr);
    ~RTOutlineModel() override;

    [[nodiscard]] QModelIndex index(int row, int column,
                                    const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] QModelIndex parent(const QModelIndex &child) const override;
    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex &index) const override;

    [[nodiscard]] RTTreeNode *nodeForIndex(const QModelIndex &index) const;
    [[nodiscard]] QModelIndex indexForNode(const RTTreeNode *node) const;
    // Rebuilds now instead of at the next turn (tests, start-up).
    void rebuildNow();

signals:
    // Emitted after a rebuild so the view can restore expansion and selection.
    void rebuilt();

private:
    struct Item
    {
        QPointer<RTTreeNode> node;
        Item *parent = nullptr;
        int row = 0;
        std::vector<std::unique_ptr<Item>> children;
    };

    void scheduleRebuild();
    void build(Item &item, const QList<RTTreeNode *> &nodes);
    void watch(RTTreeNode *node);
    void nodeChanged(RTTreeNode *node);

    RTTreeNodeManager &m_manager;
    Item m_root;
    QHash<const RTTreeNode *, Item *> m_items;
    QList<QMetaObject::Connection> m_nodeConnections;
    QTimer m_rebuildTimer;
};

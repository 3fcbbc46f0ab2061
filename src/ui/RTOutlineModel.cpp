#include "ui/RTOutlineModel.h"

#include "timelines/RTTreeNode.h"
#include "timelines/RTTreeNodeManager.h"

#include <QThread>

RTOutlineModel::RTOutlineModel(RTTreeNodeManager &manager, QObject *parent)
    : QAbstractItemModel(parent)
    , m_manager(manager)
{
    m_rebuildTimer.setSingleShot(true);
    m_rebuildTimer.setInterval(0);
    connect(&m_rebuildTimer, &QTimer::timeout, this, &RTOutlineModel::rebuildNow);
    connect(&manager, &RTTreeNodeManager::rootTreeNodesChanged, this,
            &RTOutlineModel::scheduleRebuild);
    connect(&manager, &RTTreeNodeManager::outlineReloadRequested, this,
            &RTOutlineModel::scheduleRebuild);
    rebuildNow();
}

RTOutlineModel::~RTOutlineModel()
{
    for (const auto &c : std::as_const(m_nodeConnections))
        disconnect(c);
}

void RTOutlineModel::scheduleRebuild()
{
    if (!m_rebuildTimer.isActive())
        m_rebuildTimer.start();
}

void RTOutlineModel::rebuildNow()
{
    Q_ASSERT(QThread::currentThread() == thread());
    m_rebuildTimer.stop();
    beginResetModel();
    for (const auto &c : std::as_const(m_nodeConnections))
        disconnect(c);
    m_nodeConnections.clear();
    m_items.clear();
    m_root.children.clear();
    QList<RTTreeNode *> roots;
    for (RTTreeNode *node : m_manager.rootTreeNodes()) {
        if (node->shouldAppearInOutlineView())
            roots << node;
    }
    build(m_root, roots);
    // Hidden roots may come back into view.
    for (RTTreeNode *node : m_manager.rootTreeNodes()) {
        if (!m_items.contains(node))
            watch(node);
    }
    endResetModel();
    emit rebuilt();
}

void RTOutlineModel::build(Item &item, const QList<RTTreeNode *> &nodes)
{
    int row = 0;
    for (RTTreeNode *node : nodes) {
        auto child = std::make_unique<Item>();
        child->node = node;
        child->parent = &item;
        child->row = row++;
        m_items.insert(node, child.get());
        watch(node);
        build(*child, node->outlineViewReadyChildNodes());
        // Hidden children may appear later: their visibility changes reshape the tree.
        for (RTTreeNode *hidden : node->childNodes()) {
            if (!m_items.contains(hidden))
                watch(hidden);
        }
        item.children.push_back(std::move(child));
    }
}

void RTOutlineModel::watch(RTTreeNode *node)
{
    m_nodeConnections << connect(node, &RTTreeNode::childrenChanged, this,
                                 &RTOutlineModel::scheduleRebuild);
    m_nodeConnections << connect(node, &RTTreeNode::shouldAppearInOutlineViewChanged, this,
                                 &RTOutlineModel::scheduleRebuild);
    m_nodeConnections << connect(node, &QObject::destroyed, this, &RTOutlineModel::scheduleRebuild);
    if (!m_items.contains(node))
        return;
    // Counts move on request workers; the queued hop brings them here.
    m_nodeConnections << connect(node, &RTTreeNode::newMessagesCountChanged, this,
                                 [this, node] { nodeChanged(node); });
    m_nodeConnections << connect(node, &RTTreeNode::nameChanged, this,
                                 [this, node] { nodeChanged(node); });
    m_nodeConnections << connect(node, &RTTreeNode::imageChanged, this,
                                 [this, node] { nodeChanged(node); });
}

void RTOutlineModel::nodeChanged(RTTreeNode *node)
{
    const QModelIndex idx = indexForNode(node);
    if (idx.isValid())
        emit dataChanged(idx, idx);
}

QModelIndex RTOutlineModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    const Item *p =
        parent.isValid() ? static_cast<const Item *>(parent.internalPointer()) : &m_root;
    if (row >= int(p->children.size()))
        return {};
    return createIndex(row, 0, p->children[size_t(row)].get());
}

QModelIndex RTOutlineModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return {};
    const Item *item = static_cast<const Item *>(child.internalPointer());
    Item *p = item->parent;
    if (!p || p == &m_root)
        return {};
    return createIndex(p->row, 0, p);
}

int RTOutlineModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    const Item *p =
        parent.isValid() ? static_cast<const Item *>(parent.internalPointer()) : &m_root;
    return int(p->children.size());
}

int RTOutlineModel::columnCount(const QModelIndex &) const
{
    return 1;
}

RTTreeNode *RTOutlineModel::nodeForIndex(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<const Item *>(index.internalPointer())->node.data();
}

QModelIndex RTOutlineModel::indexForNode(const RTTreeNode *node) const
{
    Item *item = m_items.value(node, nullptr);
    if (!item)
        return {};
    return createIndex(item->row, 0, item);
}

QVariant RTOutlineModel::data(const QModelIndex &index, int role) const
{
    RTTreeNode *node = nodeForIndex(index);
    if (!node)
        return {};
    const bool isRoot = !static_cast<const Item *>(index.internalPointer())->parent ||
                        static_cast<const Item *>(index.internalPointer())->parent == &m_root;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return node->name();
    case Qt::AccessibleTextRole: {
        const int count = node->newMessagesCount();
        if (count > 0)
            return tr("%1, %n unseen", nullptr, count).arg(node->name());
        return node->name();
    }
    case Qt::ToolTipRole:
        return node->name();
    case CountRole:
        return int(node->newMessagesCount());
    case IsRootRole:
        return isRoot;
    case ImageNameRole:
        return node->imageName();
    case NodeRole:
        return QVariant::fromValue<QObject *>(node);
    default:
        return {};
    }
}

Qt::ItemFlags RTOutlineModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

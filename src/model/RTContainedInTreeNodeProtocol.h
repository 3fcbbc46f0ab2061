#pragma once

#include <QSet>

class QObject;
class RTMessageHolder;

// What a tree node asks of the items it lists (messages, trends). The node manager calls
// the two notifications under its lock when it adds or removes the item; a node must be
// removed from every item it holds before it is destroyed.
class RTContainedInTreeNodeProtocol
{
public:
    virtual ~RTContainedInTreeNodeProtocol() = default;

    // The receiving account, or nullptr.
    [[nodiscard]] virtual QObject *service() const = 0;
    [[nodiscard]] virtual bool shouldStoreInPermanentReadAndHiddenSet() const = 0;
    virtual void willBeAddedToTreeNode(RTMessageHolder *node) = 0;
    virtual void willBeRemovedFromTreeNode(RTMessageHolder *node) = 0;
    [[nodiscard]] virtual QSet<RTMessageHolder *> containedInTreeNodesSet() const = 0;
};

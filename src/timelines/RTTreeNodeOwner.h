#pragma once

#include "model/RTMessage.h"
#include "platform/PlatformInterface.h"

#include <QList>
#include <QRecursiveMutex>
#include <QVariantMap>

class RTTreeNode;

// What a node asks of the tree node manager: registration, re-evaluation of its content,
// the batch flag and the one path for new messages. The manager installs itself; nodes
// built without one (tests of a single node) skip these calls.
class RTTreeNodeOwner : public PlatformInterface<RTTreeNodeOwner>
{
public:
    virtual void treeNodesSetAddNode(RTTreeNode *node) = 0;
    virtual void treeNodesSetRemoveNode(RTTreeNode *node) = 0;
    virtual void reEvaluateAllMessagesForTreeNode(RTTreeNode *node) = 0;
    virtual void allTreeNodesAddMessages(const QList<RTMessagePtr> &messages, int requestType,
                                         const QVariantMap &userInfo) = 0;
    [[nodiscard]] virtual bool isBatchChangingNewCount() const = 0;
    virtual void setIsBatchChangingNewCount(bool value) = 0;
    // The main window should show node (a referring node getting focus back), or, with
    // nullptr, drop its temporary node.
    virtual void showNode(RTTreeNode *node) = 0;
    // A pop-up host child's list closed: select the host's combined section.
    virtual void selectCombinedSectionOfHost(RTTreeNode *child) = 0;
    // The outline replacement when a node is hidden, and the outline reload.
    virtual void nodeWillHide(RTTreeNode *node) = 0;
    virtual void reloadOutline() = 0;
    // The lock under which node contents change; main-thread readers take it to copy.
    virtual QRecursiveMutex *nodeContentsLock() { return nullptr; }
};

#pragma once

#include "model/RTMessage.h"
#include "platform/PlatformInterface.h"

#include <QList>
#include <QVariantMap>

// What request workers tell the tree node manager after a merge. The timelines layer
// installs the manager; until then (and in tests without nodes) nothing is installed and
// callers skip the call. Called on workers: the manager takes its own lock.
class RTTreeNodeManagerInterface : public PlatformInterface<RTTreeNodeManagerInterface>
{
public:
    virtual void allTreeNodesAddMessages(const QList<RTMessagePtr> &messages, int requestType,
                                         const QVariantMap &userInfo) = 0;
    virtual void allTreeNodesRemoveMessages(const QList<RTMessagePtr> &messages, int requestType,
                                            const QVariantMap &userInfo) = 0;
    virtual void allTreeNodesReEvaluateMessages(const QList<RTMessagePtr> &messages,
                                                int requestType, const QVariantMap &userInfo) = 0;
};

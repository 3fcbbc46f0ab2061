#pragma once

#include "model/RTMessage.h"
#include "timelines/RTNodeMenu.h"

class RTTreeNode;

// The three message items of timeline menus and what they do to a node's messages.
namespace RTTreeNodeMenuActions {
// keyPrefix names the text table ("RTTreeNodeTwitter" reads keys 25 to 27,
// "RTTreeNodeAllFilteredMessages" keys 0 to 2).
void addMessageItems(RTNodeMenu &menu, RTTreeNode &node, const QString &keyPrefix, int firstKey);
// Enables the items over the displayed messages, newest first, skipping hidden ones.
void updateMessageItems(RTNodeMenu &menu, const QList<RTMessagePtr> &displayed);
void markAllAsSeen(RTTreeNode &node);
void hideReadMessages(RTTreeNode &node);
void hideAllMessages(RTTreeNode &node);
// Home and Combined keep the user's own messages and mentions for Sent and Mentions.
void hide(const RTTreeNode &node, RTMessage &message);
} // namespace RTTreeNodeMenuActions

#include "timelines/RTTreeNodeMenuActions.h"

#include "foundation/Localization.h"
#include "timelines/RTTreeNode.h"
#include "timelines/RTTreeNodeOwner.h"

#include <QPointer>

namespace {

constexpr int kResizeDelayMs = 250;

QString text(const QString &prefix, int number)
{
    return localizedString(QStringLiteral("##%1:%2##").arg(prefix).arg(number));
}

// Runs body with the manager's batch flag set, so counts settle once.
template<class Body> void inBatch(Body body)
{
    RTTreeNodeOwner *owner = RTTreeNodeOwner::hasShared() ? &RTTreeNodeOwner::shared() : nullptr;
    if (owner)
        owner->setIsBatchChangingNewCount(true);
    body();
    if (owner)
        owner->setIsBatchChangingNewCount(false);
}

bool isTwitterSent(const RTMessage &m)
{
    return m.temporaryFlags() & RTTemporaryFlag::IsSent;
}

bool isTwitterMention(const RTMessage &m)
{
    return m.temporaryFlags() & RTTemporaryFlag::IsMention;
}

void refreshAfterHiding(RTTreeNode &node, bool clearSelection)
{
    if (ListViewController *view = node.existingListViewController()) {
        view->refresh();
        view->resizeViewsAfter(kResizeDelayMs);
        if (clearSelection)
            view->clearSelection();
    }
}

} // namespace

namespace RTTreeNodeMenuActions {

void addMessageItems(RTNodeMenu &menu, RTTreeNode &node, const QString &keyPrefix, int firstKey)
{
    QPointer<RTTreeNode> target(&node);
    auto item = [&](int tag, int key, const char *action, const QString &keyEquivalent, bool shift,
                    void (*run)(RTTreeNode &)) {
        RTNodeMenuItem i;
        i.tag = tag;
        i.title = text(keyPrefix, key);
        i.actionName = QLatin1String(action);
        i.keyEquivalent = keyEquivalent;
        i.command = true;
        i.shift = shift;
        i.action = [target, run] {
            if (target)
                run(*target);
        };
        menu.items.append(i);
    };
    const QString backspace(QChar(8));
    item(RTNodeMenuTag::MarkAllAsSeen, firstKey, "markAllAsRead:", QStringLiteral("k"), false,
         &markAllAsSeen);
    item(RTNodeMenuTag::HideSeen, firstKey + 1, "hideReadMessages:", backspace, false,
         &hideReadMessages);
    item(RTNodeMenuTag::HideAll, firstKey + 2, "hideAllMessages:", backspace, true,
         &hideAllMessages);
}

void updateMessageItems(RTNodeMenu &menu, const QList<RTMessagePtr> &displayed)
{
    bool anyVisible = false;
    bool unseenBefore = false;
    bool seenFound = false;
    for (const RTMessagePtr &message : displayed) {
        if (message->isHidden())
            continue;
        anyVisible = true;
        if (message->isSeen()) {
            seenFound = true;
            break;
        }
        unseenBefore = true;
    }
    bool markAll = false;
    bool hideSeen = false;
    bool hideAll = false;
    if (anyVisible && seenFound) {
        markAll = unseenBefore;
        hideSeen = true;
        hideAll = true;
    } else if (anyVisible) {
        markAll = unseenBefore;
        hideAll = unseenBefore;
    }
    if (auto *i = menu.itemWithTag(RTNodeMenuTag::MarkAllAsSeen))
        i->enabled = markAll;
    if (auto *i = menu.itemWithTag(RTNodeMenuTag::HideSeen))
        i->enabled = hideSeen;
    if (auto *i = menu.itemWithTag(RTNodeMenuTag::HideAll))
        i->enabled = hideAll;
}

void markAllAsSeen(RTTreeNode &node)
{
    const QList<RTMessagePtr> messages = node.displayedMessages();
    inBatch([&] {
        for (const RTMessagePtr &message : messages)
            message->markSeen(true);
        node.markAllAsRead();
    });
}

void hide(const RTTreeNode &node, RTMessage &message)
{
    const qint32 type = node.requestType();
    const bool homeLike = type == 55 || type == RTTreeNodeRequestType::Combined;
    if (homeLike && (isTwitterSent(message) || isTwitterMention(message))) {
        message.markSpecialHidden(true);
        return;
    }
    message.markHidden(true);
    if (!homeLike)
        message.markSpecialHidden(true);
}

void hideReadMessages(RTTreeNode &node)
{
    const QList<RTMessagePtr> messages = node.displayedMessages();
    inBatch([&] {
        for (const RTMessagePtr &message : messages) {
            if (message->isSeen())
                hide(node, *message);
        }
    });
    refreshAfterHiding(node, false);
}

void hideAllMessages(RTTreeNode &node)
{
    const QList<RTMessagePtr> messages = node.displayedMessages();
    for (const RTMessagePtr &message : messages)
        hide(node, *message);
    refreshAfterHiding(node, true);
}

} // namespace RTTreeNodeMenuActions

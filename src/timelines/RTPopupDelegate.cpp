#include "timelines/RTPopupDelegate.h"

#include "foundation/RTGlobalVariables.h"
#include "platform/DesktopApplication.h"
#include "platform/WindowLayer.h"
#include "timelines/RTTreeNodeManager.h"
#include "twitter/RTServiceTwitter.h"

#include <QPointer>

RTPopupDelegate::RTPopupDelegate(RTTreeNodeManager &manager, QObject *parent)
    : QObject(parent)
    , m_manager(manager)
{
    if (!DesktopNotifications::hasShared())
        return;
    QPointer<RTPopupDelegate> self(this);
    DesktopNotifications::shared().setAnswerHandler(
        [self](DesktopNotifications::Answer answer, const QVariantMap &context) {
            if (!self)
                return;
            switch (answer) {
            case DesktopNotifications::Answer::Clicked:
                self->popupNotificationWasClicked(context);
                break;
            case DesktopNotifications::Answer::Reply:
                self->replyWasChosen(context);
                break;
            case DesktopNotifications::Answer::MarkAsRead:
                self->markAsReadWasChosen(context);
                break;
            }
        });
}

RTPopupDelegate::~RTPopupDelegate()
{
    if (DesktopNotifications::hasShared())
        DesktopNotifications::shared().setAnswerHandler(nullptr);
}

void RTPopupDelegate::bringToFront()
{
    if (DesktopApplication::hasShared())
        DesktopApplication::shared().activateIgnoringOtherApps();
    if (WindowLayer::hasShared())
        WindowLayer::shared().showCurrentMainWindow();
}

RTTreeNode *RTPopupDelegate::nodeOf(const QVariantMap &clickContext) const
{
    const QVariantMap identity =
        clickContext.value(QLatin1String(kRTPopupTreeNodeIdentityKey)).toMap();
    if (identity.isEmpty())
        return nullptr;
    return m_manager.treeNodeWithIdentity(identity);
}

RTMessagePtr RTPopupDelegate::messageOf(const QVariantMap &clickContext) const
{
    const QString messageId = clickContext.value(QLatin1String(kRTPopupMessageIdKey)).toString();
    RTTreeNode *node = nodeOf(clickContext);
    auto *account = node ? qobject_cast<RTServiceTwitter *>(node->service()) : nullptr;
    if (!account || messageId.isEmpty())
        return nullptr;
    return account->messageWithId(messageId);
}

void RTPopupDelegate::popupNotificationWasClicked(const QVariantMap &clickContext)
{
    bringToFront();
    RTTreeNode *node = nodeOf(clickContext);
    if (!node)
        return;
    emit showTreeNodeRequested(node,
                               clickContext.value(QLatin1String(kRTPopupMessageIdKey)).toString());
}

void RTPopupDelegate::replyWasChosen(const QVariantMap &clickContext)
{
    const RTMessagePtr message = messageOf(clickContext);
    if (!message)
        return;
    bringToFront();
    emit replyRequested(message);
}

void RTPopupDelegate::markAsReadWasChosen(const QVariantMap &clickContext)
{
    // The counts, the badge and the tray icon follow the seen flag.
    if (const RTMessagePtr message = messageOf(clickContext))
        message->setIsSeen(true);
}

#pragma once

#include "model/RTMessage.h"
#include "platform/DesktopNotifications.h"

#include <QObject>

class RTTreeNode;
class RTTreeNodeManager;

// Answers to our pop-up notifications. A click brings the program forward and asks the
// window layer to show the node (and the message) the notification was about; Reply and
// Mark as read act on the message. Registers itself as the notification service's
// answer handler for its lifetime. Main thread.
class RTPopupDelegate : public QObject
{
    Q_OBJECT
public:
    explicit RTPopupDelegate(RTTreeNodeManager &manager, QObject *parent = nullptr);
    ~RTPopupDelegate() override;

    void popupNotificationWasClicked(const QVariantMap &clickContext);
    void replyWasChosen(const QVariantMap &clickContext);
    void markAsReadWasChosen(const QVariantMap &clickContext);

signals:
    // The current main window selects node and, when messageId is not empty, that message.
    void showTreeNodeRequested(RTTreeNode *node, const QString &messageId);
    // The window layer opens a reply to message.
    void replyRequested(const RTMessagePtr &message);

private:
    void bringToFront();
    [[nodiscard]] RTTreeNode *nodeOf(const QVariantMap &clickContext) const;
    [[nodiscard]] RTMessagePtr messageOf(const QVariantMap &clickContext) const;

    RTTreeNodeManager &m_manager;
};

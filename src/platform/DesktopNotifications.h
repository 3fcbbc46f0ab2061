#pragma once

#include "platform/PlatformInterface.h"

#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <functional>

// Pop-up notifications of the desktop. The service shows title, description and icon;
// the click context stays in our process and comes back with the user's answer.
class DesktopNotifications : public PlatformInterface<DesktopNotifications>
{
public:
    struct Notification
    {
        QString title;
        QString description;
        // Groups notifications of one kind ("Home Messages", ...).
        QString notificationName;
        // An encoded picture (PNG, JPEG, ...); empty for none.
        QByteArray iconData;
        int priority = 0;
        bool sticky = false;
        QVariantMap clickContext;
        // Offer Reply and Mark as read where the service has buttons.
        bool offerMessageActions = false;
    };

    enum class Answer
    {
        Clicked,
        Reply,
        MarkAsRead
    };
    using AnswerHandler = std::function<void(Answer answer, const QVariantMap &clickContext)>;

    // Shows it without waiting; a service that is missing or fails drops it.
    virtual void notify(const Notification &notification) = 0;
    // Called on the main thread with each answer to one of our notifications.
    virtual void setAnswerHandler(AnswerHandler handler) = 0;
};

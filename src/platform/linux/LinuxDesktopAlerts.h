#pragma once

#include "platform/linux/CanberraSoundPlayer.h"
#include "platform/linux/DBusDesktopNotifications.h"
#include "platform/linux/DBusLauncherBadge.h"

#include <QDBusConnection>

// The alerts of a Linux desktop, installed as the platform interfaces for the object's
// lifetime: pop-up notifications, the launcher count and the sounds. The tray icon needs
// Qt Widgets and lives apart (QtStatusItem in talvo_platform_tray).
class LinuxDesktopAlerts
{
public:
    explicit LinuxDesktopAlerts(const QDBusConnection &bus = QDBusConnection::sessionBus());
    ~LinuxDesktopAlerts();
    LinuxDesktopAlerts(const LinuxDesktopAlerts &) = delete;
    LinuxDesktopAlerts &operator=(const LinuxDesktopAlerts &) = delete;

    [[nodiscard]] DBusDesktopNotifications &notifications() { return m_notifications; }
    [[nodiscard]] DBusLauncherBadge &launcherBadge() { return m_badge; }
    [[nodiscard]] CanberraSoundPlayer &sounds() { return m_sounds; }

private:
    DBusDesktopNotifications m_notifications;
    DBusLauncherBadge m_badge;
    CanberraSoundPlayer m_sounds;
};

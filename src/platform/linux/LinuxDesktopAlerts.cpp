#include "platform/linux/LinuxDesktopAlerts.h"

LinuxDesktopAlerts::LinuxDesktopAlerts(const QDBusConnection &bus)
    : m_notifications(bus)
    , m_badge(QStringLiteral("application://org.talvo.Talvo.desktop"), bus)
{
    DesktopNotifications::setShared(&m_notifications);
    LauncherBadge::setShared(&m_badge);
    SoundPlayer::setShared(&m_sounds);
}

// Each member uninstalls itself when it goes.
LinuxDesktopAlerts::~LinuxDesktopAlerts() = default;

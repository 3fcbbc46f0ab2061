#pragma once

#include "platform/LauncherBadge.h"

#include <QDBusConnection>
#include <QString>

// The launcher count as the com.canonical.Unity.LauncherEntry Update signal, read by
// KDE Plasma, Dock and Dash to Dock. app_uri names the installed desktop file.
class DBusLauncherBadge : public LauncherBadge
{
public:
    static constexpr const char *path = "/org/talvo/Talvo/LauncherEntry";
    static constexpr const char *interface = "com.canonical.Unity.LauncherEntry";

    explicit DBusLauncherBadge(
        const QString &appUri = QStringLiteral("application://org.talvo.Talvo.desktop"),
        const QDBusConnection &bus = QDBusConnection::sessionBus());
    ~DBusLauncherBadge() override;

    void setBadgeLabel(const QString &label) override;

private:
    QString m_appUri;
    QDBusConnection m_bus;
};

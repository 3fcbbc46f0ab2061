#include "platform/linux/DBusLauncherBadge.h"

#include <QDBusMessage>

DBusLauncherBadge::DBusLauncherBadge(const QString &appUri, const QDBusConnection &bus)
    : m_appUri(appUri)
    , m_bus(bus)
{
}

DBusLauncherBadge::~DBusLauncherBadge()
{
    if (LauncherBadge::hasShared() && &LauncherBadge::shared() == this)
        LauncherBadge::setShared(nullptr);
}

void DBusLauncherBadge::setBadgeLabel(const QString &label)
{
    bool ok = false;
    const qint64 count = label.toLongLong(&ok);
    const bool visible = ok && count > 0;
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(path), QLatin1String(interface),
                                                     QStringLiteral("Update"));
    signal << m_appUri
           << QVariantMap{{QStringLiteral("count"), visible ? count : qint64(0)},
                          {QStringLiteral("count-visible"), visible}};
    m_bus.send(signal);
}

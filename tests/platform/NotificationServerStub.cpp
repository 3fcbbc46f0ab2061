#include "NotificationServerStub.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <atomic>

namespace {
QString connectionName()
{
    static std::atomic<int> n{0};
    return QStringLiteral("notification-server-stub-%1").arg(++n);
}
} // namespace

NotificationServerStub::NotificationServerStub(const QStringList &capabilities)
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName()))
    , m_capabilities(capabilities)
{
    if (!m_bus.isConnected())
        return;
    m_running =
        m_bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                             QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
        m_bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

NotificationServerStub::~NotificationServerStub()
{
    if (m_running)
        m_bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    m_bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    QDBusConnection::disconnectFromBus(m_bus.name());
}

void NotificationServerStub::answer(uint id, const QString &actionKey, bool close)
{
    emit ActionInvoked(id, actionKey);
    if (close)
        emit NotificationClosed(id, 2);
}

QStringList NotificationServerStub::GetCapabilities()
{
    return m_capabilities;
}

uint NotificationServerStub::Notify(const QString &appName, uint, const QString &,
                                    const QString &summary, const QString &body,
                                    const QStringList &actions, const QVariantMap &hints,
                                    int timeout)
{
    Call call{appName, summary, body, actions, hints, timeout, m_nextId++};
    const QVariant image = hints.value(QStringLiteral("image-data"));
    if (image.canConvert<QDBusArgument>()) {
        const QDBusArgument arg = image.value<QDBusArgument>();
        int rowstride = 0, bits = 0, channels = 0;
        bool alpha = false;
        QByteArray data;
        arg.beginStructure();
        arg >> call.imageWidth >> call.imageHeight >> rowstride >> alpha >> bits >> channels >>
            data;
        arg.endStructure();
        call.imageBytes = int(data.size());
    }
    calls.append(call);
    return call.id;
}

void NotificationServerStub::CloseNotification(uint id)
{
    emit NotificationClosed(id, 3);
}

QString NotificationServerStub::GetServerInformation(QString &vendor, QString &version,
                                                     QString &specVersion)
{
    vendor = QStringLiteral("Talvo tests");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("stub");
}

#include "helper/THInstanceBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

namespace {
constexpr int kCallTimeoutMs = 5000;

QDBusMessage helperCall(const QString &method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(THInstanceBus::serviceName), QLatin1String(THInstanceBus::objectPath),
        QLatin1String(THInstanceBus::serviceName), method);
    // Asking whether a helper runs must not start one.
    call.setAutoStartService(false);
    return call;
}
} // namespace

THInstanceBus::THInstanceBus(const QString &version, const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_version(version)
    , m_bus(bus)
{
}

THInstanceBus::~THInstanceBus()
{
    release();
}

std::optional<QString> THInstanceBus::runningVersion(const QDBusConnection &bus)
{
    if (!bus.isConnected())
        return std::nullopt;
    const QDBusReply<QString> reply =
        bus.call(helperCall(QStringLiteral("Version")), QDBus::Block, kCallTimeoutMs);
    if (!reply.isValid())
        return std::nullopt;
    return reply.value();
}

bool THInstanceBus::handOver(const QDBusConnection &bus, const QStringList &links,
                             QStringList *refusals)
{
    for (const QString &link : links) {
        QDBusMessage call = helperCall(QStringLiteral("Open"));
        call << link;
        const QDBusReply<QString> reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
        if (!reply.isValid())
            return false;
        if (refusals && !reply.value().isEmpty())
            refusals->append(reply.value());
    }
    return true;
}

bool THInstanceBus::claim()
{
    if (!m_bus.isConnected() || !m_bus.interface())
        return false;
    if (!m_bus.registerObject(QLatin1String(objectPath), this,
                              QDBusConnection::ExportScriptableSlots))
        return false;
    m_bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                  QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameLost"), this,
                  SLOT(serviceNameLost(QString)));
    const auto reply = m_bus.interface()->registerService(
        QLatin1String(serviceName), QDBusConnectionInterface::ReplaceExistingService,
        QDBusConnectionInterface::AllowReplacement);
    m_claimed = reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
    return m_claimed;
}

void THInstanceBus::release()
{
    if (!m_claimed)
        return;
    m_claimed = false;
    m_bus.disconnect(QStringLiteral("org.freedesktop.DBus"),
                     QStringLiteral("/org/freedesktop/DBus"),
                     QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameLost"), this,
                     SLOT(serviceNameLost(QString)));
    m_bus.interface()->unregisterService(QLatin1String(serviceName));
    m_bus.unregisterObject(QLatin1String(objectPath));
}

QString THInstanceBus::Open(const QString &link)
{
    return onOpen ? onOpen(link) : QString();
}

void THInstanceBus::Quit()
{
    release();
    if (onQuit)
        onQuit();
}

QString THInstanceBus::HotKeyStatus() const
{
    return hotKeyStatus ? hotKeyStatus() : QString();
}

void THInstanceBus::serviceNameLost(const QString &name)
{
    if (name != QLatin1String(serviceName) || !m_claimed)
        return;
    m_claimed = false;
    m_bus.unregisterObject(QLatin1String(objectPath));
    Q_EMIT nameLost();
}

#include "platform/linux/DBusSystemNotifications.h"

#include "foundation/Log.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <vector>

namespace {
// Nested maps and lists arrive as QDBusArgument and need unpacking.
QVariant demarshall(const QVariant &value)
{
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return value;
    const auto arg = value.value<QDBusArgument>();
    if (arg.currentType() == QDBusArgument::MapType) {
        QVariantMap map;
        arg >> map;
        for (auto it = map.begin(); it != map.end(); ++it)
            it.value() = demarshall(it.value());
        return map;
    }
    if (arg.currentType() == QDBusArgument::ArrayType) {
        QVariantList list;
        arg >> list;
        for (QVariant &v : list)
            v = demarshall(v);
        return list;
    }
    return QVariant();
}

// Invalid values cannot be sent; leave those keys out.
QVariantMap sendable(const QVariantMap &userInfo)
{
    QVariantMap out;
    for (auto it = userInfo.cbegin(); it != userInfo.cend(); ++it) {
        if (it.value().isValid())
            out.insert(it.key(), it.value());
    }
    return out;
}
} // namespace

DBusSystemNotifications::DBusSystemNotifications(QObject *parent)
    : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_connected =
        bus.isConnected() &&
        bus.connect(QString(), QLatin1String(path), QLatin1String(interface),
                    QStringLiteral("Posted"), this, SLOT(posted(QString, QString, QVariantMap)));
    if (!m_connected)
        qCWarning(lcPlatform) << "no session bus: notifications between Talvo's programs are off";
}

DBusSystemNotifications::~DBusSystemNotifications()
{
    if (m_connected)
        QDBusConnection::sessionBus().disconnect(QString(), QLatin1String(path),
                                                 QLatin1String(interface), QStringLiteral("Posted"),
                                                 this, SLOT(posted(QString, QString, QVariantMap)));
}

void DBusSystemNotifications::post(const QString &name, const QString &object,
                                   const QVariantMap &userInfo)
{
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(path), QLatin1String(interface),
                                                     QStringLiteral("Posted"));
    signal << name << object << sendable(userInfo);
    if (!QDBusConnection::sessionBus().send(signal))
        qCWarning(lcPlatform) << "could not post" << name;
}

int DBusSystemNotifications::subscribe(const QString &name, Callback callback)
{
    const int id = m_nextId++;
    m_subscriptions.emplace(id, std::make_pair(name, std::move(callback)));
    return id;
}

void DBusSystemNotifications::unsubscribe(int id)
{
    m_subscriptions.erase(id);
}

void DBusSystemNotifications::posted(const QString &name, const QString &object,
                                     const QVariantMap &userInfo)
{
    QVariantMap info;
    for (auto it = userInfo.cbegin(); it != userInfo.cend(); ++it)
        info.insert(it.key(), demarshall(it.value()));
    std::vector<Callback> matching;
    for (const auto &[id, entry] : m_subscriptions) {
        if (entry.first == name)
            matching.push_back(entry.second);
    }
    for (const Callback &callback : matching)
        callback(object, info);
}

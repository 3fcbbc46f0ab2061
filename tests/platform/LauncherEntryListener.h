#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

// Listens for com.canonical.Unity.LauncherEntry Update on any path, as docks do, but only
// from this process: other tests on the same bus send their own counts.
class LauncherEntryListener : public QObject
{
    Q_OBJECT
public:
    // On a connection of its own, as a dock has: on the sender's own connection Qt may
    // hand two quick signals to this object out of the order they went on the bus.
    bool listen()
    {
        const QString sender = QDBusConnection::sessionBus().baseService();
        QDBusConnection own = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                            QStringLiteral("launcher-listener"));
        return own.isConnected() &&
               own.connect(sender, QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                           QStringLiteral("Update"), this, SLOT(update(QString, QVariantMap)));
    }
    ~LauncherEntryListener() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("launcher-listener"));
    }
    QList<std::pair<QString, QVariantMap>> updates;

public Q_SLOTS:
    void update(const QString &uri, const QVariantMap &properties)
    {
        updates.append({uri, properties});
    }
};

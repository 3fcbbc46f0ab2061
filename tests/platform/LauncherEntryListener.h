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
    bool listen()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        return bus.connect(bus.baseService(), QString(),
                           QStringLiteral("com.canonical.Unity.LauncherEntry"),
                           QStringLiteral("Update"), this, SLOT(update(QString, QVariantMap)));
    }
    QList<std::pair<QString, QVariantMap>> updates;

public Q_SLOTS:
    void update(const QString &uri, const QVariantMap &properties)
    {
        updates.append({uri, properties});
    }
};

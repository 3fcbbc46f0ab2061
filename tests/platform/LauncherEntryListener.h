#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

// Listens for com.canonical.Unity.LauncherEntry Update on any path, as docks do.
class LauncherEntryListener : public QObject
{
    Q_OBJECT
public:
    bool listen()
    {
        return QDBusConnection::sessionBus().connect(
            QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
            QStringLiteral("Update"), this, SLOT(update(QString, QVariantMap)));
    }
    QList<std::pair<QString, QVariantMap>> updates;

public Q_SLOTS:
    void update(const QString &uri, const QVariantMap &properties)
    {
        updates.append({uri, properties});
    }
};

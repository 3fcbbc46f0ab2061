#pragma once

#include "platform/SystemNotifications.h"

#include <QObject>
#include <map>

// System-wide notifications as one session-bus signal,
// org.talvo.DistributedNotifications.Posted(name, object, userInfo).
class DBusSystemNotifications : public QObject, public SystemNotifications
{
    Q_OBJECT

public:
    static constexpr const char *path = "/org/talvo/DistributedNotifications";
    static constexpr const char *interface = "org.talvo.DistributedNotifications";

    explicit DBusSystemNotifications(QObject *parent = nullptr);
    ~DBusSystemNotifications() override;

    [[nodiscard]] bool isConnected() const { return m_connected; }

    void post(const QString &name, const QString &object, const QVariantMap &userInfo) override;
    int subscribe(const QString &name, Callback callback) override;
    void unsubscribe(int id) override;

private Q_SLOTS:
    void posted(const QString &name, const QString &object, const QVariantMap &userInfo);

private:
    bool m_connected = false;
    int m_nextId = 1;
    std::map<int, std::pair<QString, Callback>> m_subscriptions;
};

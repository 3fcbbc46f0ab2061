#pragma once

#include <QMutex>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <map>

// In-process notifications by name, for the few announcements that have no natural
// sender to connect a signal to ("RTDeletedServiceNotification", hot-key changes).
// Observers run on the thread that posts; post from the main thread.
class NotificationCenter
{
public:
    using Observer = std::function<void(const void *object, const QVariantMap &userInfo)>;

    static NotificationCenter &defaultCenter();

    // Returns an id for removeObserver.
    int addObserver(const QString &name, Observer observer);
    void removeObserver(int id);
    void post(const QString &name, const void *object = nullptr,
              const QVariantMap &userInfo = QVariantMap());

private:
    QMutex m_mutex;
    int m_nextId = 1;
    std::map<int, std::pair<QString, Observer>> m_observers;
};

#include "foundation/NotificationCenter.h"

#include <vector>

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

int NotificationCenter::addObserver(const QString &name, Observer observer)
{
    QMutexLocker locker(&m_mutex);
    const int id = m_nextId++;
    m_observers.emplace(id, std::make_pair(name, std::move(observer)));
    return id;
}

void NotificationCenter::removeObserver(int id)
{
    QMutexLocker locker(&m_mutex);
    m_observers.erase(id);
}

void NotificationCenter::post(const QString &name, const void *object, const QVariantMap &userInfo)
{
    // Copy first: an observer may add or remove observers while it runs.
    std::vector<Observer> matching;
    {
        QMutexLocker locker(&m_mutex);
        for (const auto &[id, entry] : m_observers) {
            if (entry.first == name)
                matching.push_back(entry.second);
        }
    }
    for (const Observer &observer : matching)
        observer(object, userInfo);
}

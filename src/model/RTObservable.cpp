#include "model/RTObservable.h"

#include <QMutexLocker>
#include <algorithm>

int RTObservable::addObserver(ChangeHandler handler)
{
    QMutexLocker lock(&m_observersMutex);
    const int token = m_nextToken++;
    m_observers.emplace_back(token, std::make_shared<ChangeHandler>(std::move(handler)));
    m_observerCount.store(int(m_observers.size()), std::memory_order_release);
    return token;
}

void RTObservable::removeObserver(int token)
{
    QMutexLocker lock(&m_observersMutex);
    std::erase_if(m_observers, [token](const auto &entry) { return entry.first == token; });
    m_observerCount.store(int(m_observers.size()), std::memory_order_release);
}

bool RTObservable::hasObservers() const
{
    return m_observerCount.load(std::memory_order_acquire) > 0;
}

void RTObservable::willChangeValueForKey(const char *key) const
{
    announce(key, ChangePhase::Will);
}

void RTObservable::didChangeValueForKey(const char *key) const
{
    announce(key, ChangePhase::Did);
}

void RTObservable::announce(const char *key, ChangePhase phase) const
{
    if (!hasObservers())
        return;
    std::vector<std::shared_ptr<ChangeHandler>> handlers;
    {
        QMutexLocker lock(&m_observersMutex);
        handlers.reserve(m_observers.size());
        for (const auto &entry : m_observers)
            handlers.push_back(entry.second);
    }
    for (const auto &handler : handlers)
        (*handler)(key, phase);
}

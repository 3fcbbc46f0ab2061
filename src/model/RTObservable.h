#pragma once

#include <QMutex>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

// Change announcements for records that are not QObjects (messages and users: tens of
// thousands of them). Observers are told before and after a property changes, on the
// thread that changes it. Handlers run outside the lock, so they may add or remove
// observers, and an object without observers pays one atomic load per announcement.
class RTObservable
{
public:
    enum class ChangePhase
    {
        Will,
        Did
    };
    using ChangeHandler = std::function<void(const char *key, ChangePhase phase)>;

    RTObservable() = default;
    RTObservable(const RTObservable &) = delete;
    RTObservable &operator=(const RTObservable &) = delete;
    virtual ~RTObservable() = default;

    // Returns a token for removeObserver().
    int addObserver(ChangeHandler handler);
    // A handler that another thread is already calling may still run once after this.
    void removeObserver(int token);
    [[nodiscard]] bool hasObservers() const;

    void willChangeValueForKey(const char *key) const;
    void didChangeValueForKey(const char *key) const;

private:
    void announce(const char *key, ChangePhase phase) const;

    mutable QMutex m_observersMutex;
    std::vector<std::pair<int, std::shared_ptr<ChangeHandler>>> m_observers;
    std::atomic<int> m_observerCount{0};
    int m_nextToken = 1;
};

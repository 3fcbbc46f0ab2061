#include "foundation/Clock.h"

#include <atomic>

namespace {
Clock g_systemClock;
std::atomic<Clock *> g_shared{&g_systemClock};
} // namespace

QDateTime Clock::now() const
{
    return QDateTime::currentDateTimeUtc();
}

Clock &Clock::shared()
{
    return *g_shared.load(std::memory_order_acquire);
}

void Clock::setShared(Clock *clock)
{
    g_shared.store(clock ? clock : &g_systemClock, std::memory_order_release);
}

FakeClock::FakeClock(const QDateTime &start)
    : m_now(start)
{
}

QDateTime FakeClock::now() const
{
    QMutexLocker locker(&m_mutex);
    return m_now;
}

void FakeClock::setNow(const QDateTime &now)
{
    QMutexLocker locker(&m_mutex);
    m_now = now;
}

void FakeClock::advance(qint64 milliseconds)
{
    QMutexLocker locker(&m_mutex);
    m_now = m_now.addMSecs(milliseconds);
}

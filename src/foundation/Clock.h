#pragma once

#include <QDateTime>
#include <QMutex>

// Where the program reads the time. Tests install a FakeClock and move it instead of
// waiting; timers stay QTimers whose handlers are plain methods the tests call.
class Clock
{
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual QDateTime now() const;

    // The clock every component uses; never null.
    static Clock &shared();
    // Installs a clock (not owned) or, with nullptr, the system clock again.
    static void setShared(Clock *clock);

    [[nodiscard]] static QDateTime currentDateTime() { return shared().now(); }
    [[nodiscard]] static qint64 secondsSinceEpoch() { return shared().now().toSecsSinceEpoch(); }
};

// A clock that stands still until told to move. Thread-safe.
class FakeClock : public Clock
{
public:
    explicit FakeClock(const QDateTime &start = QDateTime::fromSecsSinceEpoch(1262304000, Qt::UTC));
    [[nodiscard]] QDateTime now() const override;
    void setNow(const QDateTime &now);
    void advance(qint64 milliseconds);

private:
    mutable QMutex m_mutex;
    QDateTime m_now;
};

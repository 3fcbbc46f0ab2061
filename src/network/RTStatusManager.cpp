#include "network/RTStatusManager.h"

#include "foundation/Clock.h"
#include "foundation/MainThread.h"
#include "foundation/RTGlobalVariables.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <optional>

RTStatusManager &RTStatusManager::sharedManager()
{
    static RTStatusManager *manager = [] {
        auto *m = new RTStatusManager;
        if (auto *app = QCoreApplication::instance())
            m->moveToThread(app->thread());
        return m;
    }();
    return *manager;
}

void RTStatusManager::addStatusWithObject(const void *object, const QString &contextString,
                                          const QString &text, bool showProgressIdicator)
{
    Status status;
    status.identifier = reinterpret_cast<quintptr>(object);
    status.contextString = contextString;
    status.statusString = text;
    status.showProgress = showProgressIdicator;
    status.startDate = Clock::currentDateTime();
    putStatus(std::move(status));
}

void RTStatusManager::addTransientStatusForObject(const void *object, const QString &contextString,
                                                  const QString &text, double duration)
{
    Status status;
    status.identifier = reinterpret_cast<quintptr>(object);
    status.contextString = contextString;
    status.statusString = text;
    status.isTransient = true;
    status.startDate = Clock::currentDateTime();
    status.transientDuration = duration;
    putStatus(std::move(status));
    scheduleExpiry(duration);
}

void RTStatusManager::putStatus(Status status)
{
    {
        QMutexLocker locker(&m_lock);
        m_statuses.removeIf([&](const Status &s) {
            return s.identifier == status.identifier && s.contextString == status.contextString;
        });
        m_statuses.append(std::move(status));
    }
    updateStatus();
}

void RTStatusManager::removeStatusForObject(const void *object, const QString &contextString)
{
    const auto identifier = reinterpret_cast<quintptr>(object);
    qsizetype removed = 0;
    {
        QMutexLocker locker(&m_lock);
        removed = m_statuses.removeIf([&](const Status &s) {
            return s.identifier == identifier && s.contextString == contextString;
        });
    }
    if (removed > 0)
        updateStatus();
}

namespace {

QDateTime expiryOf(const RTStatusManager::Status &s)
{
    return s.startDate.addMSecs(static_cast<qint64>(std::llround(s.transientDuration * 1000)));
}

} // namespace

void RTStatusManager::removeExpiredStatuses()
{
    const QDateTime now = Clock::currentDateTime();
    qsizetype removed = 0;
    std::optional<QDateTime> next;
    {
        QMutexLocker locker(&m_lock);
        removed = m_statuses.removeIf(
            [&](const Status &s) { return s.isTransient && expiryOf(s) <= now; });
        for (const Status &s : std::as_const(m_statuses)) {
            if (s.isTransient && (!next || expiryOf(s) < *next))
                next = expiryOf(s);
        }
    }
    if (removed > 0)
        updateStatus();
    // A timer may fire before its line is due, and a line's own timer may have fired
    // already: whatever is left is looked at again when the next one is due.
    if (next)
        scheduleExpiry(std::max<qint64>(now.msecsTo(*next), 1) / 1000.0);
}

void RTStatusManager::removeAllStatuses()
{
    {
        QMutexLocker locker(&m_lock);
        m_statuses.clear();
    }
    updateStatus();
}

QList<RTStatusManager::Status> RTStatusManager::statuses() const
{
    QMutexLocker locker(&m_lock);
    return m_statuses;
}

QList<QVariantMap> RTStatusManager::statusDictionaries() const
{
    QList<QVariantMap> out;
    for (const Status &s : statuses()) {
        QVariantMap entry{
            {QString::fromLatin1(kRTStatusIdentifier), QVariant::fromValue(s.identifier)},
            {QString::fromLatin1(kRTContextString), s.contextString},
            {QString::fromLatin1(kRTStatusString), s.statusString},
            {QString::fromLatin1(kRTShowProgressBOOL), s.showProgress},
            {QString::fromLatin1(kRTIsTransient), s.isTransient},
            {QString::fromLatin1(kRTStartDate), s.startDate},
        };
        if (s.isTransient)
            entry.insert(QString::fromLatin1(kRTTransientDuration), s.transientDuration);
        out.append(entry);
    }
    return out;
}

bool RTStatusManager::hasStatusForObject(const void *object, const QString &contextString) const
{
    const auto identifier = reinterpret_cast<quintptr>(object);
    QMutexLocker locker(&m_lock);
    return std::any_of(m_statuses.cbegin(), m_statuses.cend(), [&](const Status &s) {
        return s.identifier == identifier && s.contextString == contextString;
    });
}

QString RTStatusManager::statusText() const
{
    QMutexLocker locker(&m_lock);
    for (auto it = m_statuses.crbegin(); it != m_statuses.crend(); ++it) {
        if (!it->statusString.isEmpty())
            return it->statusString;
    }
    return {};
}

bool RTStatusManager::showsProgress() const
{
    QMutexLocker locker(&m_lock);
    return std::any_of(m_statuses.cbegin(), m_statuses.cend(),
                       [](const Status &s) { return s.showProgress; });
}

void RTStatusManager::updateStatus()
{
    // Observers are widgets: tell them on the main thread, with the state as it is then.
    runOnMainThread(
        [this] {
            emit statusesChanged();
            const QString text = statusText();
            if (text != m_shownText) {
                m_shownText = text;
                emit statusTextChanged(text);
            }
        },
        false);
}

void RTStatusManager::scheduleExpiry(double seconds)
{
    const int ms = static_cast<int>(std::clamp(seconds, 0.0, 86400.0) * 1000);
    runOnMainThread(
        [this, ms] {
            QTimer::singleShot(ms, Qt::PreciseTimer, this, &RTStatusManager::removeExpiredStatuses);
        },
        false);
}

#include "network/OAuthClock.h"

#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "http/HttpRequest.h"

#include <QDateTime>
#include <QLocale>
#include <QMutex>
#include <QTimeZone>

namespace {

QMutex &offsetLock()
{
    static QMutex lock;
    return lock;
}

int g_timestampOffset = 0;

QString headerValue(const QMap<QString, QString> &headers, const QString &name)
{
    for (auto it = headers.cbegin(); it != headers.cend(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value();
    }
    return {};
}

bool withinTolerance(qint64 difference)
{
    return difference > -OAuthClock::kToleratedSkewSeconds &&
           difference < OAuthClock::kToleratedSkewSeconds;
}

} // namespace

int OAuthClock::timestampOffset()
{
    QMutexLocker locker(&offsetLock());
    return g_timestampOffset;
}

void OAuthClock::setTimestampOffset(int offset)
{
    QMutexLocker locker(&offsetLock());
    g_timestampOffset = offset;
}

qint64 OAuthClock::parseHttpDate(const QString &date)
{
    // "EEE, dd MMM yyyy HH:mm:ss" is 25 characters; the zone after it is always GMT. Date
    // and time are read apart so the local zone's daylight-saving gaps cannot interfere.
    if (date.size() > 64)
        return -1;
    const QString stamp = date.trimmed();
    if (stamp.size() < 25)
        return -1;
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QDate day = english.toDate(stamp.left(16), QStringLiteral("ddd, dd MMM yyyy"));
    const QTime time = QTime::fromString(stamp.mid(17, 8), QStringLiteral("HH:mm:ss"));
    if (!day.isValid() || !time.isValid() || stamp.at(16) != QLatin1Char(' '))
        return -1;
    return QDateTime(day, time, Qt::UTC).toSecsSinceEpoch();
}

bool OAuthClock::updateTimestamp(const QMap<QString, QString> &responseHeaders,
                                 qint64 systemTimestamp, qint64 oAuthTimestamp)
{
    if (responseHeaders.isEmpty())
        return false;
    const qint64 now = systemTimestamp != 0 ? systemTimestamp : Clock::secondsSinceEpoch();
    const qint64 signedAt = oAuthTimestamp != 0 ? oAuthTimestamp : now;
    const qint64 server = parseHttpDate(headerValue(responseHeaders, QStringLiteral("Date")));
    if (server < 0)
        return false;
    if (withinTolerance(server - signedAt))
        return false;
    if (server - now > kMaxOffsetSeconds || now - server > kMaxOffsetSeconds) {
        qCWarning(lcNetwork) << "ignoring a server Date" << (server - now)
                             << "seconds away from this clock";
        return false;
    }

    QMutexLocker locker(&offsetLock());
    // A request signed before another response corrected the clock must not undo it.
    if (withinTolerance(server - (now + g_timestampOffset)))
        return false;
    const qint64 offset = server - now;
    g_timestampOffset = static_cast<int>(offset);
    qCInfo(lcNetwork) << "OAuth clock offset set to" << g_timestampOffset << "seconds";
    return true;
}

int OAuthTimestampTracker::timestampOffset() const
{
    return OAuthClock::timestampOffset();
}

void OAuthTimestampTracker::setOAuthTimeStamp(qint64 signedTimestamp, qint64 originalTimestamp)
{
    m_oAuthTimestamp.store(signedTimestamp);
    m_systemTimestamp.store(originalTimestamp);
}

void OAuthTimestampTracker::setResponseHeader(const QMap<QString, QString> &headers)
{
    QMutexLocker locker(&m_headerLock);
    m_responseHeader = headers;
}

QMap<QString, QString> OAuthTimestampTracker::responseHeader() const
{
    QMutexLocker locker(&m_headerLock);
    return m_responseHeader;
}

bool OAuthTimestampTracker::updateTimestampWithHeaders(
    const QMap<QString, QString> &responseHeaders)
{
    return OAuthClock::updateTimestamp(responseHeaders.isEmpty() ? responseHeader()
                                                                 : responseHeaders,
                                       m_systemTimestamp.load(), m_oAuthTimestamp.load());
}

bool OAuthTimestampTracker::updateTimestampWithRequest(const HttpRequest &request)
{
    return updateTimestampWithHeaders(request.responseHeaders());
}

void OAuthTimestampTracker::saveResponseHeaderOf(const HttpRequest &request)
{
    const QMap<QString, QString> headers = request.responseHeaders();
    if (!headers.isEmpty())
        setResponseHeader(headers);
}

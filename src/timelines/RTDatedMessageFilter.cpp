#include "timelines/RTDatedMessageFilter.h"

#include "foundation/Clock.h"
#include "text/RTMessageTextParser.h"

#include <limits>

namespace {

// Dates travel as whole seconds since 1970; a year 9999 bound keeps QDateTime sane.
constexpr quint64 kMaxEpochSeconds = 253402300799ULL;

QString yesNo(bool value)
{
    return value ? QStringLiteral("YES") : QStringLiteral("NO");
}

} // namespace

bool RTDatedMessageFilter::isExpired(const QDateTime &now) const
{
    return now < m_createdAt || now >= expiresAt();
}

bool RTDatedMessageFilter::isExpired() const
{
    return isExpired(Clock::currentDateTime());
}

qint64 RTDatedMessageFilter::remainingPeriod(const QDateTime &now) const
{
    return now.secsTo(expiresAt());
}

bool RTDatedMessageFilter::isForever(const QDateTime &now) const
{
    return remainingPeriod(now) >= kForeverThreshold;
}

bool RTDatedMessageFilter::predicateCompliesWithMessage(const RTMessage &message) const
{
    if (m_datedFilterPredicate == QLatin1String("USER"))
        return !factor().isEmpty() && message.userId() == factor();
    if (m_datedFilterPredicate == QLatin1String("HASHTAG"))
        return RTMessageTextParser::messageTextHasHashTag(message.body().toLower(),
                                                          factor().toLower());
    return false;
}

bool RTDatedMessageFilter::messageComplies(const RTMessage &message) const
{
    if (!predicateCompliesWithMessage(message))
        return false;
    const QDateTime written = message.createdAt();
    return written.isValid() && written >= m_createdAt && written < expiresAt();
}

QString RTDatedMessageFilter::description() const
{
    const QDateTime now = Clock::currentDateTime();
    return RTMessageFilter::description() +
           QStringLiteral("datedFilterId: %1 \ncreatedAt: %2 \nupdatedAt: %3 \nstartedAt: %4 \n"
                          "duration: %5 \ndatedFilterPredicate: %6 \nexpiresAt: %7 \n"
                          "isExpired: %8 \n")
               .arg(filterId(), m_createdAt.toString(Qt::ISODate),
                    m_updatedAt.toString(Qt::ISODate), m_startedAt.toString(Qt::ISODate))
               .arg(m_duration)
               .arg(m_datedFilterPredicate, expiresAt().toString(Qt::ISODate),
                    yesNo(isExpired(now)));
}

QVariantMap RTDatedMessageFilter::recordWithDuration(quint32 duration) const
{
    return {{QStringLiteral("id"), filterId()},
            {QStringLiteral("created_at"), m_createdAt.toSecsSinceEpoch()},
            {QStringLiteral("updated_at"), m_updatedAt.toSecsSinceEpoch()},
            {QStringLiteral("started_at"), m_startedAt.toSecsSinceEpoch()},
            {QStringLiteral("extended_at"), m_extendedAt.toSecsSinceEpoch()},
            {QStringLiteral("duration"), duration},
            {QStringLiteral("factor"), factor()},
            {QStringLiteral("predicate"), m_datedFilterPredicate},
            {QStringLiteral("network"), network()}};
}

bool RTDatedMessageFilter::readRecord(const QVariantMap &record, QString *error)
{
    if (!readCommonFields(record, error))
        return false;
    quint64 seconds[4] = {};
    const char *const dateKeys[4] = {"created_at", "updated_at", "started_at", "extended_at"};
    for (int i = 0; i < 4; ++i) {
        const QVariant value = record.value(QString::fromLatin1(dateKeys[i]));
        // Only the creation date is needed to judge; the others may be absent.
        if (!value.isValid() && i > 0)
            continue;
        if (!readUnsigned(value, kMaxEpochSeconds, &seconds[i])) {
            *error = QStringLiteral("filter %1 with a bad %2").arg(filterId(), dateKeys[i]);
            return false;
        }
    }
    quint64 duration = 0;
    if (!readUnsigned(record.value(QStringLiteral("duration")), std::numeric_limits<quint32>::max(),
                      &duration)) {
        *error = QStringLiteral("filter %1 with a bad duration").arg(filterId());
        return false;
    }
    const QVariant predicate = record.value(QStringLiteral("predicate"));
    if (predicate.typeId() != QMetaType::QString || predicate.toString().size() > 32) {
        *error = QStringLiteral("filter %1 with a bad predicate").arg(filterId());
        return false;
    }
    m_createdAt = QDateTime::fromSecsSinceEpoch(qint64(seconds[0]), Qt::UTC);
    m_updatedAt = QDateTime::fromSecsSinceEpoch(qint64(seconds[1]), Qt::UTC);
    m_startedAt = QDateTime::fromSecsSinceEpoch(qint64(seconds[2]), Qt::UTC);
    m_extendedAt = QDateTime::fromSecsSinceEpoch(qint64(seconds[3]), Qt::UTC);
    m_duration = quint32(duration);
    m_datedFilterPredicate = predicate.toString();
    return true;
}

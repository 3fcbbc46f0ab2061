#include "timelines/RTTrendMessage.h"

#include "foundation/Clock.h"
#include "foundation/Localization.h"
#include "model/TimeCalculator.h"

RTTrendMessage::RTTrendMessage(RTTrendObjectPtr trend, QObject *companion)
    : RTMessage(messageIdForTrend(trend ? trend->trendId() : QString()))
    , m_trend(std::move(trend))
{
    setService(companion);
    updateFromTrend();
}

std::shared_ptr<RTTrendMessage> RTTrendMessage::create(RTTrendObjectPtr trend, QObject *companion)
{
    return std::make_shared<RTTrendMessage>(std::move(trend), companion);
}

void RTTrendMessage::updateFromTrend()
{
    if (!m_trend)
        return;
    setBody(m_trend->term());
    m_details = detailsOfTrend(*m_trend);
    bool ok = false;
    const qint64 started = m_trend->startedAt().toLongLong(&ok);
    setCreatedAt(ok && started > 0 ? QDateTime::fromSecsSinceEpoch(started, Qt::UTC)
                                   : Clock::currentDateTime());
    setUpdatedAt(Clock::currentDateTime());
    if (m_trend->isSeen() && !isSeen())
        setIsSeen(true);
}

QString RTTrendMessage::detailsOfTrend(const RTTrendObject &trend)
{
    QStringList parts;
    bool ok = false;
    const qint64 count = trend.count().toLongLong(&ok);
    if (ok)
        parts << localizedString("##RTTrendMessage:0##").arg(count);
    const qint64 minutes = trend.duration().toLongLong(&ok);
    if (ok && minutes > 0)
        parts << localizedString("##RTTrendMessage:1##")
                     .arg(TimeCalculator::durationStringFromMinutesString(trend.duration()));
    if (!trend.started().isEmpty())
        parts << localizedString("##RTTrendMessage:4##").arg(trend.started());
    if (!trend.isCurrent())
        parts << localizedString("##RTTrendMessage:5##");
    return parts.join(QStringLiteral(", "));
}

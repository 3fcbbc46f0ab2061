#pragma once

#include "model/RTMessage.h"
#include "twitter/RTTrendObject.h"

// A trend as an entry of the Trends node: the term is the body, the service's details
// (how long it trends, how often it was seen) the detail line. Its service is the
// companion service.
class RTTrendMessage : public RTMessage
{
public:
    RTTrendMessage(RTTrendObjectPtr trend, QObject *companion);

    [[nodiscard]] static std::shared_ptr<RTTrendMessage> create(RTTrendObjectPtr trend,
                                                                QObject *companion);
    [[nodiscard]] static QString messageIdForTrend(const QString &trendId)
    {
        return QStringLiteral("trend-") + trendId;
    }

    [[nodiscard]] RTTrendObjectPtr trend() const { return m_trend; }
    // Takes the trend's term, details and date again (after the service updated it).
    void updateFromTrend();
    // "42 messages, trending for 3 hours since Tue Mar 02 10:00:00 +0000 2010"
    [[nodiscard]] QString details() const { return m_details; }
    [[nodiscard]] static QString detailsOfTrend(const RTTrendObject &trend);

private:
    RTTrendObjectPtr m_trend;
    QString m_details;
};

using RTTrendMessagePtr = std::shared_ptr<RTTrendMessage>;

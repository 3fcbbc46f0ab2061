#include "twitter/RTTrendObject.h"

namespace {
QString orNull(const QString &s)
{
    return s.isNull() ? QStringLiteral("(null)") : s;
}

void addTrends(const JsonValue &records, QList<RTTrendObjectPtr> &trends)
{
    for (const JsonValue &record : records) {
        const JsonValue name = record["name"];
        if (!name.isString() || name.utf8View().empty())
            continue;
        auto trend = std::make_shared<RTTrendObject>(name.toString());
        trend->setTerm(name.toString());
        trend->setIsCurrent(true);
        trends.append(trend);
    }
}
} // namespace

RTTrendObject::RTTrendObject(const QString &trendId)
    : m_trendId(trendId)
{
}

QList<RTTrendObjectPtr> RTTrendObject::parseTrends(const JsonValue &body)
{
    QList<RTTrendObjectPtr> trends;
    const JsonValue records = body["trends"];
    if (records.isArray()) {
        addTrends(records, trends);
    } else if (records.isObject()) {
        // The current-trends form: {"trends": {"<date>": [records]}}.
        for (const JsonValue &byDate : records)
            addTrends(byDate, trends);
    }
    return trends;
}

void RTTrendObject::willBeAddedToTreeNode(RTMessageHolder *node)
{
    QMutexLocker lock(&m_nodesLock);
    m_containedInTreeNodes.insert(node);
}

void RTTrendObject::willBeRemovedFromTreeNode(RTMessageHolder *node)
{
    QMutexLocker lock(&m_nodesLock);
    m_containedInTreeNodes.remove(node);
}

QSet<RTMessageHolder *> RTTrendObject::containedInTreeNodesSet() const
{
    QMutexLocker lock(&m_nodesLock);
    return m_containedInTreeNodes;
}

QString RTTrendObject::description() const
{
    return QStringLiteral(
               "%1\nduration:%2\nterm:%3\nappearances:%4\ncount:%5\nstarted_at:%6\nstarted:%7")
        .arg(QString::asprintf("%p", static_cast<const void *>(this)), orNull(m_duration),
             orNull(m_term), orNull(m_appearances), orNull(m_count), orNull(m_startedAt),
             orNull(m_started));
}

#pragma once

#include "model/RTContainedInTreeNodeProtocol.h"
#include "json/JsonValue.h"

#include <QDateTime>
#include <QMutex>
#include <QPointer>
#include <memory>

class RTTrendObject;
using RTTrendObjectPtr = std::shared_ptr<RTTrendObject>;

// A trending term. Trends live in tree nodes like messages; they belong to the companion
// service, which also explains them.
class RTTrendObject : public RTContainedInTreeNodeProtocol
{
public:
    explicit RTTrendObject(const QString &trendId = QString());

    // The trends answer ("trends" of the body: an array of records, or arrays of records
    // by date): each "name" becomes a current trend with that id and term.
    [[nodiscard]] static QList<RTTrendObjectPtr> parseTrends(const JsonValue &body);

    [[nodiscard]] QString trendId() const { return m_trendId; }
    [[nodiscard]] QString duration() const { return m_duration; }
    void setDuration(const QString &value) { m_duration = value; }
    [[nodiscard]] QString term() const { return m_term; }
    void setTerm(const QString &value) { m_term = value; }
    [[nodiscard]] QString appearances() const { return m_appearances; }
    void setAppearances(const QString &value) { m_appearances = value; }
    [[nodiscard]] QString count() const { return m_count; }
    void setCount(const QString &value) { m_count = value; }
    [[nodiscard]] QString started() const { return m_started; }
    void setStarted(const QString &value) { m_started = value; }
    [[nodiscard]] QString startedAt() const { return m_startedAt; }
    void setStartedAt(const QString &value) { m_startedAt = value; }
    [[nodiscard]] bool isSeen() const { return m_isSeen; }
    void setIsSeen(bool on) { m_isSeen = on; }
    [[nodiscard]] bool isHidden() const { return m_isHidden; }
    void setIsHidden(bool on) { m_isHidden = on; }
    [[nodiscard]] bool isCurrent() const { return m_isCurrent; }
    void setIsCurrent(bool on) { m_isCurrent = on; }
    [[nodiscard]] QDateTime createdAt() const { return m_createdAt; }
    void setCreatedAt(const QDateTime &date) { m_createdAt = date; }
    [[nodiscard]] static int trendType() { return 0; }

    // The companion service, once the companion layer sets it.
    [[nodiscard]] QObject *service() const override { return m_service.data(); }
    void setService(QObject *service) { m_service = service; }
    [[nodiscard]] bool shouldStoreInPermanentReadAndHiddenSet() const override { return false; }
    void willBeAddedToTreeNode(RTMessageHolder *node) override;
    void willBeRemovedFromTreeNode(RTMessageHolder *node) override;
    [[nodiscard]] QSet<RTMessageHolder *> containedInTreeNodesSet() const override;

    [[nodiscard]] QString description() const;

private:
    QString m_duration;
    QString m_term;
    QString m_appearances;
    QString m_count;
    QString m_started;
    QString m_startedAt;
    QString m_trendId;
    bool m_isSeen = false;
    bool m_isHidden = false;
    bool m_isCurrent = false;
    QDateTime m_createdAt;
    QPointer<QObject> m_service;
    mutable QMutex m_nodesLock;
    QSet<RTMessageHolder *> m_containedInTreeNodes; // under m_nodesLock
};

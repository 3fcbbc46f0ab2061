#pragma once

#include "timelines/RTMessageFilter.h"

#include <QDateTime>

// A mute or highlight that lasts `duration` seconds from its creation. It acts only on
// messages written during its lifetime.
class RTDatedMessageFilter : public RTMessageFilter
{
public:
    // The longest period offered ("Forever"), and how far ahead a filter must end to count
    // as forever.
    static constexpr quint32 kForeverDuration = 777600000;
    static constexpr qint64 kForeverThreshold = 311040000;

    [[nodiscard]] QDateTime createdAt() const { return m_createdAt; }
    void setCreatedAt(const QDateTime &date) { m_createdAt = date; }
    [[nodiscard]] QDateTime updatedAt() const { return m_updatedAt; }
    void setUpdatedAt(const QDateTime &date) { m_updatedAt = date; }
    [[nodiscard]] QDateTime startedAt() const { return m_startedAt; }
    void setStartedAt(const QDateTime &date) { m_startedAt = date; }
    [[nodiscard]] QDateTime extendedAt() const { return m_extendedAt; }
    void setExtendedAt(const QDateTime &date) { m_extendedAt = date; }
    [[nodiscard]] quint32 duration() const { return m_duration; }
    void setDuration(quint32 seconds) { m_duration = seconds; }
    // "USER" or "HASHTAG".
    [[nodiscard]] QString datedFilterPredicate() const { return m_datedFilterPredicate; }
    void setDatedFilterPredicate(const QString &kind) { m_datedFilterPredicate = kind; }

    [[nodiscard]] QDateTime expiresAt() const { return m_createdAt.addSecs(m_duration); }
    // Not yet begun, or ended. Without an argument the shared clock decides.
    [[nodiscard]] bool isExpired(const QDateTime &now) const;
    [[nodiscard]] bool isExpired() const;
    [[nodiscard]] qint64 remainingPeriod(const QDateTime &now) const;
    [[nodiscard]] bool isForever(const QDateTime &now) const;

    // The author (USER) or a hashtag of the text (HASHTAG) matches; dates are not looked at.
    [[nodiscard]] bool predicateCompliesWithMessage(const RTMessage &message) const;
    // The predicate matches and the message was written during the filter's lifetime.
    [[nodiscard]] bool messageComplies(const RTMessage &message) const;

    // Marks the message when the filter is live at now and the message complies; true when
    // it changed the message. Filters only ever set their flag.
    virtual bool processMessage(RTMessage &message, const QDateTime &now) const = 0;

    [[nodiscard]] QString description() const override;
    // The record the service sends, rebuilt from this filter (duration as given).
    [[nodiscard]] QVariantMap recordWithDuration(quint32 duration) const;

protected:
    // Fills every field from a service record; false (with *error) on a missing field or
    // a wrong type.
    bool readRecord(const QVariantMap &record, QString *error);

private:
    QDateTime m_createdAt;
    QDateTime m_updatedAt;
    QDateTime m_startedAt;
    QDateTime m_extendedAt;
    quint32 m_duration = 0;
    QString m_datedFilterPredicate;
};

using RTDatedMessageFilterPtr = std::shared_ptr<const RTDatedMessageFilter>;

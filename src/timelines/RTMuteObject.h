#pragma once

#include "timelines/RTDatedMessageFilter.h"

// A dated filter that marks the messages it matches as muted.
class RTMuteObject : public RTDatedMessageFilter
{
public:
    // Null (with *error) when the record lacks a field or has a wrong type.
    [[nodiscard]] static std::shared_ptr<RTMuteObject>
    muteObjectWithDictionary(const QVariantMap &record, QString *error = nullptr);

    [[nodiscard]] QString className() const override { return QStringLiteral("RTMuteObject"); }
    bool processMessage(RTMessage &message, const QDateTime &now) const override;
};

using RTMuteObjectPtr = std::shared_ptr<const RTMuteObject>;

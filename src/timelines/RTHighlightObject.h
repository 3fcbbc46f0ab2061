#pragma once

#include "timelines/RTDatedMessageFilter.h"

// A dated filter that marks the messages it matches as highlightd.
class RTHighlightObject : public RTDatedMessageFilter
{
public:
    // Null (with *error) when the record lacks a field or has a wrong type.
    [[nodiscard]] static std::shared_ptr<RTHighlightObject>
    highlightObjectWithDictionary(const QVariantMap &record, QString *error = nullptr);

    [[nodiscard]] QString className() const override { return QStringLiteral("RTHighlightObject"); }
    bool processMessage(RTMessage &message, const QDateTime &now) const override;
};

using RTHighlightObjectPtr = std::shared_ptr<const RTHighlightObject>;

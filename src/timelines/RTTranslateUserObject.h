#pragma once

#include "timelines/RTMessageFilter.h"

// Automatic translation of one user's messages, while active.
class RTTranslateUserObject : public RTMessageFilter
{
public:
    // Null (with *error) when the record lacks a field or has a wrong type.
    [[nodiscard]] static std::shared_ptr<RTTranslateUserObject>
    translateUserObjectWithDictionary(const QVariantMap &record, QString *error = nullptr);

    [[nodiscard]] QString className() const override
    {
        return QStringLiteral("RTTranslateUserObject");
    }
    [[nodiscard]] bool messageCompliesWithFactor(const RTMessage &message) const
    {
        return !factor().isEmpty() && message.userId() == factor();
    }
    [[nodiscard]] bool messageComplies(const RTMessage &message) const
    {
        return isActive() && messageCompliesWithFactor(message);
    }
};

using RTTranslateUserObjectPtr = std::shared_ptr<const RTTranslateUserObject>;

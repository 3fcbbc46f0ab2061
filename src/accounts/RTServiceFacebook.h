#pragma once

#include "accounts/RTService.h"

// A Facebook account.
class RTServiceFacebook : public RTService
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceFacebook(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 3; }
    [[nodiscard]] int sortWeight() const override { return 1; }
    [[nodiscard]] QString requestOperationClass() const override
    {
        return QStringLiteral("RTRequestOperationFacebook");
    }
};

#pragma once

#include "accounts/RTService.h"

// An Instapaper account.
class RTServiceInstapaper : public RTService
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceInstapaper(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 18; }
    [[nodiscard]] int sortWeight() const override { return 50; }
    [[nodiscard]] QString requestOperationClass() const override
    {
        return QStringLiteral("RTRequestOperationInstapaper");
    }
};

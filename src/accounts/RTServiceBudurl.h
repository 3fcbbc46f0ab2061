#pragma once

#include "accounts/RTShortenerService.h"

// The user's BudURL account (never anonymous).
class RTServiceBudurl : public RTShortenerService
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceBudurl(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 22; }
    [[nodiscard]] int sortWeight() const override { return 29; }
    [[nodiscard]] bool shouldAppearInServiceList() const override { return true; }
    [[nodiscard]] int shortenerServiceType() const override { return 4; }
};

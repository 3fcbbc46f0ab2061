#pragma once

#include "accounts/RTShortenerService.h"

// The u.nu shortener, used anonymously only.
class RTServiceUnu : public RTShortenerService
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceUnu(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 13; }
    [[nodiscard]] bool shouldAppearInServiceList() const override { return false; }
    [[nodiscard]] int shortenerServiceType() const override { return 9; }
};

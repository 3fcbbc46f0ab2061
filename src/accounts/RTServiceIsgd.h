#pragma once

#include "accounts/RTShortenerService.h"

// The is.gd shortener, used anonymously only.
class RTServiceIsgd : public RTShortenerService
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceIsgd(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 9; }
    [[nodiscard]] bool shouldAppearInServiceList() const override { return false; }
    [[nodiscard]] int shortenerServiceType() const override { return 5; }
};

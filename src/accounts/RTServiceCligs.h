#pragma once

#include "accounts/RTShortenerService.h"

// The user's cli.gs account or the anonymous cli.gs shortener.
class RTServiceCligs : public RTShortenerService
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceCligs(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 10; }
    [[nodiscard]] int sortWeight() const override { return 28; }
    [[nodiscard]] bool shouldAppearInServiceList() const override { return !isAnonymous(); }
    [[nodiscard]] int shortenerServiceType() const override { return 3; }
};

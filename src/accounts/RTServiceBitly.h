#pragma once

#include "accounts/RTShortenerService.h"

// The user's bit.ly account or the anonymous bit.ly shortener.
class RTServiceBitly : public RTShortenerService
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceBitly(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 7; }
    [[nodiscard]] int sortWeight() const override { return 25; }
    [[nodiscard]] bool shouldAppearInServiceList() const override { return !isAnonymous(); }
    [[nodiscard]] int shortenerServiceType() const override { return 2; }
};

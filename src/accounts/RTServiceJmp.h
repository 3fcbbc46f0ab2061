#pragma once

#include "accounts/RTShortenerService.h"

// The user's j.mp account or the anonymous j.mp shortener.
class RTServiceJmp : public RTShortenerService
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceJmp(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 12; }
    [[nodiscard]] int sortWeight() const override { return 26; }
    [[nodiscard]] bool shouldAppearInServiceList() const override { return !isAnonymous(); }
    [[nodiscard]] int shortenerServiceType() const override { return 7; }
};

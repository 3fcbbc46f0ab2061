#pragma once

#include "accounts/RTShortenerService.h"

// The user's tr.im account or the anonymous tr.im shortener.
class RTServiceTrim : public RTShortenerService
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceTrim(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 6; }
    [[nodiscard]] int sortWeight() const override { return 27; }
    [[nodiscard]] bool shouldAppearInServiceList() const override { return !isAnonymous(); }
    [[nodiscard]] int shortenerServiceType() const override { return 1; }
};

#pragma once

#include "accounts/RTShortenerService.h"

// The TinyURL shortener, used anonymously only.
class RTServiceTinyurl : public RTShortenerService
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceTinyurl(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 11; }
    [[nodiscard]] bool shouldAppearInServiceList() const override { return false; }
    [[nodiscard]] int shortenerServiceType() const override { return 6; }
};

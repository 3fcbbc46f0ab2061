#pragma once

#include "accounts/RTServiceImager.h"

// The user's Mobypicture account.
class RTServiceMobypicture : public RTServiceImager
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceMobypicture(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 17; }
    [[nodiscard]] int sortWeight() const override { return 35; }
    [[nodiscard]] qint64 imageSizeLimitInBytes() const override { return 16777216; }
    // "Moby [alice]"
    [[nodiscard]] QString imagerServiceName() const override;
};

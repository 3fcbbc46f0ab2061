#pragma once

#include "accounts/RTServiceImager.h"

// The Twitpic picture host.
class RTServiceTwitpic : public RTServiceImager
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceTwitpic(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 14; }
    [[nodiscard]] qint64 imageSizeLimitInBytes() const override { return 4194304; }
    [[nodiscard]] QString imagerServiceName() const override { return QStringLiteral("Twitpic"); }
};

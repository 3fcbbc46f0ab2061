#pragma once

#include "accounts/RTServiceImager.h"

// The img.ly picture host.
class RTServiceImgly : public RTServiceImager
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceImgly(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 19; }
    [[nodiscard]] qint64 imageSizeLimitInBytes() const override { return 4194304; }
    [[nodiscard]] QString imagerServiceName() const override { return QStringLiteral("img.ly"); }
};

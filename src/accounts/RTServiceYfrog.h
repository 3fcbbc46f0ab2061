#pragma once

#include "accounts/RTServiceImager.h"

// The yFrog picture host.
class RTServiceYfrog : public RTServiceImager
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceYfrog(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 15; }
    [[nodiscard]] qint64 imageSizeLimitInBytes() const override { return 4194304; }
    [[nodiscard]] QString imagerServiceName() const override { return QStringLiteral("yFrog"); }
};

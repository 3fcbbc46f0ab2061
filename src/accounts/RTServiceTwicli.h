#pragma once

#include "accounts/RTServiceImager.h"

// The Twic.li picture host.
class RTServiceTwicli : public RTServiceImager
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceTwicli(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 21; }
    [[nodiscard]] qint64 imageSizeLimitInBytes() const override { return 4194304; }
    [[nodiscard]] QString imagerServiceName() const override { return QStringLiteral("Twic.li"); }
};

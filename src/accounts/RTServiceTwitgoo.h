#pragma once

#include "accounts/RTServiceImager.h"

// The Twitgoo picture host.
class RTServiceTwitgoo : public RTServiceImager
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceTwitgoo(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 20; }
    [[nodiscard]] qint64 imageSizeLimitInBytes() const override { return 4194304; }
    [[nodiscard]] QString imagerServiceName() const override { return QStringLiteral("Twitgoo"); }
};

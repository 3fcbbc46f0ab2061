#pragma once

#include "accounts/RTServiceImager.h"

// The Tweetphoto picture host.
class RTServiceTweetphoto : public RTServiceImager
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit RTServiceTweetphoto(QObject *parent = nullptr);

    [[nodiscard]] int serviceType() const override { return 16; }
    [[nodiscard]] qint64 imageSizeLimitInBytes() const override { return 5242880; }
    [[nodiscard]] QString imagerServiceName() const override
    {
        return QStringLiteral("Tweetphoto");
    }
};

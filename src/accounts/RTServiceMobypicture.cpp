#include "accounts/RTServiceMobypicture.h"

RTServiceMobypicture::RTServiceMobypicture(QObject *parent)
    : RTServiceImager(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("mobypicture.com"));
    setServiceName(QStringLiteral("Mobypicture"));
    setServiceImage(QStringLiteral("mobypicture_60"));
    setIsAnonymous(false);
}

QString RTServiceMobypicture::imagerServiceName() const
{
    return QStringLiteral("Moby [%1]").arg(serviceId());
}

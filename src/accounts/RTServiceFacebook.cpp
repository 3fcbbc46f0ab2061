#include "accounts/RTServiceFacebook.h"

RTServiceFacebook::RTServiceFacebook(QObject *parent)
    : RTService(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("www.facebook.com"));
    setServiceName(QStringLiteral("facebook"));
    setServiceImage(QStringLiteral("facebook_60"));
}

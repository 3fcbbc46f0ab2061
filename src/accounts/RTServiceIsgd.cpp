#include "accounts/RTServiceIsgd.h"

RTServiceIsgd::RTServiceIsgd(QObject *parent)
    : RTShortenerService(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("is.gd"));
    setServiceName(QStringLiteral("is.gd"));
    setIsAnonymous(true);
}

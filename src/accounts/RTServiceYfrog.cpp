#include "accounts/RTServiceYfrog.h"

RTServiceYfrog::RTServiceYfrog(QObject *parent)
    : RTServiceImager(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("yfrog.com"));
    setServiceName(QStringLiteral("yFrog"));
}

#include "accounts/RTServiceBudurl.h"

RTServiceBudurl::RTServiceBudurl(QObject *parent)
    : RTShortenerService(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("budurl.com"));
    setServiceName(QStringLiteral("budurl.com"));
    setServiceImage(QStringLiteral("budurl_60"));
}

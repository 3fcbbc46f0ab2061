#include "accounts/RTServiceTinyurl.h"

RTServiceTinyurl::RTServiceTinyurl(QObject *parent)
    : RTShortenerService(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("tinyurl.com"));
    setServiceName(QStringLiteral("tinyurl.com"));
    setIsAnonymous(true);
}

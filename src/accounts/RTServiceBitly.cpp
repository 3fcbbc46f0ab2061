#include "accounts/RTServiceBitly.h"

RTServiceBitly::RTServiceBitly(QObject *parent)
    : RTShortenerService(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("bit.ly"));
    setServiceName(QStringLiteral("bit.ly"));
    setServiceImage(QStringLiteral("bitly_60"));
}

#include "accounts/RTServiceTrim.h"

RTServiceTrim::RTServiceTrim(QObject *parent)
    : RTShortenerService(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("tr.im"));
    setServiceName(QStringLiteral("tr.im"));
    setServiceImage(QStringLiteral("trim_60"));
}

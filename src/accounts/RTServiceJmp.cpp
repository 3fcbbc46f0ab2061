#include "accounts/RTServiceJmp.h"

RTServiceJmp::RTServiceJmp(QObject *parent)
    : RTShortenerService(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("j.mp"));
    setServiceName(QStringLiteral("j.mp"));
    setServiceImage(QStringLiteral("jmp_60"));
}

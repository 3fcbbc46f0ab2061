#include "accounts/RTServiceCligs.h"

RTServiceCligs::RTServiceCligs(QObject *parent)
    : RTShortenerService(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("cli.gs"));
    setServiceName(QStringLiteral("Cligs"));
    setServiceImage(QStringLiteral("cligs_60"));
}

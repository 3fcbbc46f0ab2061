#include "accounts/RTServiceUnu.h"

RTServiceUnu::RTServiceUnu(QObject *parent)
    : RTShortenerService(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("u.nu"));
    setServiceName(QStringLiteral("u.nu"));
    setIsAnonymous(true);
}

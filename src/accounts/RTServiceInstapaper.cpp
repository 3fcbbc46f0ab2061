#include "accounts/RTServiceInstapaper.h"

RTServiceInstapaper::RTServiceInstapaper(QObject *parent)
    : RTService(parent)
{
    setHttpProtocol(QStringLiteral("https"));
    setHostname(QStringLiteral("www.instapaper.com"));
    setServiceName(QStringLiteral("Instapaper"));
    setServiceImage(QStringLiteral("instapaper_60"));
}

#include "accounts/RTServiceTwitpic.h"

RTServiceTwitpic::RTServiceTwitpic(QObject *parent)
    : RTServiceImager(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("twitpic.com"));
    setServiceName(QStringLiteral("Twitpic"));
}

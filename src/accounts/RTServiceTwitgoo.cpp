#include "accounts/RTServiceTwitgoo.h"

RTServiceTwitgoo::RTServiceTwitgoo(QObject *parent)
    : RTServiceImager(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("twitgoo.com"));
    setServiceName(QStringLiteral("Twitgoo"));
}

#include "accounts/RTServiceTwicli.h"

RTServiceTwicli::RTServiceTwicli(QObject *parent)
    : RTServiceImager(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("twic.li"));
    setServiceName(QStringLiteral("Twic.li"));
}

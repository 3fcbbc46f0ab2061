#include "accounts/RTServiceTweetphoto.h"

RTServiceTweetphoto::RTServiceTweetphoto(QObject *parent)
    : RTServiceImager(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("tweetphoto.com"));
    setServiceName(QStringLiteral("Tweetphoto"));
}

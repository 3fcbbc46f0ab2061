#include "accounts/RTServiceImgly.h"

RTServiceImgly::RTServiceImgly(QObject *parent)
    : RTServiceImager(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("img.ly"));
    setServiceName(QStringLiteral("img.ly"));
}

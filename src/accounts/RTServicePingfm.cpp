#include "accounts/RTServicePingfm.h"

RTServicePingfm::RTServicePingfm(QObject *parent)
    : RTShortenerService(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("ping.fm"));
    setServiceName(QStringLiteral("Ping.fm"));
    setServiceImage(QStringLiteral("pingfm_60"));
    setIsAnonymous(false);
}

QString RTServicePingfm::shortenerServiceName() const
{
    return QStringLiteral("%1 [%2]").arg(hostname(), serviceId());
}

void RTServicePingfm::setPostMicroBlog(bool on)
{
    if (on)
        m_postStatus = false;
    m_postMicroBlog = on;
    emit postSwitchesChanged();
}

void RTServicePingfm::setPostStatus(bool on)
{
    if (on)
        m_postMicroBlog = false;
    m_postStatus = on;
    emit postSwitchesChanged();
}

void RTServicePingfm::encodeWithCoder(KeyedArchiver &coder) const
{
    RTShortenerService::encodeWithCoder(coder);
    coder.encodeBool(QStringLiteral("postMicroBlog"), m_postMicroBlog);
    coder.encodeBool(QStringLiteral("postStatus"), m_postStatus);
}

void RTServicePingfm::decodeWithCoder(const KeyedUnarchiver &coder)
{
    RTShortenerService::decodeWithCoder(coder);
    if (coder.containsValueForKey(QStringLiteral("postStatus"))) {
        m_postMicroBlog = coder.decodeBool(QStringLiteral("postMicroBlog"));
        m_postStatus = coder.decodeBool(QStringLiteral("postStatus"));
    } else {
        m_postMicroBlog = true;
        m_postStatus = false;
    }
}

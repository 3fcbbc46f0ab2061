#include "accounts/RTServiceTalvo.h"

RTServiceTalvo::RTServiceTalvo(QObject *parent)
    : RTService(parent)
{
    setHttpProtocol(QStringLiteral("http"));
    setHostname(QStringLiteral("www.talvo.app"));
    setServiceName(QStringLiteral("Talvo"));
}

void RTServiceTalvo::encodeWithCoder(KeyedArchiver &coder) const
{
    RTService::encodeWithCoder(coder);
    coder.encodeBool(QStringLiteral("isAnonymous"), m_isAnonymous);
}

void RTServiceTalvo::decodeWithCoder(const KeyedUnarchiver &coder)
{
    RTService::decodeWithCoder(coder);
    m_isAnonymous = coder.decodeBool(QStringLiteral("isAnonymous"), m_isAnonymous);
}

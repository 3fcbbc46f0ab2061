#include "accounts/RTShortenerService.h"

#include "accounts/AccountsRegistration.h"
#include "accounts/RTServiceRegistry.h"

RTShortenerService::RTShortenerService(QObject *parent)
    : RTService(parent)
{
}

void RTShortenerService::setIsAnonymous(bool anonymous)
{
    if (m_isAnonymous == anonymous)
        return;
    m_isAnonymous = anonymous;
    emit isAnonymousChanged(anonymous);
}

QString RTShortenerService::shortenerServiceName() const
{
    if (m_isAnonymous)
        return hostname();
    return QStringLiteral("%1 [%2]").arg(hostname(), serviceId());
}

QString RTShortenerService::hostStringURL() const
{
    return QStringLiteral("%1://%2/").arg(httpProtocol(), hostname());
}

QStringList RTShortenerService::shortenersClasses()
{
    return {QStringLiteral("RTServiceTrim"),    QStringLiteral("RTServiceBitly"),
            QStringLiteral("RTServiceCligs"),   QStringLiteral("RTServiceIsgd"),
            QStringLiteral("RTServiceTinyurl"), QStringLiteral("RTServiceUnu"),
            QStringLiteral("RTServiceJmp")};
}

std::shared_ptr<RTShortenerService>
RTShortenerService::anonymousShortenerService(const QString &className)
{
    auto shortener = std::dynamic_pointer_cast<RTShortenerService>(createServiceOfClass(className));
    if (!shortener)
        return nullptr;
    shortener->setIsAnonymous(true);
    shortener->setServiceId(QStringLiteral("Anonymous"));
    return shortener;
}

RTServicePtr RTShortenerService::defaultShortener()
{
    for (const RTServicePtr &s : RTServiceRegistry::shared().services())
        if (s->serviceType() == 7)
            return s;
    return nullptr;
}

void RTShortenerService::encodeWithCoder(KeyedArchiver &coder) const
{
    RTService::encodeWithCoder(coder);
    coder.encodeBool(QStringLiteral("isAnonymous"), m_isAnonymous);
}

void RTShortenerService::decodeWithCoder(const KeyedUnarchiver &coder)
{
    RTService::decodeWithCoder(coder);
    setIsAnonymous(coder.decodeBool(QStringLiteral("isAnonymous"), m_isAnonymous));
}

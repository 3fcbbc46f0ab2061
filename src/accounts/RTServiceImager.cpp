#include "accounts/RTServiceImager.h"

#include "accounts/AccountsRegistration.h"
#include "accounts/RTServiceRegistry.h"

RTServiceImager::RTServiceImager(QObject *parent)
    : RTService(parent)
{
}

QStringList RTServiceImager::imagerClasses()
{
    return {QStringLiteral("RTServiceTwitpic"), QStringLiteral("RTServiceYfrog"),
            QStringLiteral("RTServiceImgly"), QStringLiteral("RTServiceTwicli"),
            QStringLiteral("RTServiceTwitgoo")};
}

std::shared_ptr<RTServiceImager> RTServiceImager::anonymousImagerService(const QString &className)
{
    auto imager = std::dynamic_pointer_cast<RTServiceImager>(createServiceOfClass(className));
    if (!imager)
        return nullptr;
    imager->setIsAnonymous(true);
    imager->setServiceId(QStringLiteral("Anonymous"));
    return imager;
}

RTServicePtr RTServiceImager::defaultImager()
{
    for (const RTServicePtr &s : RTServiceRegistry::shared().services())
        if (s->serviceType() == 14)
            return s;
    return nullptr;
}

#include "accounts/AccountsRegistration.h"

#include "accounts/RTServiceBitly.h"
#include "accounts/RTServiceBudurl.h"
#include "accounts/RTServiceCligs.h"
#include "accounts/RTServiceImgly.h"
#include "accounts/RTServiceInstapaper.h"
#include "accounts/RTServiceIsgd.h"
#include "accounts/RTServiceJmp.h"
#include "accounts/RTServiceMobypicture.h"
#include "accounts/RTServicePingfm.h"
#include "accounts/RTServiceTalvo.h"
#include "accounts/RTServiceTinyurl.h"
#include "accounts/RTServiceTrim.h"
#include "accounts/RTServiceTweetphoto.h"
#include "accounts/RTServiceTwicli.h"
#include "accounts/RTServiceTwitgoo.h"
#include "accounts/RTServiceTwitpic.h"
#include "accounts/RTServiceUnu.h"
#include "accounts/RTServiceYfrog.h"

namespace {
template<class T> void registerService()
{
    ArchiveClassRegistry::registerClass(QString::fromLatin1(T::staticMetaObject.className()),
                                        [] { return std::make_unique<T>(); });
}
} // namespace

void registerAccountArchiveClasses()
{
    registerService<RTServicePingfm>();
    registerService<RTServiceTrim>();
    registerService<RTServiceBitly>();
    registerService<RTServiceTalvo>();
    registerService<RTServiceIsgd>();
    registerService<RTServiceCligs>();
    registerService<RTServiceTinyurl>();
    registerService<RTServiceJmp>();
    registerService<RTServiceUnu>();
    registerService<RTServiceTwitpic>();
    registerService<RTServiceYfrog>();
    registerService<RTServiceTweetphoto>();
    registerService<RTServiceMobypicture>();
    registerService<RTServiceInstapaper>();
    registerService<RTServiceImgly>();
    registerService<RTServiceTwitgoo>();
    registerService<RTServiceTwicli>();
    registerService<RTServiceBudurl>();
}

RTServicePtr createServiceOfClass(const QString &className)
{
    std::unique_ptr<RTArchivable> object = ArchiveClassRegistry::create(className);
    auto *service = dynamic_cast<RTService *>(object.get());
    if (!service)
        return nullptr;
    object.release();
    return RTServicePtr(service);
}

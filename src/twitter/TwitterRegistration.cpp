#include "twitter/TwitterRegistration.h"

#include "twitter/RTRequestOperationTwitter.h"
#include "twitter/RTSearchTwitter.h"
#include "twitter/RTServiceTwitter.h"

void registerTwitterArchiveClasses()
{
    ArchiveClassRegistry::registerClass(QStringLiteral("RTServiceTwitter"),
                                        [] { return std::make_unique<RTServiceTwitter>(); });
    ArchiveClassRegistry::registerClass(QStringLiteral("RTSearchTwitter"),
                                        [] { return std::make_unique<RTSearchTwitter>(); });
}

void registerTwitterRequestClasses()
{
    RTRequestOperationTwitter::registerClass();
}

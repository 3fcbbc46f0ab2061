#include "twitter/TwitterRegistration.h"

#include "twitter/RTListTwitter.h"
#include "twitter/RTRequestOperationTwitter.h"
#include "twitter/RTRequestOperationTwitterLists.h"
#include "twitter/RTSearchTwitter.h"
#include "twitter/RTServiceTwitter.h"

void registerTwitterArchiveClasses()
{
    ArchiveClassRegistry::registerClass(QStringLiteral("RTServiceTwitter"),
                                        [] { return std::make_unique<RTServiceTwitter>(); });
    ArchiveClassRegistry::registerClass(QStringLiteral("RTSearchTwitter"),
                                        [] { return std::make_unique<RTSearchTwitter>(); });
    ArchiveClassRegistry::registerClass(QStringLiteral("RTListTwitter"),
                                        [] { return std::make_unique<RTListTwitter>(); });
}

void registerTwitterRequestClasses()
{
    RTRequestOperationTwitter::registerClass();
    RTRequestOperationTwitterLists::registerClass();
}

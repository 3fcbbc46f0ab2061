#include "twitter/TwitterRegistration.h"

#include "twitter/RTServiceTwitter.h"

void registerTwitterArchiveClasses()
{
    ArchiveClassRegistry::registerClass(QStringLiteral("RTServiceTwitter"),
                                        [] { return std::make_unique<RTServiceTwitter>(); });
}

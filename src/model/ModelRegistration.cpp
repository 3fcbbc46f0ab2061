#include "model/ModelRegistration.h"

#include "foundation/KeyedArchive.h"
#include "model/RTUserTwitter.h"

void registerModelArchiveClasses()
{
    ArchiveClassRegistry::registerClass(QStringLiteral("RTUser"),
                                        [] { return std::make_unique<RTUser>(); });
    ArchiveClassRegistry::registerClass(QStringLiteral("RTUserTwitter"),
                                        [] { return std::make_unique<RTUserTwitter>(); });
}

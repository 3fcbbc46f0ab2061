#include "networks/NetworksRegistration.h"

#include "foundation/KeyedArchive.h"
#include "networks/facebook/RTFacebookDirectInputLineViewController.h"
#include "networks/facebook/RTRequestOperationFacebook.h"
#include "networks/facebook/RTServiceFacebook.h"

void registerNetworksClasses()
{
    ArchiveClassRegistry::registerClass(QStringLiteral("RTServiceFacebook"),
                                        [] { return std::make_unique<RTServiceFacebook>(); });
    RTRequestOperationFacebook::registerClass();
    RTFacebookDirectInputLineViewController::registerFactory();
}

#include "companion/CompanionRegistration.h"

#include "companion/RTGroupObject.h"
#include "companion/RTRequestOperationTalvo.h"
#include "network/RTServiceRequests.h"

void registerCompanionRequestClasses()
{
    qRegisterMetaType<RTGroupObjectPtr>();
    RTServiceRequests::registerRequestOperationClass(QStringLiteral("RTRequestOperationTalvo"), [] {
        return std::make_shared<RTRequestOperationTalvo>();
    });
}

#include "sharing/SharingRegistration.h"

#include "sharing/RTMessageTranslator.h"
#include "sharing/RTRequestOperationImager.h"
#include "sharing/RTRequestOperationShortener.h"
#include "sharing/RTTwitterDirectInputLineViewController.h"

void registerSharingClasses()
{
    RTRequestOperationShortener::registerClasses();
    RTRequestOperationImager::registerClasses();
    RTTwitterDirectInputLineViewController::registerFactory();
    RTMessageTranslator::install();
}

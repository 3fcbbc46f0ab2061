#include "networks/PingfmInstapaperRegistration.h"

#include "networks/instapaper/RTInstapaperClient.h"
#include "networks/pingfm/RTPingfmClient.h"
#include "networks/pingfm/RTPingfmDirectInputViewController.h"

void registerPingfmAndInstapaper()
{
    RTPingfmClient::registerClasses();
    RTPingfmDirectInputViewController::registerFactory();
    RTInstapaperClient::registerClasses();
}

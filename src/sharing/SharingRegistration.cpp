#include "sharing/SharingRegistration.h"

#include "sharing/RTMessageTranslator.h"
#include "sharing/RTRequestOperationImager.h"
#include "sharing/RTRequestOperationShortener.h"
#include "sharing/RTShortenerClient.h"
#include "sharing/RTTwitterDirectInputLineViewController.h"
#include "store/TADataManager.h"
#include "text/RTShortURLResolver.h"

#include <QUrl>

namespace {
// The user's own shortener account expands the links of its domain (bit.ly and its
// kind answer from their API, without following redirects).
bool expandWithAccount(const QString &shortUrl, const RTShortURLResolver::Finished &finished)
{
    const QString host = QUrl(shortUrl).host();
    for (const RTServicePtr &service : TADataManager::sharedManager().services()) {
        if (service->serviceType() != 7 ||
            service->hostname().compare(host, Qt::CaseInsensitive) != 0)
            continue;
        return RTShortenerClient::longByShortStringURL(
            service, shortUrl, [finished, shortUrl](const QString &longUrl, const QString &) {
                finished(longUrl, shortUrl);
            });
    }
    return false;
}
} // namespace

void registerSharingClasses()
{
    RTRequestOperationShortener::registerClasses();
    RTRequestOperationImager::registerClasses();
    RTTwitterDirectInputLineViewController::registerFactory();
    RTMessageTranslator::install();
    RTShortURLResolver::setAccountExpander(expandWithAccount);
}

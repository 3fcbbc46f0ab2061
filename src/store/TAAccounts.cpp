#include "store/TAAccounts.h"

#include "accounts/RTServiceRegistry.h"
#include "foundation/Localization.h"
#include "store/TADataManager.h"

QString TAAccounts::identifier(const RTService &service)
{
    return service.serviceName().toLower() + QLatin1Char(':') + service.serviceId();
}

RTServiceList TAAccounts::userAccounts(const TADataManager &store)
{
    return userAccounts(store.services());
}

RTServiceList TAAccounts::userAccounts(const RTServiceList &services)
{
    RTServiceList result;
    for (const RTServicePtr &service : services) {
        if (service && !service->isDeleted() && service->shouldAppearInServiceList())
            result.append(service);
    }
    RTServiceRegistry::sortServices(result);
    return result;
}

RTServicePtr TAAccounts::findAccount(const TADataManager &store, const QString &text,
                                     bool *ambiguous)
{
    if (ambiguous)
        *ambiguous = false;
    const RTServiceList accounts = userAccounts(store);
    for (const RTServicePtr &service : accounts) {
        if (identifier(*service).compare(text, Qt::CaseInsensitive) == 0)
            return service;
    }
    RTServicePtr found;
    for (const RTServicePtr &service : accounts) {
        if (service->serviceId().compare(text, Qt::CaseInsensitive) != 0)
            continue;
        if (found) {
            if (ambiguous)
                *ambiguous = true;
            return nullptr;
        }
        found = service;
    }
    return found;
}

TAAccounts::Removal TAAccounts::removeAccount(TADataManager &store, const RTServicePtr &service)
{
    Removal removal;
    if (!service || !store.services().contains(service))
        return removal;
    store.removeService(service);
    removal.removed = true;
    removal.keychainCleared = service->deleteKeychainItems();
    if (!removal.keychainCleared)
        removal.message = localizedString("##TAAccounts:0##").arg(service->serviceId());
    store.saveCachesToDisk();
    return removal;
}

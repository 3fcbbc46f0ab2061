#include "twitter/RTRegistryAccountDirectory.h"

#include "accounts/RTServiceRegistry.h"
#include "twitter/RTRequestOperationTwitter.h"
#include "twitter/RTSearcher.h"
#include "twitter/RTServiceTwitter.h"

RTRegistryAccountDirectory::RTRegistryAccountDirectory(RTServiceRegistry &registry,
                                                       RTSearcher *searcher)
    : m_registry(registry)
    , m_searcher(searcher)
{
}

QList<QObject *> RTRegistryAccountDirectory::twitterAccounts() const
{
    QList<QObject *> accounts;
    for (const auto &account : m_registry.allServicesOfSameClass<RTServiceTwitter>())
        accounts.append(account.get());
    return accounts;
}

RTMessageDataSource *RTRegistryAccountDirectory::searcher() const
{
    return m_searcher;
}

RTSearcher &RTRegistryAccountDirectory::installShared()
{
    // Kept for the program's life: workers may still deliver search results while the
    // program ends.
    static auto *searcher =
        new std::shared_ptr<RTSearcher>(std::make_shared<RTSearcher>(RTServiceRegistry::shared()));
    static auto *directory =
        new RTRegistryAccountDirectory(RTServiceRegistry::shared(), searcher->get());
    RTRequestOperationTwitter::setSharedSearcher(*searcher);
    RTAccountDirectory::setShared(directory);
    return **searcher;
}

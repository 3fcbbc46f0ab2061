#pragma once

#include "model/RTAccountDirectory.h"

class RTServiceRegistry;
class RTSearcher;

// The account directory of the running program: the registry's Twitter accounts and the
// shared searcher.
class RTRegistryAccountDirectory : public RTAccountDirectory
{
public:
    RTRegistryAccountDirectory(RTServiceRegistry &registry, RTSearcher *searcher);

    [[nodiscard]] QList<QObject *> twitterAccounts() const override;
    [[nodiscard]] RTMessageDataSource *searcher() const override;

    // Installs the directory and the searcher once for the program's life, and returns
    // the searcher.
    static RTSearcher &installShared();

private:
    RTServiceRegistry &m_registry;
    RTSearcher *m_searcher;
};

#pragma once

#include "platform/PlatformInterface.h"

#include <QList>

class QObject;
class RTMessageDataSource;

// The model's view of the account registry, installed by the store. Messages without an
// account of their own (search results) find an account or the searcher here.
class RTAccountDirectory : public PlatformInterface<RTAccountDirectory>
{
public:
    // Every Twitter account, in registry order. Each implements RTTwitterAccountActions
    // and RTMessageDataSource.
    [[nodiscard]] virtual QList<QObject *> twitterAccounts() const = 0;
    // The shared searcher's store; nullptr when there is none.
    [[nodiscard]] virtual RTMessageDataSource *searcher() const = 0;
};

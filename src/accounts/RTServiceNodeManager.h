#pragma once

#include "accounts/RTService.h"

// What the registry needs from the tree node manager when accounts come and go. The
// timelines layer implements it; the registry holds it without owning it.
class RTServiceNodeManager
{
public:
    virtual ~RTServiceNodeManager() = default;
    virtual void addNodeWithService(const RTServicePtr &service, bool expand) = 0;
    virtual void removeNodeWithService(const RTServicePtr &service) = 0;
    // Follow the account's "predicateForHomeNode" so the count predicates track it.
    virtual void observePredicateForHomeNode(const RTServicePtr &service) = 0;
    virtual void stopObservingPredicateForHomeNode(const RTServicePtr &service) = 0;
};

#pragma once

#include "app/RTAppComponents.h"

// The program's components: the shared store, the shared tree node manager and the
// accounts in it.
class RTTalvoComponents : public RTAppComponents
{
public:
    void createSoundAlertManager() override;
    void restoreStore() override;
    void startTreeNodeManager() override;
    [[nodiscard]] bool hasServiceInServiceList() const override;
    void createGrowlDelegate() override;
    void saveStore() override;
    void disableStoreSaving() override;
    void markAllMessagesAsSeen() override;
    void synchronizeGroups() override;
    void synchronizeSearches() override;
    void synchronizeLists() override;
    // Stops every account (end of the program).
    void stopServices();
};

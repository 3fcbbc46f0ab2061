#pragma once

#include "app/RTAppComponents.h"

#include <memory>

class RTPopupDelegate;

// The program's components: the shared store, the shared tree node manager and the
// accounts in it.
class RTTalvoComponents : public RTAppComponents
{
public:
    RTTalvoComponents();
    ~RTTalvoComponents() override;
    void createSoundAlertManager() override;
    void restoreStore() override;
    void startTreeNodeManager() override;
    [[nodiscard]] bool hasServiceInServiceList() const override;
    void createPopupDelegate() override;
    void saveStore() override;
    void disableStoreSaving() override;
    void markAllMessagesAsSeen() override;
    void synchronizeGroups() override;
    void synchronizeSearches() override;
    void synchronizeLists() override;
    // Stops every account (end of the program).
    void stopServices();
    // The answers to pop-up notifications, once the delegate exists.
    [[nodiscard]] RTPopupDelegate *popupDelegate() const { return m_popups.get(); }

private:
    std::unique_ptr<RTPopupDelegate> m_popups;
};

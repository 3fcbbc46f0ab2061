#pragma once

// The parts of the program that the application shell drives at start, at the end and
// from the menu. The shell's order of events is tested against a recording fake; the
// program installs the real implementation, which reaches the store, the tree, the
// companion service and the alerts.
class RTAppComponents
{
public:
    virtual ~RTAppComponents() = default;

    // Class initialisation: the sound alert manager exists before any event.
    virtual void createSoundAlertManager() = 0;
    // Launch: the store is restored on first use, then the tree is built and, with
    // polling on, every service started.
    virtual void restoreStore() = 0;
    virtual void startTreeNodeManager() = 0;
    // Whether any registered service appears in the service list.
    [[nodiscard]] virtual bool hasServiceInServiceList() const = 0;
    virtual void createPopupDelegate() = 0;
    virtual void saveStore() = 0;
    // After the application data is deleted nothing may write the store again.
    virtual void disableStoreSaving() = 0;

    // Menu actions.
    virtual void markAllMessagesAsSeen() = 0;
    virtual void synchronizeGroups() = 0;
    virtual void synchronizeSearches() = 0;
    virtual void synchronizeLists() = 0;
};

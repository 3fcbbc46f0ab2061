#pragma once

#include "timelines/RTTreeNodePopupHost.h"

// The Groups host: Home messages of the account (or of all accounts), unmuted, from the
// members of any group. Its predicate is rebuilt whenever the groups change.
class RTTreeNodePopupHostTwitterGroupsParent : public RTTreeNodePopupHost
{
    Q_OBJECT
public:
    static RTTreeNodePopupHostTwitterGroupsParent *
    twitterGroupsPopupHostWithService(RTService *account);

    explicit RTTreeNodePopupHostTwitterGroupsParent(RTService *account);
    ~RTTreeNodePopupHostTwitterGroupsParent() override { unregisterFromOwner(); }

    // A group's members changed.
    void membersChanged() { sectionsChanged(); }

protected:
    void sectionsChanged() override;

private:
    QPointer<RTService> m_account;
};

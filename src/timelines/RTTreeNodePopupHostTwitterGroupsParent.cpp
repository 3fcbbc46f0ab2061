#include "timelines/RTTreeNodePopupHostTwitterGroupsParent.h"

#include "accounts/RTService.h"
#include "foundation/Localization.h"
#include "timelines/RTTreeNodePredicates.h"

RTTreeNodePopupHostTwitterGroupsParent *
RTTreeNodePopupHostTwitterGroupsParent::twitterGroupsPopupHostWithService(RTService *account)
{
    return RTTreeNode::create<RTTreeNodePopupHostTwitterGroupsParent>(account);
}

RTTreeNodePopupHostTwitterGroupsParent::RTTreeNodePopupHostTwitterGroupsParent(RTService *account)
    : RTTreeNodePopupHost(localizedString("##RTTreeNodePopupHost:4##"), account, 2,
                          QStringLiteral("node_groups"), Predicate::falsePredicate(),
                          QStringLiteral("groupsArray"),
                          localizedString("##RTTreeNodePopupHost:5##"))
    , m_account(account)
{
    if (!account)
        setImages(QStringLiteral("combined_groups"), QStringLiteral("combined_groups_unseen"));
    sectionsChanged();
}

void RTTreeNodePopupHostTwitterGroupsParent::sectionsChanged()
{
    std::vector<Predicate> members;
    for (RTPopupHostSectionProtocol *group : sectionObjects()) {
        const Predicate p = group->membersFilterPredicate();
        if (!p.isNull())
            members.push_back(p);
    }
    // No groups, no members: nothing qualifies (an empty "or" would be vacuous).
    if (members.empty()) {
        setValidMessagePredicate(Predicate::falsePredicate());
        return;
    }
    std::vector<Predicate> parts{RTPredicates::flag("isHome", true),
                                 RTPredicates::flag("isMuted", false)};
    if (m_account)
        parts.push_back(RTPredicates::serviceIs(m_account.data()));
    parts.push_back(Predicate::orPredicate(members));
    setValidMessagePredicate(Predicate::andPredicate(parts));
}

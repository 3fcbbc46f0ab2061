// The user's groups: named sets of Twitter users per Twitter account.
#include "companion/RTCompanionClient.h"

#include "accounts/RTServiceRegistry.h"
#include "companion/RTCompanionLog.h"
#include "companion/RTCompanionRequestTypes.h"
#include "foundation/RTGlobalVariables.h"
#include "model/RTUserTwitter.h"
#include "platform/TAUtility.h"
#include "timelines/RTTreeNodePopupHostTwitterGroupsParent.h"
#include "twitter/RTServiceTwitter.h"

namespace {

constexpr qsizetype kMaxGroups = 500;
constexpr qsizetype kMaxMembers = 5000;
constexpr int kCreateGroupPriority = 4;

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

QString remoteIdOf(const RTServiceTwitter &account)
{
    const RTUserTwitterPtr me = account.myself();
    return me ? me->userId() : QString();
}

// The account is the given network account.
bool isTheServiceWithNetwork(const RTServiceTwitter &account, const QString &network,
                             const QString &remoteId, const QString &username)
{
    if (network.compare(QLatin1String("twitter"), Qt::CaseInsensitive) != 0)
        return false;
    const QString myId = remoteIdOf(account);
    if (!myId.isEmpty() && !remoteId.isEmpty())
        return myId == remoteId;
    return !username.isEmpty() && account.serviceId().compare(username, Qt::CaseInsensitive) == 0;
}

QStringList membersOf(const QVariant &value)
{
    QStringList members;
    for (const QVariant &member : value.toList().mid(0, kMaxMembers)) {
        const QString id = RTMessageFilter::idString(member);
        if (!id.isEmpty() && !members.contains(id))
            members.append(id);
    }
    return members;
}

} // namespace

RTGroupObjectPtr RTCompanionClient::newGroupWithService(RTService *account, const QString &name,
                                                        const QStringList &members)
{
    auto group = std::make_shared<RTGroupObject>();
    group->setService(account);
    group->setNetwork(QStringLiteral("twitter"));
    if (auto *twitter = qobject_cast<RTServiceTwitter *>(account)) {
        group->setRemoteId(remoteIdOf(*twitter));
        group->setRemoteUserName(twitter->serviceId());
    }
    group->setGroupName(name.trimmed());
    group->setMembers(members);
    return group;
}

void RTCompanionClient::createGroupWithGroupObject(const RTGroupObjectPtr &group)
{
    if (!group || !hasAnAccountConfigured())
        return;
    QVariantMap form{{QStringLiteral("api_key"), TAUtility::talvoApiKey()},
                     {QStringLiteral("guid"), TAUtility::talvoGuid()},
                     {QStringLiteral("platform"), QStringLiteral("osx")},
                     {QStringLiteral("network"), group->network()},
                     {QStringLiteral("remote[id]"), group->remoteId()},
                     {QStringLiteral("remote[username]"), group->remoteUserName()},
                     {QStringLiteral("group[name]"), group->groupName()}};
    if (!group->members().isEmpty())
        form.insert(QStringLiteral("group[members]"),
                    RTGroupObject::groupMembersStringFromArray(group->members()));
    request(RTTalvoRequestCreateGroup,
            {{QStringLiteral("groupObject"), QVariant::fromValue(group)},
             {QStringLiteral("members"), group->members()},
             {key(kRTRequiresAuthKey), true},
             {key(kRTQueuePriorityKey), kCreateGroupPriority}},
            form);
}

void RTCompanionClient::renameGroup(const RTGroupObjectPtr &group, const QString &newName)
{
    if (!group || newName.trimmed().isEmpty() || !hasAnAccountConfigured())
        return;
    request(
        RTTalvoRequestRenameGroup,
        {{QStringLiteral("groupObject"), QVariant::fromValue(group)},
         {QStringLiteral("members"), RTGroupObject::groupMembersStringFromArray(group->members())},
         {QStringLiteral("newName"), newName.trimmed()},
         {key(kRTRequiresAuthKey), true}});
}

void RTCompanionClient::removeGroupWithGroupObject(const RTGroupObjectPtr &group)
{
    if (group && hasAnAccountConfigured())
        request(RTTalvoRequestRemoveGroup,
                {{QStringLiteral("groupObject"), QVariant::fromValue(group)},
                 {key(kRTRequiresAuthKey), true}});
}

void RTCompanionClient::addMemberToGroup(const QString &memberId, const RTGroupObjectPtr &group)
{
    if (group && !memberId.isEmpty() && hasAnAccountConfigured())
        request(RTTalvoRequestAddMember,
                {{QStringLiteral("groupObject"), QVariant::fromValue(group)},
                 {QStringLiteral("memberId"), memberId},
                 {key(kRTRequiresAuthKey), true}});
}

void RTCompanionClient::removeMemberFromGroup(const QString &memberId,
                                              const RTGroupObjectPtr &group)
{
    if (group && !memberId.isEmpty() && hasAnAccountConfigured())
        request(RTTalvoRequestRemoveMember,
                {{QStringLiteral("groupObject"), QVariant::fromValue(group)},
                 {QStringLiteral("memberId"), memberId},
                 {key(kRTRequiresAuthKey), true}});
}

void RTCompanionClient::removeMemberWithUserIdFromAllGroupsInService(const QString &memberId,
                                                                     const RTService *account)
{
    for (const RTGroupObjectPtr &group : groupsOfService(account))
        if (group->members().contains(memberId))
            removeMemberFromGroup(memberId, group);
}

void RTCompanionClient::applyGroups(qint32 requestType, const QVariantMap &result)
{
    const auto group = result.value(QStringLiteral("groupObject")).value<RTGroupObjectPtr>();
    RTService *account = group ? group->service() : nullptr;
    switch (requestType) {
    case RTTalvoRequestGroups: {
        if (!result.contains(QStringLiteral("groupAccounts")))
            return;
        const auto accounts = m_registry.allServicesOfSameClass<RTServiceTwitter>();
        QHash<RTService *, QList<RTGroupObjectPtr>> byAccount;
        for (const QVariant &item : result.value(QStringLiteral("groupAccounts")).toList()) {
            const QVariantMap entry = item.toMap();
            const QString network = entry.value(QStringLiteral("network")).toString();
            const QString remoteId = RTMessageFilter::idString(entry.value("remote_id"));
            const QString username = entry.value(QStringLiteral("username")).toString();
            RTServiceTwitter *owner = nullptr;
            for (const auto &candidate : accounts)
                if (isTheServiceWithNetwork(*candidate, network, remoteId, username))
                    owner = candidate.get();
            if (!owner)
                continue; // an account not configured here
            for (const QVariant &g :
                 entry.value(QStringLiteral("groups")).toList().mid(0, kMaxGroups)) {
                const QVariantMap record = g.toMap();
                const QString id = RTMessageFilter::idString(record.value(QStringLiteral("id")));
                const QString name = record.value(QStringLiteral("name")).toString().left(100);
                if (id.isEmpty() || name.isEmpty())
                    continue;
                auto object = std::make_shared<RTGroupObject>();
                object->setService(owner);
                object->setGroupName(name);
                object->setRemoteUserName(username);
                object->setRemoteId(remoteId);
                object->setNetwork(network);
                object->setGroupId(id);
                object->setMembers(membersOf(record.value(QStringLiteral("members"))));
                byAccount[owner].append(object);
            }
        }
        // Every account that supports groups takes the answer's list (matched by id).
        for (const auto &candidate : accounts) {
            QList<RTGroupObjectPtr> synced;
            const QList<RTGroupObjectPtr> known = groupsOfService(candidate.get());
            for (const RTGroupObjectPtr &incoming : byAccount.value(candidate.get())) {
                RTGroupObjectPtr kept;
                for (const RTGroupObjectPtr &old : known)
                    if (old->groupId() == incoming->groupId())
                        kept = old;
                if (kept) {
                    kept->setGroupName(incoming->groupName());
                    kept->setMembers(incoming->members());
                    synced.append(kept);
                } else {
                    synced.append(incoming);
                }
            }
            setGroupsOfService(candidate.get(), synced);
        }
        return;
    }
    case RTTalvoRequestCreateGroup:
    case RTTalvoRequestRenameGroup: {
        if (!group || !account)
            return;
        const QVariantMap answer = result.value(QStringLiteral("group")).toMap();
        const QString id = RTMessageFilter::idString(answer.value(QStringLiteral("id")));
        if (!id.isEmpty())
            group->setGroupId(id);
        const QString name = answer.value(QStringLiteral("name")).toString().left(100);
        if (!name.isEmpty())
            group->setGroupName(name);
        if (answer.contains(QStringLiteral("members")))
            group->setMembers(membersOf(answer.value(QStringLiteral("members"))));
        QList<RTGroupObjectPtr> groups = groupsOfService(account);
        if (!groups.contains(group))
            groups.append(group);
        setGroupsOfService(account, groups);
        return;
    }
    case RTTalvoRequestRemoveGroup: {
        if (!group || !account)
            return;
        QList<RTGroupObjectPtr> groups = groupsOfService(account);
        groups.removeAll(group);
        setGroupsOfService(account, groups);
        return;
    }
    case RTTalvoRequestAddMember:
    case RTTalvoRequestRemoveMember: {
        if (!group)
            return;
        const QString member = result.value(QStringLiteral("memberId")).toString();
        QStringList members = group->members();
        if (requestType == RTTalvoRequestAddMember && !members.contains(member))
            members.append(member);
        else if (requestType == RTTalvoRequestRemoveMember)
            members.removeAll(member);
        group->setMembers(members);
        if (account)
            publishGroups(account);
        return;
    }
    default:
        return;
    }
}

QList<RTGroupObjectPtr> RTCompanionClient::groupsOfService(const RTService *account) const
{
    return m_groups.value(account);
}

RTGroupObjectPtr RTCompanionClient::groupForNode(const RTTreeNode *node) const
{
    if (!node)
        return nullptr;
    for (const RTGroupObjectPtr &group : m_groups.value(node->service()))
        if (group->existingTreeNode() == node)
            return group;
    return nullptr;
}

void RTCompanionClient::setGroupsOfService(RTService *account,
                                           const QList<RTGroupObjectPtr> &groups)
{
    // A removed group's node may still be shown somewhere: the group stays alive.
    for (const RTGroupObjectPtr &old : m_groups.value(account))
        if (!groups.contains(old))
            m_retiredGroups.append(old);
    m_groups.insert(account, groups);
    publishGroups(account);
}

void RTCompanionClient::publishGroups(RTService *account)
{
    RTTreeNodeManager *manager = m_nodeManager.data();
    for (const RTGroupObjectPtr &group : m_groups.value(account))
        group->updateTreeNode();
    if (manager) {
        manager->refreshSectionsOfService(account);
        // The hosts' predicates name the members of every group.
        for (RTTreeNode *node : manager->allTreeNodes()) {
            if (auto *host = qobject_cast<RTTreeNodePopupHostTwitterGroupsParent *>(node)) {
                host->membersChanged();
                manager->reEvaluateAllMessagesForTreeNode(host);
            }
        }
        for (const RTGroupObjectPtr &group : m_groups.value(account))
            if (RTTreeNode *node = group->existingTreeNode())
                manager->reEvaluateAllMessagesForTreeNode(node);
    }
    emit groupsChanged(account);
}

void RTCompanionClient::installGroupHooks()
{
    QPointer<RTCompanionClient> self(this);
    RTTreeNodeManager::setGroupSectionSource([self](RTService *account) {
        QList<RTPopupHostSectionProtocol *> sections;
        if (self)
            for (const RTGroupObjectPtr &group : self->groupsOfService(account))
                sections.append(group.get());
        return sections;
    });
    RTTreeNodeTwitterGroup::Companion hooks;
    hooks.hasAccount = [self] { return self && self->hasAnAccountConfigured(); };
    hooks.removeGroup = [self](RTTreeNodeTwitterGroup *node) {
        if (self)
            self->removeGroupWithGroupObject(self->groupForNode(node));
    };
    // Renaming asks for the new name: the window's handler asks, then calls renameGroup().
    hooks.startRenaming = [self](RTTreeNodeTwitterGroup *node) {
        if (!self || !self->m_renameGroupHandler)
            return;
        if (const RTGroupObjectPtr group = self->groupForNode(node))
            self->m_renameGroupHandler(group);
    };
    RTTreeNodeTwitterGroup::setCompanion(std::move(hooks));
}

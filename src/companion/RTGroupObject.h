#pragma once

#include "foundation/Predicate.h"
#include "timelines/RTTreeNodeKinds.h"
#include "timelines/RTTreeNodePopupHost.h"

#include <QPointer>
#include <QStringList>
#include <memory>

class RTService;

// A named set of Twitter users of one Twitter account, kept by the companion service.
// Shown as a section of the account's Groups host, through a node it owns.
class RTGroupObject : public RTPopupHostSectionProtocol
{
public:
    ~RTGroupObject() override;

    [[nodiscard]] QString platform() const { return m_platform; }
    [[nodiscard]] QString network() const { return m_network; }
    void setNetwork(const QString &network) { m_network = network; }
    [[nodiscard]] QString remoteId() const { return m_remoteId; }
    void setRemoteId(const QString &id) { m_remoteId = id; }
    [[nodiscard]] QString remoteUserName() const { return m_remoteUserName; }
    void setRemoteUserName(const QString &name) { m_remoteUserName = name; }
    [[nodiscard]] QString groupName() const { return m_groupName; }
    void setGroupName(const QString &name) { m_groupName = name; }
    [[nodiscard]] QString groupId() const { return m_groupId; }
    void setGroupId(const QString &id) { m_groupId = id; }
    // Twitter user ids.
    [[nodiscard]] QStringList members() const { return m_members; }
    void setMembers(const QStringList &members) { m_members = members; }
    // The Twitter account the group belongs to.
    [[nodiscard]] RTService *service() const { return m_service.data(); }
    void setService(RTService *service);

    // Messages of a member; no members: matches nothing.
    [[nodiscard]] Predicate membersFilterPredicate() const override;
    // Messages of anyone else; no members: matches everything.
    [[nodiscard]] Predicate excludeMembersFilterPredicate() const;
    [[nodiscard]] static QString groupMembersStringFromArray(const QStringList &members)
    {
        return members.join(QLatin1Char(','));
    }
    [[nodiscard]] QString identificationString() const override { return m_groupName.toLower(); }
    // The group's node, made on first use; null without a Twitter account.
    [[nodiscard]] RTTreeNode *treeNodeForSelf() override;
    [[nodiscard]] RTTreeNodeTwitterGroup *existingTreeNode() const { return m_node.data(); }
    // The node follows the members (and the name).
    void updateTreeNode();
    [[nodiscard]] QString description() const;

private:
    QString m_platform = QStringLiteral("osx");
    QString m_network;
    QString m_remoteId;
    QString m_remoteUserName;
    QString m_groupName;
    QString m_groupId;
    QStringList m_members;
    QPointer<RTService> m_service;
    // A host that adopted the node as its child deletes it with itself.
    QPointer<RTTreeNodeTwitterGroup> m_node;
};

using RTGroupObjectPtr = std::shared_ptr<RTGroupObject>;
Q_DECLARE_METATYPE(RTGroupObjectPtr)

#include "companion/RTGroupObject.h"

#include "accounts/RTService.h"
#include "twitter/RTServiceTwitter.h"

RTGroupObject::~RTGroupObject()
{
    if (RTTreeNodeTwitterGroup *node = m_node.data()) {
        if (RTTreeNode *parent = node->parentNode())
            parent->removeChildNode(node);
        delete node;
    }
}

RTTreeNode *RTGroupObject::treeNodeForSelf()
{
    if (!m_node) {
        auto *account = qobject_cast<RTServiceTwitter *>(m_service.data());
        if (!account)
            return nullptr;
        m_node = RTTreeNode::create<RTTreeNodeTwitterGroup>(account, m_groupName);
        m_node->setMembersFilterPredicate(membersFilterPredicate());
    }
    return m_node.data();
}

void RTGroupObject::updateTreeNode()
{
    if (!m_node)
        return;
    m_node->setName(m_groupName);
    m_node->setMembersFilterPredicate(membersFilterPredicate());
}

void RTGroupObject::setService(RTService *service)
{
    m_service = service;
}

Predicate RTGroupObject::membersFilterPredicate() const
{
    std::vector<Predicate> parts;
    for (const QString &member : m_members)
        parts.push_back(Predicate::compare(QStringLiteral("userId"), Predicate::Op::Equal,
                                           PredicateValue::string(member)));
    return parts.empty() ? Predicate::falsePredicate() : Predicate::orPredicate(parts);
}

Predicate RTGroupObject::excludeMembersFilterPredicate() const
{
    std::vector<Predicate> parts;
    for (const QString &member : m_members)
        parts.push_back(Predicate::compare(QStringLiteral("userId"), Predicate::Op::NotEqual,
                                           PredicateValue::string(member)));
    return parts.empty() ? Predicate::truePredicate() : Predicate::andPredicate(parts);
}

QString RTGroupObject::description() const
{
    return QStringLiteral("%1\ngroupId:%2\nservice:%3\ngroupName:%4\nremoteUserName:%5\n"
                          "remoteId:%6\nnetwork:%7\nplatform:%8\nmembers:%9\n")
        .arg(QString::asprintf("%p", static_cast<const void *>(this)), m_groupId,
             m_service ? m_service->description() : QStringLiteral("(null)"), m_groupName,
             m_remoteUserName, m_remoteId, m_network, m_platform, m_members.join(u','));
}

#include "timelines/RTTreeNodeTwitterConversation.h"

#include "foundation/Localization.h"
#include "timelines/RTTreeNodeOwner.h"
#include "twitter/RTServiceTwitter.h"

#include <QTimer>

namespace {

constexpr qint32 kShowStatusRequest = 5;
// A reply chain longer than this is cut: a loop in bad data must not hang the walk.
constexpr int kMaxChainLength = 1000;

} // namespace

RTTreeNodeTwitterConversation *
RTTreeNodeTwitterConversation::create(const RTMessageTwitterPtr &message)
{
    if (!message)
        return nullptr;
    auto *account = qobject_cast<RTServiceTwitter *>(message->service());
    if (!account)
        return nullptr;
    auto *node = new RTTreeNodeTwitterConversation(account, message);
    node->registerWithOwner();
    node->start(message);
    return node;
}

RTTreeNodeTwitterConversation::RTTreeNodeTwitterConversation(RTServiceTwitter *account,
                                                             const RTMessageTwitterPtr &message)
    : RTTreeNodeTwitter(localizedString("##RTTreeNodeTwitterConversation:0##"), account,
                        RTTreeNodeRequestType::Conversation, QString(), Predicate())
    , m_originMessageId(message->messageId())
{
    setIsUnreadNode(true);
    setMenuItems(&RTMessageActionTags::timeline());
}

RTTreeNodeTwitterConversation::~RTTreeNodeTwitterConversation()
{
    unregisterFromOwner();
}

QVariantMap RTTreeNodeTwitterConversation::conversationUserInfo() const
{
    return {{QStringLiteral("conversationNode"),
             QVariant::fromValue(
                 static_cast<QObject *>(const_cast<RTTreeNodeTwitterConversation *>(this)))}};
}

void RTTreeNodeTwitterConversation::start(const RTMessageTwitterPtr &message)
{
    QList<RTMessagePtr> chain;
    walk(message, chain);
    // Every stored message that answers one in the chain, recursively.
    QSet<QString> ids;
    for (const RTMessagePtr &m : std::as_const(chain))
        ids.insert(m->messageId());
    if (RTServiceTwitter *account = twitterAccount()) {
        const auto stored = account->messagesDictionary();
        bool grew = true;
        while (grew) {
            grew = false;
            for (const RTMessageTwitterPtr &m : stored) {
                if (!ids.contains(m->messageId()) && ids.contains(m->inReplyToMessageId())) {
                    ids.insert(m->messageId());
                    chain.append(m);
                    grew = true;
                }
            }
        }
    }
    if (owner())
        owner()->allTreeNodesAddMessages(chain, kShowStatusRequest, conversationUserInfo());
    else
        messagesArrayControllerAddMessages(chain);
    scheduleState();
}

void RTTreeNodeTwitterConversation::walk(RTMessageTwitterPtr message, QList<RTMessagePtr> &chain)
{
    RTServiceTwitter *account = twitterAccount();
    QSet<QString> seen;
    while (message && chain.size() < kMaxChainLength && !seen.contains(message->messageId())) {
        seen.insert(message->messageId());
        chain.append(message);
        const QString parentId = message->inReplyToMessageId();
        if (parentId.isEmpty() || !account)
            return;
        RTMessageTwitterPtr parent =
            account->messageWithId(parentId, conversationUserInfo(), requestDelegate());
        if (!parent) {
            ++m_getMessagesRequests; // the answer arrives later
            return;
        }
        message = parent;
    }
}

void RTTreeNodeTwitterConversation::scheduleState()
{
    QPointer<RTTreeNodeTwitterConversation> self(this);
    QTimer::singleShot(kStateDelayMs, this, [self] {
        if (self)
            self->setListviewState(self->m_getMessagesRequests > 0
                                       ? ListViewController::StateLoadingOlder
                                       : ListViewController::StateNormal);
    });
}

QString RTTreeNodeTwitterConversation::nodeViewClass() const
{
    return QStringLiteral("RTTwitterConversationListView");
}

QString RTTreeNodeTwitterConversation::nodeViewNibName() const
{
    return QStringLiteral("RTTwitterConversationListView");
}

QVariantMap RTTreeNodeTwitterConversation::identity() const
{
    return {{QStringLiteral("isTemporary"), true}, {QStringLiteral("isConversation"), true}};
}

bool RTTreeNodeTwitterConversation::isOfMessageClass(const RTMessage &message) const
{
    return dynamic_cast<const RTMessageTwitter *>(&message) != nullptr;
}

bool RTTreeNodeTwitterConversation::isMessageValid(const RTMessagePtr &message, qint32 requestType,
                                                   const QVariantMap &userInfo) const
{
    if (!RTTreeNode::isMessageValid(message, requestType, userInfo))
        return false;
    if (userInfo.value(QStringLiteral("conversationNode")).value<QObject *>() == this)
        return true;
    const auto *twitter = static_cast<const RTMessageTwitter *>(message.get());
    const QString parentId = twitter->inReplyToMessageId();
    if (parentId.isEmpty())
        return false;
    QMutexLocker locker(&m_heldIdsLock);
    return m_heldIds.contains(parentId);
}

void RTTreeNodeTwitterConversation::contentDidAddMessages(const QList<RTMessagePtr> &messages)
{
    QMutexLocker locker(&m_heldIdsLock);
    for (const RTMessagePtr &message : messages)
        m_heldIds.insert(message->messageId());
}

void RTTreeNodeTwitterConversation::contentDidRemoveMessages(const QList<RTMessagePtr> &messages)
{
    QMutexLocker locker(&m_heldIdsLock);
    for (const RTMessagePtr &message : messages)
        m_heldIds.remove(message->messageId());
}

void RTTreeNodeTwitterConversation::serviceRequestSuccess(const QVariantMap &result)
{
    const QList<RTMessagePtr> messages = messagesInResult(result);
    if (m_getMessagesRequests > 0)
        --m_getMessagesRequests;
    if (messages.isEmpty()) {
        setListviewState(m_getMessagesRequests > 0 ? ListViewController::StateLoadingOlder
                                                   : ListViewController::StateFailed);
        return;
    }
    for (const RTMessagePtr &m : messages) {
        auto twitter = std::dynamic_pointer_cast<RTMessageTwitter>(m);
        if (!twitter)
            continue;
        QList<RTMessagePtr> chain;
        walk(twitter, chain);
        if (owner())
            owner()->allTreeNodesAddMessages(chain, kShowStatusRequest, conversationUserInfo());
        else
            messagesArrayControllerAddMessages(chain);
    }
    scheduleState();
}

void RTTreeNodeTwitterConversation::serviceRequestFailure(const QVariantMap &)
{
    if (m_getMessagesRequests > 0)
        --m_getMessagesRequests;
    setListviewState(m_getMessagesRequests > 0 ? ListViewController::StateLoadingOlder
                                               : ListViewController::StateFailed);
}

void RTTreeNodeTwitterConversation::closeNode()
{
    if (isClosing())
        return;
    QPointer<RTTreeNode> referring = referingTreeNode();
    const QString origin = m_originMessageId;
    RTTreeNodeTwitter::closeNode();
    if (referring) {
        QTimer::singleShot(kCollapseDelayMs, referring, [referring, origin] {
            if (referring)
                if (ListViewController *view = referring->existingListViewController())
                    view->collapseMessage(origin);
        });
    }
}

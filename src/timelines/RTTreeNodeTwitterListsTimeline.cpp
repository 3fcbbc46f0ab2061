#include "timelines/RTTreeNodeTwitterListsTimeline.h"

#include "twitter/RTServiceTwitter.h"

RTTreeNodeTwitterListsTimeline::RTTreeNodeTwitterListsTimeline(RTServiceTwitter *account,
                                                               const RTListTwitterPtr &list)
    : RTTreeNodeTwitter(QString(), account, 0,
                        list && list->isPrivate() ? QStringLiteral("node_locked")
                                                  : QStringLiteral("user.profileImage"),
                        Predicate())
    , m_list(list)
{
    setMenuItems(&RTMessageActionTags::timeline());
    updateName();
}

void RTTreeNodeTwitterListsTimeline::setInPopupHostingView(bool value)
{
    RTTreeNodeTwitter::setInPopupHostingView(value);
    updateName();
}

void RTTreeNodeTwitterListsTimeline::updateName()
{
    if (!m_list)
        return;
    setName(inPopupHostingView()
                ? m_list->fullName()
                : QString(m_list->slugName()).replace(QLatin1Char('-'), QLatin1Char(' ')));
}

bool RTTreeNodeTwitterListsTimeline::isMessageValid(const RTMessagePtr &message, qint32 requestType,
                                                    const QVariantMap &userInfo) const
{
    if (!message || !m_list || message->isMuted())
        return false;
    if (userInfo.isEmpty()) {
        if (!m_list->messagesSet().contains(message->messageId()))
            return false;
    } else if (userInfo.value(QStringLiteral("listObject")).value<RTListTwitterPtr>() != m_list) {
        return false;
    }
    return RTTreeNode::isMessageValid(message, requestType, userInfo);
}

bool RTTreeNodeTwitterListsTimeline::shouldRemoveMessage(const RTMessagePtr &message,
                                                         qint32 requestType,
                                                         const QVariantMap &userInfo) const
{
    if (RTTreeNodeTwitter::shouldRemoveMessage(message, requestType, userInfo))
        return true;
    return message && m_list && !m_list->messagesSet().contains(message->messageId());
}

QVariantMap RTTreeNodeTwitterListsTimeline::identity() const
{
    QVariantMap id = RTTreeNodeTwitter::identity();
    id.insert(QStringLiteral("isTimelineNode"), true);
    return id;
}

int RTTreeNodeTwitterListsTimeline::sortWeight() const
{
    if (!m_list)
        return 3;
    if (m_list->isMine())
        return m_list->isPrivate() ? 1 : 2;
    return m_list->isPrivate() ? 2 : 3;
}

int RTTreeNodeTwitterListsTimeline::defaultListState() const
{
    if (messagesArrayController().count() > 0)
        return ListViewController::StateDefault;
    return m_list && m_list->isEmpty() ? ListViewController::StateEmpty
                                       : ListViewController::StateDefault;
}

bool RTTreeNodeTwitterListsTimeline::requestOlderPage(const QString &maxId)
{
    RTServiceTwitter *account = twitterAccount();
    return account && m_list && account->pollList(m_list, maxId, requestDelegate());
}

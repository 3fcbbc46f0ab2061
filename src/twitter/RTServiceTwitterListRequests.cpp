// Making, changing and deleting the account's lists, their members and subscriptions,
// and keeping the account's lists and their nodes in step with the answers.
#include "twitter/RTServiceTwitter.h"

#include "foundation/Localization.h"
#include "foundation/RTGlobalVariables.h"
#include "twitter/RTRequestOperationTwitterLists.h"
#include "twitter/RTTreeNodeManagerInterface.h"

namespace {

const QString kListObjectKey = QStringLiteral("listObject");
const QString kScreenNameKey = QStringLiteral("screenName");

QVariantMap listForm(const QString &name, bool isPrivate, const QString &description)
{
    QVariantMap form{
        {QStringLiteral("name"), name.trimmed()},
        {QStringLiteral("mode"), isPrivate ? QStringLiteral("private") : QStringLiteral("public")}};
    if (!description.isNull())
        form.insert(QStringLiteral("description"), description.trimmed());
    return form;
}

QVariantMap highPriority(QVariantMap userInfo)
{
    userInfo.insert(QString::fromLatin1(kRTQueuePriorityKey), Operation::QueuePriorityVeryHigh);
    return userInfo;
}

} // namespace

QString RTServiceTwitter::listNameProblem(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return localizedString("##RTServiceTwitter+Lists:0##");
    if (trimmed.size() > RTRequestOperationTwitterLists::kMaxListNameLength)
        return localizedString("##RTServiceTwitter+Lists:1##")
            .arg(RTRequestOperationTwitterLists::kMaxListNameLength);
    // Twitter makes the slug from letters and digits; a name without any has none.
    const bool hasWordCharacter =
        std::any_of(trimmed.cbegin(), trimmed.cend(), [](QChar c) { return c.isLetterOrNumber(); });
    if (!hasWordCharacter)
        return localizedString("##RTServiceTwitter+Lists:2##");
    return {};
}

bool RTServiceTwitter::createListWithName(const QString &name, bool isPrivate,
                                          const QString &description)
{
    if (!listNameProblem(name).isEmpty())
        return false;
    return queueRequest(
               RTTwitterRequestCreateList, nullptr,
               listForm(name, isPrivate,
                        description.left(RTRequestOperationTwitterLists::kMaxDescriptionLength)),
               highPriority({}), OperationQueue::ImmediateRequests) != nullptr;
}

bool RTServiceTwitter::updateList(const RTListTwitterPtr &list, const QString &name, bool isPrivate,
                                  const QString &description)
{
    if (!list || !list->isMine() || !listNameProblem(name).isEmpty())
        return false;
    return queueRequest(
               RTTwitterRequestUpdateList, nullptr,
               listForm(name, isPrivate,
                        description.left(RTRequestOperationTwitterLists::kMaxDescriptionLength)),
               highPriority({{kListObjectKey, QVariant::fromValue(list)}}),
               OperationQueue::ImmediateRequests) != nullptr;
}

bool RTServiceTwitter::destroyList(const RTListTwitterPtr &list)
{
    if (!list || !list->isMine())
        return false;
    return queueRequest(RTTwitterRequestDestroyList, nullptr,
                        {{QStringLiteral("_method"), QStringLiteral("DELETE")}},
                        highPriority({{kListObjectKey, QVariant::fromValue(list)}}),
                        OperationQueue::ImmediateRequests) != nullptr;
}

bool RTServiceTwitter::getMembersOfList(const RTListTwitterPtr &list,
                                        const RTRequestDelegatePtr &delegate)
{
    if (!list)
        return false;
    return queueRequest(RTTwitterRequestListMembers, delegate, {},
                        {{kListObjectKey, QVariant::fromValue(list)}},
                        OperationQueue::ImmediateRequests) != nullptr;
}

bool RTServiceTwitter::addMemberToList(const RTListTwitterPtr &list, const QString &screenName)
{
    const QString name = normalizedScreenName(screenName);
    if (!list || !list->isMine() || name.isEmpty())
        return false;
    return queueRequest(
               RTTwitterRequestAddListMember, nullptr, {{QStringLiteral("id"), name}},
               highPriority({{kListObjectKey, QVariant::fromValue(list)}, {kScreenNameKey, name}}),
               OperationQueue::ImmediateRequests) != nullptr;
}

bool RTServiceTwitter::removeMemberFromList(const RTListTwitterPtr &list, const QString &screenName)
{
    const QString name = normalizedScreenName(screenName);
    if (!list || !list->isMine() || name.isEmpty())
        return false;
    return queueRequest(
               RTTwitterRequestRemoveListMember, nullptr,
               {{QStringLiteral("id"), name},
                {QStringLiteral("_method"), QStringLiteral("DELETE")}},
               highPriority({{kListObjectKey, QVariant::fromValue(list)}, {kScreenNameKey, name}}),
               OperationQueue::ImmediateRequests) != nullptr;
}

bool RTServiceTwitter::subscribeToList(const RTListTwitterPtr &list)
{
    if (!list || list->isMine())
        return false;
    return queueRequest(RTTwitterRequestSubscribeList, nullptr, {},
                        highPriority({{kListObjectKey, QVariant::fromValue(list)}}),
                        OperationQueue::ImmediateRequests) != nullptr;
}

bool RTServiceTwitter::unsubscribeFromList(const RTListTwitterPtr &list)
{
    if (!list || list->isMine())
        return false;
    return queueRequest(RTTwitterRequestUnsubscribeList, nullptr,
                        {{QStringLiteral("_method"), QStringLiteral("DELETE")}},
                        highPriority({{kListObjectKey, QVariant::fromValue(list)}}),
                        OperationQueue::ImmediateRequests) != nullptr;
}

QString RTServiceTwitter::normalizedScreenName(const QString &screenName)
{
    QString name = screenName.trimmed();
    if (name.startsWith(QLatin1Char('@')))
        name.remove(0, 1);
    // Screen names are letters, digits and underscores, at most 15 of them.
    static const auto valid = [](QChar c) { return c.isLetterOrNumber() || c == u'_'; };
    if (name.isEmpty() || name.size() > 15 || !std::all_of(name.cbegin(), name.cend(), valid))
        return {};
    return name;
}

RTListTwitterPtr RTServiceTwitter::listWithId(const QString &listId) const
{
    for (const RTListTwitterPtr &list : m_listsArray) {
        if (list && list->listId() == listId)
            return list;
    }
    return nullptr;
}

void RTServiceTwitter::dealWithListChange(const QVariantMap &result, qint32 requestType)
{
    const QVariantMap userInfo = result.value(QString::fromLatin1(kRTUserInfoKey)).toMap();
    const auto sent = userInfo.value(kListObjectKey).value<RTListTwitterPtr>();
    const auto answered = result.value(QStringLiteral("list")).value<RTListTwitterPtr>();
    if (requestType == RTTwitterRequestListMembers) {
        if (sent)
            sent->setMembers(
                result.value(QStringLiteral("members")).value<QList<RTUserTwitterPtr>>());
        return;
    }
    if (!answered)
        return;
    const QString id = answered->listId();
    const RTListTwitterPtr known = listWithId(sent ? sent->listId() : id);
    answered->setIsMine(answered->user() && myself()
                            ? answered->user()->userId() == myself()->userId()
                            : requestType != RTTwitterRequestSubscribeList);
    QList<RTListTwitterPtr> lists = m_listsArray;
    switch (requestType) {
    case RTTwitterRequestCreateList:
    case RTTwitterRequestSubscribeList:
        if (known)
            return;
        lists.append(answered);
        setListsArray(lists);
        // Fetched now, so the next poll of its group skips it once.
        answered->setJustArrived(true);
        pollList(answered);
        return;
    case RTTwitterRequestUpdateList: {
        if (!known)
            return;
        // A new object, so the list's node takes the new name; the messages stay.
        answered->setIsMine(known->isMine());
        const QList<RTMessagePtr> messages = known->messagesSet().values();
        answered->addMessagesToMessagesSet(messages);
        answered->setIsEmpty(known->isEmpty());
        lists.replace(lists.indexOf(known), answered);
        setListsArray(lists);
        offerToNewNodes(messages, requestType);
        return;
    }
    case RTTwitterRequestDestroyList:
    case RTTwitterRequestUnsubscribeList:
        if (known) {
            lists.removeAll(known);
            setListsArray(lists);
        }
        return;
    case RTTwitterRequestAddListMember:
        if (known) {
            known->takeDetailsOf(*answered);
            emit listsArrayChanged();
            // The new member's messages come with the list's next page.
            pollList(known);
        }
        return;
    case RTTwitterRequestRemoveListMember:
        if (known) {
            known->takeDetailsOf(*answered);
            forgetListMember(known, userInfo.value(kScreenNameKey).toString());
            emit listsArrayChanged();
        }
        return;
    default:
        return;
    }
}

void RTServiceTwitter::forgetListMember(const RTListTwitterPtr &list, const QString &screenName)
{
    QString userId;
    for (const RTUserTwitterPtr &user : usersDictionary()) {
        if (user && user->screenName().compare(screenName, Qt::CaseInsensitive) == 0) {
            userId = user->userId();
            break;
        }
    }
    if (userId.isEmpty())
        return;
    QList<RTUserTwitterPtr> members = list->members();
    members.erase(
        std::remove_if(members.begin(), members.end(),
                       [&](const RTUserTwitterPtr &u) { return !u || u->userId() == userId; }),
        members.end());
    list->setMembers(members);
    const QList<RTMessagePtr> removed = list->removeMessagesOfUser(userId);
    if (removed.isEmpty())
        return;
    // A message no other list of the account holds is no longer listed.
    for (const RTMessagePtr &message : removed) {
        const bool elsewhere =
            std::any_of(m_listsArray.cbegin(), m_listsArray.cend(), [&](const RTListTwitterPtr &l) {
                return l && l != list && l->messagesSet().contains(message->messageId());
            });
        if (!elsewhere)
            message->clearTemporaryFlag(RTTemporaryFlag::IsListed);
    }
    if (RTTreeNodeManagerInterface::hasShared())
        RTTreeNodeManagerInterface::shared().allTreeNodesReEvaluateMessages(
            removed, RTTwitterRequestRemoveListMember, {});
}

void RTServiceTwitter::offerToNewNodes(const QList<RTMessagePtr> &messages, qint32 requestType)
{
    if (messages.isEmpty())
        return;
    // The node of a new section appears once this answer has been announced; offer the
    // messages after that.
    QMetaObject::invokeMethod(
        this,
        [messages, requestType] {
            if (RTTreeNodeManagerInterface::hasShared())
                RTTreeNodeManagerInterface::shared().allTreeNodesReEvaluateMessages(
                    messages, requestType, {});
        },
        Qt::QueuedConnection);
}

// The lists and saved searches of a Twitter account, kept from the answers that list them.
#include "twitter/RTServiceTwitter.h"

#include "foundation/RTGlobalVariables.h"
#include "twitter/RTTwitterRequestTypes.h"

#include <QSet>

void RTServiceTwitter::setListsArray(const QList<RTListTwitterPtr> &lists)
{
    if (m_listsArray == lists)
        return;
    m_listsArray = lists;
    emit listsArrayChanged();
}

void RTServiceTwitter::setSavedSearchesArray(const QList<RTSearchTwitterPtr> &searches)
{
    if (m_savedSearchesArray == searches)
        return;
    m_savedSearchesArray = searches;
    for (const RTSearchTwitterPtr &search : searches) {
        if (search)
            search->setService(this);
    }
    emit savedSearchesArrayChanged();
}

RTRequestOperationPtr RTServiceTwitter::queueSearchRequest(const RTSearchTwitterPtr &search,
                                                           const QVariantMap &userInfo,
                                                           int operationType)
{
    if (!search)
        return nullptr;
    return queueRequest(RTTwitterRequestSearch, search, {}, userInfo, operationType);
}

void RTServiceTwitter::dealWithLists(const QList<RTListTwitterPtr> &lists, qint32 requestType)
{
    if (requestType != RTTwitterRequestUserLists &&
        requestType != RTTwitterRequestListSubscriptions)
        return;
    const bool mine = requestType == RTTwitterRequestUserLists;
    QSet<QString> answered;
    for (const RTListTwitterPtr &list : lists) {
        if (list && !list->listId().isEmpty())
            answered.insert(list->listId());
    }
    QList<RTListTwitterPtr> kept;
    QSet<QString> known;
    for (const RTListTwitterPtr &list : std::as_const(m_listsArray)) {
        // Lists of the other kind are not in this answer and stay.
        if (!list || (list->isMine() == mine && !answered.contains(list->listId())))
            continue;
        kept.append(list);
        known.insert(list->listId());
    }
    QList<RTListTwitterPtr> arrived;
    for (const RTListTwitterPtr &list : lists) {
        if (!list || list->listId().isEmpty() || known.contains(list->listId()))
            continue;
        known.insert(list->listId());
        kept.append(list);
        arrived.append(list);
    }
    setListsArray(kept);
    if (!shouldPollTwitterLists())
        return;
    for (const RTListTwitterPtr &list : std::as_const(arrived)) {
        // Fetched now, so the next poll of its group skips it once.
        list->setJustArrived(true);
        pollList(list);
    }
}

void RTServiceTwitter::addSavedSearchesListWithSeachesArray(
    const QList<RTSearchTwitterPtr> &searches, qint32 requestType)
{
    QList<RTSearchTwitterPtr> kept;
    QSet<QString> known;
    if (requestType == RTTwitterRequestSavedSearches) {
        QSet<QString> answered;
        for (const RTSearchTwitterPtr &search : searches) {
            if (search && !search->searchId().isEmpty())
                answered.insert(search->searchId());
        }
        for (const RTSearchTwitterPtr &search : std::as_const(m_savedSearchesArray)) {
            if (search && answered.contains(search->searchId())) {
                kept.append(search);
                known.insert(search->searchId());
            }
        }
    } else if (requestType == RTTwitterRequestDestroySavedSearch) {
        QSet<QString> gone;
        for (const RTSearchTwitterPtr &search : searches) {
            if (search)
                gone.insert(search->searchId());
        }
        for (const RTSearchTwitterPtr &search : std::as_const(m_savedSearchesArray)) {
            if (search && !gone.contains(search->searchId()))
                kept.append(search);
        }
        setSavedSearchesArray(kept);
        return;
    } else {
        kept = m_savedSearchesArray;
        for (const RTSearchTwitterPtr &search : std::as_const(kept)) {
            if (search)
                known.insert(search->searchId());
        }
    }
    for (const RTSearchTwitterPtr &search : searches) {
        if (!search || search->searchId().isEmpty() || known.contains(search->searchId()))
            continue;
        known.insert(search->searchId());
        kept.append(search);
    }
    setSavedSearchesArray(kept);
}

void RTServiceTwitter::adoptSavedSearchMessages(const QString &searchId,
                                                const QVariant &existingMessages)
{
    const auto messages = existingMessages.value<QList<RTMessagePtr>>();
    if (messages.isEmpty())
        return;
    for (const RTSearchTwitterPtr &search : std::as_const(m_savedSearchesArray)) {
        if (!search || search->searchId() != searchId)
            continue;
        search->addMessagesToMessagesSet(messages);
        offerToNewNodes(messages, RTTwitterRequestCreateSavedSearch);
        return;
    }
}

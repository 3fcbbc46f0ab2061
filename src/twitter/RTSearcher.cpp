#include "twitter/RTSearcher.h"

#include "accounts/RTServiceRegistry.h"
#include "foundation/Clock.h"
#include "foundation/OperationQueue.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterDateParser.h"
#include "twitter/RTTwitterRequestTypes.h"
#include "twitter/RTTwitterResponseMapper.h"

#include <QTimer>

RTSearcher::RTSearcher(RTServiceRegistry &registry, QObject *parent)
    : QObject(parent)
    , m_registry(registry)
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(kTickMilliseconds);
    connect(m_timer, &QTimer::timeout, this, [this] { servicesTimerTick(); });
}

RTSearcher::~RTSearcher() = default;

namespace {

RTSearcher::CurrentSearchSource &currentSearchSource()
{
    static RTSearcher::CurrentSearchSource source;
    return source;
}

} // namespace

void RTSearcher::setCurrentSearchSource(CurrentSearchSource source)
{
    currentSearchSource() = std::move(source);
}

void RTSearcher::start()
{
    if (m_isRunning)
        return;
    m_isRunning = true;
    if (!m_searchesOperationQueue)
        m_searchesOperationQueue = std::make_unique<OperationQueue>(1);
    m_timer->start();
}

bool RTSearcher::searchCurrent()
{
    const std::shared_ptr<RTSearchTwitter> search =
        currentSearchSource() ? currentSearchSource()() : nullptr;
    if (!search)
        return false;
    const QDateTime last = search->lastPoll();
    if (last.isValid() && last.secsTo(Clock::currentDateTime()) <= kCurrentSearchInterval)
        return false;
    return search->searchWithOperationQueue(m_searchesOperationQueue.get());
}

void RTSearcher::stop()
{
    m_isRunning = false;
    m_timer->stop();
}

bool RTSearcher::servicesTimerTick()
{
    if (searchCurrent())
        return true;
    const QDateTime now = Clock::currentDateTime();
    for (const auto &account : m_registry.allServicesOfSameClass<RTServiceTwitter>()) {
        if (!account->isSearchEnabled())
            continue;
        for (const RTSearchTwitterPtr &search : account->savedSearchesArray()) {
            if (!search)
                continue;
            const QDateTime last = search->lastPoll();
            if (last.isValid() && last.secsTo(now) <= kServiceSearchTimeInterval)
                continue;
            search->setService(account.get());
            search->searchWithOperationQueue(m_searchesOperationQueue.get());
            return true;
        }
    }
    return false;
}

void RTSearcher::synchornizeSearches()
{
    for (const auto &account : m_registry.allServicesOfSameClass<RTServiceTwitter>())
        if (account->isSearchEnabled())
            account->pollTimelineSince(QString(), QVariant(), RTTwitterRequestSavedSearches, {});
}

RTTwitterDataSource::UserList
RTSearcher::mergeExistingUsersWithNewUsers(const QHash<QString, RTTwitterUserRecord> &users,
                                           const QHash<QString, QDateTime> &, int requestType,
                                           UserList *parsedUsers)
{
    UserList fresh;
    UserList all;
    QMutexLocker lock(&m_usersLock);
    for (auto it = users.cbegin(); it != users.cend(); ++it) {
        RTUserTwitterPtr user = m_usersDictionary.value(it.key());
        if (!user) {
            user = RTTwitterResponseMapper::userWithDictionary(it.value(), requestType, nullptr,
                                                               QDateTime());
            if (!user)
                continue;
            m_usersDictionary.insert(it.key(), user);
            fresh.append(user);
        }
        all.append(user);
    }
    if (parsedUsers)
        *parsedUsers = all;
    return fresh;
}

RTTwitterDataSource::MessageList RTSearcher::mergeExistingMessagesWithNewMessages(
    const QList<RTTwitterStatus> &statuses, int requestType, const RTTwitterMappingContext &context,
    MessageList *parsedMessages)
{
    QHash<QString, RTUserTwitterPtr> users;
    {
        QMutexLocker lock(&m_usersLock);
        users = m_usersDictionary;
    }
    const RTTwitterDateParser dates(RTTwitterDateParser::patternForRequestType(requestType));
    MessageList fresh;
    MessageList all;
    QMutexLocker lock(&m_messagesLock);
    for (const RTTwitterStatus &status : statuses) {
        if (!status.value.isObject())
            continue;
        const QString &id = status.id;
        if (id.isEmpty())
            continue;
        RTMessageTwitterPtr message = m_messagesDictionary.value(id);
        const bool isNew = !message;
        if (isNew) {
            message = RTTwitterResponseMapper::messageWithDictionary(status, requestType, nullptr,
                                                                     context, users, dates);
            if (!message)
                continue;
        }
        message->mergeTemporaryFlagsWithFlags(RTTwitterResponseMapper::temporaryFlagsForMessage(
            *message, requestType, status, context));
        message->mergePermanentFlagsWithFlags(
            RTTwitterResponseMapper::permanentFlagsForMessage(*message, requestType));
        if (isNew) {
            m_messagesDictionary.insert(id, message);
            fresh.append(message);
        }
        all.append(message);
    }
    if (parsedMessages)
        *parsedMessages = all;
    return fresh;
}

RTTwitterDataSource::MessageList
RTSearcher::mergeExistingMessageWithMessageObjects(const MessageList &messages, int)
{
    MessageList stored;
    QMutexLocker lock(&m_messagesLock);
    for (const RTMessageTwitterPtr &message : messages) {
        if (!message)
            continue;
        if (const RTMessageTwitterPtr known = m_messagesDictionary.value(message->messageId())) {
            known->mergeFlagsWithMessage(*message);
            stored.append(known);
        } else {
            m_messagesDictionary.insert(message->messageId(), message);
            stored.append(message);
        }
    }
    return stored;
}

RTMessageTwitterPtr RTSearcher::twitterMessageWithId(const QString &id) const
{
    QMutexLocker lock(&m_messagesLock);
    return m_messagesDictionary.value(id);
}

RTUserTwitterPtr RTSearcher::userWithId(const QString &id) const
{
    QMutexLocker lock(&m_usersLock);
    return m_usersDictionary.value(id);
}

RTTwitterDataSource::MessageList RTSearcher::repeatedMessagesWithId(const QString &id) const
{
    MessageList copies;
    if (const RTMessageTwitterPtr message = twitterMessageWithId(id))
        copies.append(message);
    return copies;
}

QList<std::shared_ptr<RTMessage>> RTSearcher::messagesLike(const RTMessage &message)
{
    QList<std::shared_ptr<RTMessage>> like;
    for (const auto &account : m_registry.allServicesOfSameClass<RTServiceTwitter>()) {
        if (const RTMessageTwitterPtr copy = account->twitterMessageWithId(message.messageId()))
            like.append(copy);
    }
    return like;
}

int RTSearcher::messageCount() const
{
    QMutexLocker lock(&m_messagesLock);
    return int(m_messagesDictionary.size());
}

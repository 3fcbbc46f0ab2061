#include "twitter/RTServiceTwitter.h"

#include "foundation/Log.h"
#include "foundation/MainThread.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RTGlobalVariables.h"
#include "model/RTAccountDirectory.h"
#include "twitter/RTTwitterRequestTypes.h"
#include "twitter/RTTwitterResponseMapper.h"

#include <QPointer>
#include <QTimer>
#include <exception>

using RTMapper = RTTwitterResponseMapper;

RTServiceTwitter::UserList
RTServiceTwitter::mergeExistingUsersWithNewUsers(const QHash<QString, RTTwitterUserRecord> &users,
                                                 const QHash<QString, QDateTime> &userUpdateDates,
                                                 int requestType, UserList *parsedUsers)
{
    UserList fresh;
    UserList all;
    struct Update
    {
        RTUserTwitterPtr user;
        RTTwitterUserRecord record;
        QDateTime date;
    };
    QList<Update> updates;
    {
        QMutexLocker lock(&m_usersDictionaryLock);
        try {
            for (auto it = users.cbegin(); it != users.cend(); ++it) {
                RTUserTwitterPtr user = m_usersDictionary.value(it.key());
                if (!user) {
                    user = RTMapper::userWithDictionary(it.value(), requestType, this, QDateTime());
                    m_usersDictionary.insert(it.key(), user);
                    fresh.append(user);
                } else {
                    updates.append({user, it.value(), userUpdateDates.value(it.key())});
                }
                all.append(user);
            }
        } catch (...) {
            // The store stays as it was.
            for (const RTUserTwitterPtr &user : std::as_const(fresh))
                m_usersDictionary.remove(user->userId());
            throw;
        }
        if (!fresh.isEmpty())
            emit usersDictionaryChanged();
    }

    // Views read published users on the main thread, so known users change there; the
    // updates are queued ahead of the answer's own delivery.
    if (!updates.isEmpty()) {
        runOnMainThread(
            [updates] {
                for (const Update &u : updates) {
                    if (!u.record.isSearch()) {
                        const QDateTime stored = u.user->updatedAt();
                        if (!stored.isValid() || (u.date.isValid() && u.date > stored))
                            RTMapper::updateUserWithDictionary(*u.user, u.record, u.date);
                    } else if (u.user->profileImageUrl().isEmpty()) {
                        const JsonValue url = u.record.field("profile_image_url");
                        if (url.isString())
                            u.user->setProfileImageUrl(url.toString());
                    }
                }
            },
            false);
    }
    if (parsedUsers)
        *parsedUsers = all;
    return fresh;
}

RTServiceTwitter::MessageList RTServiceTwitter::mergeExistingMessagesWithNewMessages(
    const QList<RTTwitterStatus> &statuses, int requestType, const RTTwitterMappingContext &context,
    MessageList *parsedMessages)
{
    // Taken before the messages lock: the two locks are never held together.
    const UsersDictionary users = usersDictionary();

    MessageList fresh;
    MessageList all;
    QStringList freshKeys;
    QMutexLocker lock(&m_messagesDictionaryLock);
    (void)retweetIndex();
    // New messages go straight into the store: readers take the lock, so none of them
    // sees the page half-merged, and no copy of the whole store is made per page.
    const RTTwitterDateParser dateParser(RTTwitterDateParser::patternForRequestType(requestType));
    try {
        for (const RTTwitterStatus &status : statuses) {
            if (!status.value.isObject())
                continue;
            const QString &id = status.id;
            if (id.isEmpty())
                continue;
            RTMessageTwitterPtr message = m_messagesDictionary.value(id);
            const bool isNew = !message;
            if (isNew) {
                message = RTMapper::messageWithDictionary(status, requestType, this, context, users,
                                                          dateParser);
                if (!message)
                    continue;
                // Read, hidden and muted states come back after a restart.
                if (m_permanentMessageFlags) {
                    const auto stored = m_permanentMessageFlags->constFind(id);
                    if (stored != m_permanentMessageFlags->cend())
                        message->mergePermanentFlagsWithFlags(stored.value());
                }
            }
            message->mergeTemporaryFlagsWithFlags(
                RTMapper::temporaryFlagsForMessage(*message, requestType, status, context));
            message->mergePermanentFlagsWithFlags(
                RTMapper::permanentFlagsForMessage(*message, requestType));
            if (requestType == RTTwitterRequestDestroyFavorite)
                message->clearTemporaryFlag(RTTemporaryFlag::IsFavorite);
            if (requestType == RTTwitterRequestDestroyStatus)
                message->clearTemporaryFlag(RTTemporaryFlag::IsSent);
            if (isNew) {
                // The message's own id string as the key: one copy of it, not two.
                const QString key = message->messageId() == id ? message->messageId() : id;
                m_messagesDictionary.insert(key, message);
                freshKeys.append(key);
                fresh.append(message);
            }
            all.append(message);
        }
    } catch (const std::exception &e) {
        // Nothing half-merged reaches the nodes: the store goes back to what it was, and
        // messages it does not hold would come back as second objects on the next poll.
        qCWarning(lcTwitter) << "Merging statuses failed:" << e.what();
        for (const QString &key : std::as_const(freshKeys))
            m_messagesDictionary.remove(key);
        if (parsedMessages)
            parsedMessages->clear();
        return {};
    }

    if (!fresh.isEmpty())
        storeMerged(fresh);
    if (parsedMessages)
        *parsedMessages = all;
    return fresh;
}

void RTServiceTwitter::storeMerged(const MessageList &fresh)
{
    // Under the messages lock, with the index built before the new messages went in.
    for (const RTMessageTwitterPtr &message : fresh) {
        if (!message->retweetedStatusId().isEmpty())
            m_retweetsByStatusId[message->retweetedStatusId()].append(message);
    }
    messagesChanged();
    m_indexedGeneration = m_messagesGeneration.load(std::memory_order_relaxed);
    emit messagesDictionaryChanged();
}

RTServiceTwitter::MessageList
RTServiceTwitter::mergeExistingMessageWithMessageObjects(const MessageList &messages,
                                                         int requestType)
{
    Q_UNUSED(requestType)
    MessageList stored;
    MessageList fresh;
    QMutexLocker lock(&m_messagesDictionaryLock);
    (void)retweetIndex();
    for (const RTMessageTwitterPtr &message : messages) {
        if (!message)
            continue;
        if (const RTMessageTwitterPtr known = m_messagesDictionary.value(message->messageId())) {
            known->mergeFlagsWithMessage(*message);
            stored.append(known);
            continue;
        }
        message->setService(this);
        m_messagesDictionary.insert(message->messageId(), message);
        fresh.append(message);
        stored.append(message);
    }
    if (!fresh.isEmpty())
        storeMerged(fresh);
    return stored;
}

RTMessageTwitterPtr RTServiceTwitter::twitterMessageWithId(const QString &id) const
{
    QMutexLocker lock(&m_messagesDictionaryLock);
    return m_messagesDictionary.value(id);
}

RTUserTwitterPtr RTServiceTwitter::userWithId(const QString &id) const
{
    QMutexLocker lock(&m_usersDictionaryLock);
    return m_usersDictionary.value(id);
}

const QHash<QString, RTServiceTwitter::MessageList> &RTServiceTwitter::retweetIndex() const
{
    const quint64 generation = m_messagesGeneration.load(std::memory_order_relaxed);
    if (m_indexedGeneration != generation) {
        m_retweetsByStatusId.clear();
        for (const RTMessageTwitterPtr &message : std::as_const(m_messagesDictionary)) {
            if (message && !message->retweetedStatusId().isEmpty())
                m_retweetsByStatusId[message->retweetedStatusId()].append(message);
        }
        m_indexedGeneration = generation;
    }
    return m_retweetsByStatusId;
}

RTServiceTwitter::MessageList RTServiceTwitter::repeatedMessagesWithId(const QString &id) const
{
    QMutexLocker lock(&m_messagesDictionaryLock);
    MessageList copies;
    if (const RTMessageTwitterPtr message = m_messagesDictionary.value(id))
        copies.append(message);
    copies.append(retweetIndex().value(id));
    return copies;
}

RTServiceTwitter::MessageList RTServiceTwitter::retweetsOfMessageWithId(const QString &id) const
{
    QMutexLocker lock(&m_messagesDictionaryLock);
    return retweetIndex().value(id);
}

RTServiceTwitter::RepeatStores RTServiceTwitter::repeatStores()
{
    RepeatStores where;
    if (RTAccountDirectory::hasShared()) {
        for (QObject *account : RTAccountDirectory::shared().twitterAccounts()) {
            if (auto *store = dynamic_cast<RTTwitterDataSource *>(account))
                where.stores.append(store);
        }
        where.searcher =
            dynamic_cast<RTTwitterDataSource *>(RTAccountDirectory::shared().searcher());
    }
    if (!where.stores.contains(this))
        where.stores.prepend(this);
    return where;
}

QList<RTMessagePtr> RTServiceTwitter::messagesLike(const RTMessage &message)
{
    return messagesLike(message, repeatStores());
}

QList<QList<RTMessagePtr>> RTServiceTwitter::messagesLikeEach(const MessageList &messages)
{
    const RepeatStores where = repeatStores();
    QList<QList<RTMessagePtr>> out;
    out.reserve(messages.size());
    for (const RTMessageTwitterPtr &message : messages)
        out.append(messagesLike(*message, where));
    return out;
}

QList<RTMessagePtr> RTServiceTwitter::messagesLike(const RTMessage &message,
                                                   const RepeatStores &where) const
{
    QList<RTMessagePtr> like;
    auto add = [&](const RTMessagePtr &copy) {
        if (copy && copy.get() != &message && !like.contains(copy))
            like.append(copy);
    };
    const auto *twitterMessage = dynamic_cast<const RTMessageTwitter *>(&message);
    const QString id = message.messageId();
    if (twitterMessage && !twitterMessage->retweetedStatusId().isEmpty()) {
        for (RTTwitterDataSource *store : where.stores)
            add(store->twitterMessageWithId(twitterMessage->retweetedStatusId()));
    }
    for (RTTwitterDataSource *store : where.stores) {
        if (store != this)
            add(store->twitterMessageWithId(id));
    }
    for (RTTwitterDataSource *store : where.stores) {
        for (const RTMessageTwitterPtr &copy : store->retweetsOfMessageWithId(id))
            add(copy);
    }
    if (where.searcher && where.searcher != this)
        add(where.searcher->twitterMessageWithId(id));
    return like;
}

void RTServiceTwitter::updateReferenceMessageIds(int requestType, const MessageList &allMessages)
{
    const bool home = requestType == RTTwitterRequestFriendsTimeline ||
                      requestType == RTTwitterRequestHomeTimeline;
    if (!home && requestType != RTTwitterRequestSentTimeline)
        return;
    // The reference is the oldest message the timeline delivered, older pages included:
    // the nodes show everything from it on, so it only ever moves back.
    quint64 oldest = 0;
    for (const RTMessageTwitterPtr &message : allMessages) {
        bool ok = false;
        const quint64 id = message->messageId().toULongLong(&ok);
        if (ok && id > 0 && (oldest == 0 || id < oldest))
            oldest = id;
    }
    if (oldest == 0)
        return;
    bool storedOk = false;
    const QString stored = home ? homeReferenceMessageId() : sentReferenceMessageId();
    const quint64 current = stored.toULongLong(&storedOk);
    if (storedOk && current > 0 && current <= oldest)
        return;
    const QString id = QString::number(oldest);
    if (home)
        setHomeReferenceMessageId(id);
    else
        setSentReferenceMessageId(id);
    const QString name = QString::fromLatin1(home ? RTHomeReferenceMessageIdNotification
                                                  : RTSentReferenceMessageIdNotification);
    QTimer::singleShot(0, this, [this, name] {
        NotificationCenter::defaultCenter().post(name, static_cast<const void *>(this));
    });
    if (home)
        emit homeContentsChanged();
}

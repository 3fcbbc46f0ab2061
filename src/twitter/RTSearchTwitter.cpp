#include "twitter/RTSearchTwitter.h"

#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTServiceRequests.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterDateParser.h"
#include "twitter/RTTwitterRequestTypes.h"

namespace {
const QString kSearchIdKey = QStringLiteral("searchId");
const QString kSearchNameKey = QStringLiteral("searchName");
const QString kSearchQueryKey = QStringLiteral("searchQuery");
const QString kSinceIdKey = QStringLiteral("sinceId");
const QString kSearchPositionKey = QStringLiteral("searchPosition");
const QString kCreatedAtKey = QStringLiteral("createdAt");

QString text(const JsonValue &v)
{
    return (v.isString() || v.isNumber()) ? v.toString() : QString();
}

QString orNull(const QString &s)
{
    return s.isNull() ? QStringLiteral("(null)") : s;
}

RTSearchTwitter::Queuer &queuer()
{
    static RTSearchTwitter::Queuer q;
    return q;
}

const QString kPollForOlderKey = QStringLiteral("pollForOlderTweets");
const QString kCallingTreeNodeKey = QStringLiteral("callingTreeNode");
} // namespace

void RTSearchTwitter::setQueuer(Queuer q)
{
    queuer() = std::move(q);
}

bool RTSearchTwitter::search()
{
    return searchWithOperationQueue(OperationQueue::ServiceRequests);
}

bool RTSearchTwitter::searchWithOperationQueue(int operationType)
{
    return queueSearch({}, operationType);
}

bool RTSearchTwitter::searchWithOperationQueue(OperationQueue *queue)
{
    if (!queue)
        return search();
    return queueSearch({{QString::fromLatin1(kOperationQueueKey),
                         QVariant::fromValue(static_cast<QObject *>(queue))}},
                       OperationQueue::ServiceRequests);
}

OperationQueue *RTSearchTwitter::queueFromUserInfo(const QVariantMap &userInfo,
                                                   OperationQueue *queue)
{
    auto *own = qobject_cast<OperationQueue *>(
        userInfo.value(QString::fromLatin1(kOperationQueueKey)).value<QObject *>());
    return own ? own : queue;
}

bool RTSearchTwitter::searchWithPollingObject(const QVariant &pollingObject,
                                              const QVariantMap &userInfo)
{
    QVariantMap info = userInfo;
    if (pollingObject.isValid())
        info.insert(QString::fromLatin1(kRTPollingObjectKey), pollingObject);
    return queueSearch(info, OperationQueue::ServiceRequests);
}

bool RTSearchTwitter::searchWithMaxId(const QString &maxId,
                                      const RTRequestDelegatePtr &callingTreeNode)
{
    if (maxId.isEmpty() || m_isPollingForOlderTweets)
        return false;
    m_isPollingForOlderTweets = true;
    const QVariantMap info{{QStringLiteral("max_id"), maxId},
                           {kPollForOlderKey, true},
                           {kCallingTreeNodeKey, QVariant::fromValue(callingTreeNode)}};
    if (!queueSearch(info, OperationQueue::ImmediateRequests)) {
        m_isPollingForOlderTweets = false;
        return false;
    }
    return true;
}

bool RTSearchTwitter::queueSearch(const QVariantMap &userInfo, int operationType)
{
    if (m_searchQuery.trimmed().isEmpty())
        return false;
    QVariantMap info = userInfo;
    info.insert(QStringLiteral("searchObject"), QVariant::fromValue(shared_from_this()));
    if (!m_sinceId.isEmpty() && !info.contains(QStringLiteral("max_id")))
        info.insert(QString::fromLatin1(kRTSinceKey), m_sinceId);
    if (queuer())
        return queuer()(*this, info, operationType);
    if (RTServiceTwitter *account = service()) {
        // The account reports its own refusals (no credentials) in its status line.
        account->queueSearchRequest(shared_from_this(), info, operationType);
        return true;
    }
    return RTServiceRequests::doRequest(RTTwitterRequestSearch, shared_from_this(), {}, info,
                                        operationType,
                                        QStringLiteral("RTRequestOperationTwitter")) != nullptr;
}

void RTSearchTwitter::serviceRequestSuccess(const QVariantMap &result)
{
    const QVariantMap userInfo = result.value(QString::fromLatin1(kRTUserInfoKey)).toMap();
    if (userInfo.contains(kPollForOlderKey))
        m_isPollingForOlderTweets = false;
    const auto operation = std::dynamic_pointer_cast<RTRequestOperationTwitter>(
        result.value(QString::fromLatin1(kRTRequestOperationKey)).value<RTRequestOperationPtr>());
    const bool empty = !operation || operation->allMessages().isEmpty();
    // A page below the newest leaves the since id where it is.
    if (operation && !userInfo.contains(kPollForOlderKey) && !operation->since().isEmpty())
        m_sinceId = operation->since();
    m_lastPoll = Clock::currentDateTime();
    m_isEmpty = empty;
    const auto observers = m_observers;
    for (const auto &[id, observer] : observers)
        observer(result, true);
    if (const auto node = userInfo.value(kCallingTreeNodeKey).value<RTRequestDelegatePtr>())
        node->serviceRequestSuccess(result);
}

void RTSearchTwitter::serviceRequestFailure(const QVariantMap &result)
{
    const QVariantMap userInfo = result.value(QString::fromLatin1(kRTUserInfoKey)).toMap();
    m_isPollingForOlderTweets = false;
    qCWarning(lcTwitter).noquote()
        << "Search failed with dictionary:" << m_searchName
        << result.value(QString::fromLatin1(kRTResponseStatusCodeKey)).toInt();
    const auto observers = m_observers;
    for (const auto &[id, observer] : observers)
        observer(result, false);
    if (const auto node = userInfo.value(kCallingTreeNodeKey).value<RTRequestDelegatePtr>())
        node->serviceRequestFailure(result);
}

OperationQueue *RTSearchTwitter::willAddOperation(RTRequestOperation &operation,
                                                  OperationQueue *queue,
                                                  const QVariantMap &userInfo)
{
    // Asked only for requests without an account; the account does this for its own.
    if (auto *twitter = dynamic_cast<RTRequestOperationTwitter *>(&operation)) {
        const QString since = userInfo.value(QString::fromLatin1(kRTSinceKey)).toString();
        if (!since.isEmpty())
            twitter->setSince(since);
    }
    return queueFromUserInfo(userInfo, queue);
}

int RTSearchTwitter::addAnswerObserver(AnswerObserver observer)
{
    const int id = m_nextObserverId++;
    m_observers.emplace(id, std::move(observer));
    return id;
}

void RTSearchTwitter::removeAnswerObserver(int id)
{
    m_observers.erase(id);
}

RTSearchTwitterPtr RTSearchTwitter::searchWithTerm(const QString &term)
{
    const QString trimmed = term.trimmed();
    if (trimmed.isEmpty())
        return nullptr;
    auto search = std::make_shared<RTSearchTwitter>();
    search->setSearchName(trimmed);
    search->setSearchQuery(trimmed);
    return search;
}

RTSearchTwitterPtr RTSearchTwitter::searchWithDictionary(const JsonValue &record,
                                                         RTServiceTwitter *service,
                                                         const RTTwitterDateParser &dates)
{
    if (!record.isObject())
        return nullptr;
    auto search = std::make_shared<RTSearchTwitter>();
    search->setSearchId(text(record["id"]));
    search->setSearchName(text(record["name"]));
    search->setSearchQuery(text(record["query"]));
    const JsonValue position = record["position"];
    search->setSearchPosition(position.isString() ? position.toString().toLongLong()
                                                  : position.toInt64());
    search->setCreatedAt(dates.dateFromString(record["created_at"].toString()));
    search->setService(service);
    return search;
}

QList<RTSearchTwitterPtr> RTSearchTwitter::parseSavedSearchesList(const JsonValue &body,
                                                                  RTServiceTwitter *service)
{
    QList<RTSearchTwitterPtr> searches;
    const RTTwitterDateParser dates;
    for (const JsonValue &record : body) {
        if (RTSearchTwitterPtr search = searchWithDictionary(record, service, dates))
            searches.append(search);
    }
    return searches;
}

RTSearchTwitterPtr RTSearchTwitter::parseSearch(const JsonValue &body, int requestType,
                                                RTServiceTwitter *service,
                                                const RTSearchTwitter *sent)
{
    RTSearchTwitterPtr search = searchWithDictionary(body, service, RTTwitterDateParser());
    if (search && sent && requestType == RTTwitterRequestCreateSavedSearch)
        search->setSinceId(sent->sinceId());
    return search;
}

RTServiceTwitter *RTSearchTwitter::service() const
{
    return qobject_cast<RTServiceTwitter *>(m_service.data());
}

void RTSearchTwitter::setService(RTServiceTwitter *service)
{
    m_service = service;
}

void RTSearchTwitter::addMessagesToMessagesSet(const QList<RTMessagePtr> &messages)
{
    QMutexLocker lock(&m_messagesLock);
    for (const RTMessagePtr &message : messages) {
        if (message)
            m_messagesSet.insert(message->messageId(), message);
    }
}

QHash<QString, RTMessagePtr> RTSearchTwitter::messagesSet() const
{
    QMutexLocker lock(&m_messagesLock);
    return m_messagesSet;
}

QString RTSearchTwitter::description() const
{
    return QStringLiteral("%1\nsearchId: %2\nsearchName: %3\nsearchQuery: %4\nsinceId: "
                          "%5\nsearchPosition: %6\ncreatedAt: %7\n")
        .arg(QString::asprintf("%p", static_cast<const void *>(this)), orNull(m_searchId),
             orNull(m_searchName), orNull(m_searchQuery), orNull(m_sinceId),
             QString::number(m_searchPosition),
             m_createdAt.isValid() ? m_createdAt.toString(Qt::ISODate) : QStringLiteral("(null)"));
}

QString RTSearchTwitter::archiveClassName() const
{
    return QStringLiteral("RTSearchTwitter");
}

void RTSearchTwitter::encodeWithCoder(KeyedArchiver &coder) const
{
    coder.encodeString(kSearchIdKey, m_searchId);
    coder.encodeString(kSearchNameKey, m_searchName);
    coder.encodeString(kSearchQueryKey, m_searchQuery);
    coder.encodeString(kSinceIdKey, m_sinceId);
    coder.encodeInt(kSearchPositionKey, m_searchPosition);
    coder.encodeVariant(kCreatedAtKey, m_createdAt.isValid() ? QVariant(m_createdAt) : QVariant());
}

void RTSearchTwitter::decodeWithCoder(const KeyedUnarchiver &coder)
{
    m_searchId = coder.decodeString(kSearchIdKey, m_searchId);
    m_searchName = coder.decodeString(kSearchNameKey, m_searchName);
    m_searchQuery = coder.decodeString(kSearchQueryKey, m_searchQuery);
    m_sinceId = coder.decodeString(kSinceIdKey, m_sinceId);
    m_searchPosition = coder.decodeInt(kSearchPositionKey, m_searchPosition);
    const QVariant created = coder.decodeVariant(kCreatedAtKey);
    if (created.metaType().id() == QMetaType::QDateTime)
        m_createdAt = created.toDateTime();
    else if (created.isValid())
        coder.fail(QStringLiteral("'%1' is not a date").arg(kCreatedAtKey));
}

#pragma once

#include "foundation/KeyedArchive.h"
#include "model/RTMessage.h"
#include "network/RTRequestOperation.h"
#include "twitter/RTRequestOperationTwitter.h"
#include "json/JsonValue.h"

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>

class RTServiceTwitter;
class RTSearchTwitter;
class RTTwitterDateParser;
using RTSearchTwitterPtr = std::shared_ptr<RTSearchTwitter>;

// A saved search of an account, or a temporary search typed into the search field (no
// account, no searchId). Archived with its account. It is the delegate of its own
// requests: the answers move its since id and tell the nodes showing it.
class RTSearchTwitter : public RTArchivable,
                        public RTRequestDelegate,
                        public RTTwitterSearchRequester,
                        public std::enable_shared_from_this<RTSearchTwitter>
{
public:
    // Told every answer of the search on the main thread (result, success).
    using AnswerObserver = std::function<void(const QVariantMap &, bool)>;

    RTSearchTwitter() = default;

    // A temporary search for the trimmed text; nullptr when nothing is left.
    [[nodiscard]] static RTSearchTwitterPtr searchWithTerm(const QString &term);
    // A saved search record ("id", "name", "query", "position", "created_at").
    [[nodiscard]] static RTSearchTwitterPtr searchWithDictionary(const JsonValue &record,
                                                                 RTServiceTwitter *service,
                                                                 const RTTwitterDateParser &dates);
    // The answer of the saved-searches list: the records that make a search.
    [[nodiscard]] static QList<RTSearchTwitterPtr>
    parseSavedSearchesList(const JsonValue &body, RTServiceTwitter *service);
    // The answer of show, create and destroy: one record. A create keeps the since id of
    // the search that was sent.
    [[nodiscard]] static RTSearchTwitterPtr parseSearch(const JsonValue &body, int requestType,
                                                        RTServiceTwitter *service,
                                                        const RTSearchTwitter *sent);

    [[nodiscard]] QString searchId() const { return m_searchId; }
    void setSearchId(const QString &id) { m_searchId = id; }
    [[nodiscard]] QString searchName() const { return m_searchName; }
    void setSearchName(const QString &name) { m_searchName = name; }
    [[nodiscard]] QString searchQuery() const override { return m_searchQuery; }
    void setSearchQuery(const QString &query) { m_searchQuery = query; }
    [[nodiscard]] QString sinceId() const { return m_sinceId; }
    void setSinceId(const QString &id) { m_sinceId = id; }
    [[nodiscard]] qint64 searchPosition() const { return m_searchPosition; }
    void setSearchPosition(qint64 position) { m_searchPosition = position; }
    [[nodiscard]] QDateTime createdAt() const { return m_createdAt; }
    void setCreatedAt(const QDateTime &date) { m_createdAt = date; }
    [[nodiscard]] QDateTime lastPoll() const { return m_lastPoll; }
    void setLastPoll(const QDateTime &date) { m_lastPoll = date; }
    [[nodiscard]] RTServiceTwitter *service() const;
    void setService(RTServiceTwitter *service);
    [[nodiscard]] bool isPollingForOlderTweets() const { return m_isPollingForOlderTweets; }
    void setIsPollingForOlderTweets(bool on) { m_isPollingForOlderTweets = on; }
    [[nodiscard]] bool isEmpty() const { return m_isEmpty; }
    void setIsEmpty(bool empty) { m_isEmpty = empty; }

    // Running the search: on the service-request queue now, from a poll, or one page
    // below maxId (once at a time). With an account the request is the account's; a
    // temporary search runs without one and its results go to the shared searcher.
    // Each returns whether a request was queued.
    bool search();
    bool searchWithOperationQueue(int operationType);
    // On a queue of the caller's (the searcher's own), which must outlive the request.
    bool searchWithOperationQueue(OperationQueue *queue);
    // The userInfo key that carries such a queue to willAddOperation().
    static constexpr const char *kOperationQueueKey = "searchesOperationQueue";
    // The queue carried in userInfo, else queue.
    [[nodiscard]] static OperationQueue *queueFromUserInfo(const QVariantMap &userInfo,
                                                           OperationQueue *queue);
    bool searchWithPollingObject(const QVariant &pollingObject, const QVariantMap &userInfo);
    bool searchWithMaxId(const QString &maxId, const RTRequestDelegatePtr &callingTreeNode);
    void serviceRequestSuccess(const QVariantMap &result) override;
    void serviceRequestFailure(const QVariantMap &result) override;
    OperationQueue *willAddOperation(RTRequestOperation &operation, OperationQueue *queue,
                                     const QVariantMap &userInfo) override;
    int addAnswerObserver(AnswerObserver observer);
    void removeAnswerObserver(int id);
    // Replaces how requests are queued (tests); nullptr restores the real queues.
    using Queuer = std::function<bool(RTSearchTwitter &, const QVariantMap &, int)>;
    static void setQueuer(Queuer queuer);

    // Every message the search delivered, by id. Added to from request workers.
    void addMessagesToMessagesSet(const QList<RTMessagePtr> &messages);
    [[nodiscard]] QHash<QString, RTMessagePtr> messagesSet() const;

    // The identity of its section in the pop-up hosts.
    [[nodiscard]] QString identificationString() const { return m_searchName.toLower(); }
    [[nodiscard]] static QString image() { return QStringLiteral("node_search"); }
    [[nodiscard]] QString description() const;

    [[nodiscard]] QString archiveClassName() const override;
    void encodeWithCoder(KeyedArchiver &coder) const override;
    void decodeWithCoder(const KeyedUnarchiver &coder) override;

private:
    bool queueSearch(const QVariantMap &userInfo, int operationType);

    QString m_searchId;
    QString m_searchName;
    QString m_searchQuery;
    QString m_sinceId;
    qint64 m_searchPosition = 0;
    QDateTime m_createdAt;
    QDateTime m_lastPoll;
    QPointer<QObject> m_service;
    bool m_isPollingForOlderTweets = false;
    bool m_isEmpty = false;
    mutable QMutex m_messagesLock;
    QHash<QString, RTMessagePtr> m_messagesSet; // under m_messagesLock
    std::map<int, AnswerObserver> m_observers;
    int m_nextObserverId = 1;
};

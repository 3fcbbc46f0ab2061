#pragma once

#include "foundation/KeyedArchive.h"
#include "model/RTMessage.h"
#include "json/JsonValue.h"

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QPointer>
#include <memory>

class RTServiceTwitter;
class RTSearchTwitter;
class RTTwitterDateParser;
using RTSearchTwitterPtr = std::shared_ptr<RTSearchTwitter>;

// A saved search of an account, or a temporary search typed into the search field (no
// account, no searchId). Archived with its account.
class RTSearchTwitter : public RTArchivable
{
public:
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
    [[nodiscard]] QString searchQuery() const { return m_searchQuery; }
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
};

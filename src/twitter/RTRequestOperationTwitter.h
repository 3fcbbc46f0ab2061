#pragma once

#include "model/RTMessageTwitter.h"
#include "model/RTUserTwitter.h"
#include "network/OAuthClock.h"
#include "network/RTRequestOperation.h"
#include "twitter/RTTwitterDataSource.h"
#include "twitter/RTTwitterRequestTypes.h"
#include "json/JsonValue.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <functional>
#include <memory>

class RTRequestOperationTwitter;

// A saved or temporary search that asks for results (request type 35). The request
// reads the query from its delegate; the answer's statuses go to the search.
class RTTwitterSearchRequester
{
public:
    virtual ~RTTwitterSearchRequester() = default;
    [[nodiscard]] virtual QString searchQuery() const = 0;
};

// How one HTTP answer of Twitter was judged: the failure text (null for success) and the
// diagnostic line written to the log.
struct RTTwitterJudgement
{
    QString failureText;
    QString logLine;
};

// One call of the Twitter REST or search API, identified by its request type.
class RTRequestOperationTwitter : public RTRequestOperation, public OAuthTimestampTracker
{
public:
    static constexpr qint32 kDefaultMaxMessageCount = 200;
    static constexpr qint32 kDefaultMaxListsMessageCount = 100;

    RTRequestOperationTwitter();
    ~RTRequestOperationTwitter() override;

    // Registers the class with the request factory; safe to call more than once.
    static void registerClass();

    // "Home", "Mentions", ... for status lines and sounds; "--" for the rest.
    [[nodiscard]] static QString stringFromRequestType(qint32 requestType);

    // --- fields -----------------------------------------------------------------------
    [[nodiscard]] QString since() const { return m_since; }
    void setSince(const QString &since) { m_since = since; }
    [[nodiscard]] qint32 maxMessageCount() const { return m_maxMessageCount; }
    void setMaxMessageCount(qint32 count) { m_maxMessageCount = count; }
    [[nodiscard]] qint32 maxListsMessageCount() const { return m_maxListsMessageCount; }
    void setMaxListsMessageCount(qint32 count) { m_maxListsMessageCount = count; }
    // Where the answer's statuses and users merge: the account, or the shared searcher
    // for calls without one.
    [[nodiscard]] std::shared_ptr<RTTwitterDataSource> dataSource() const;
    // The store of answers that belong to no account; installed with the searcher.
    static void setSharedSearcher(std::shared_ptr<RTTwitterDataSource> searcher);
    // The account user's screen name, taken on the main thread when the request is
    // queued, so the worker need not read the account's user.
    [[nodiscard]] QString accountScreenName() const { return m_mappingContext.myScreenName; }
    // What the mapping of the answer needs of the account, taken when it is queued.
    [[nodiscard]] const RTTwitterMappingContext &mappingContext() const { return m_mappingContext; }
    void setMappingContext(const RTTwitterMappingContext &context)
    {
        m_mappingContext = context;
        m_hasMappingContext = true;
    }
    // Users and messages of the answer, as the mapping left them.
    [[nodiscard]] QList<RTUserTwitterPtr> newUsers() const { return m_newUsers; }
    [[nodiscard]] QList<RTUserTwitterPtr> allUsers() const { return m_allUsers; }
    void setUsers(const QList<RTUserTwitterPtr> &newUsers, const QList<RTUserTwitterPtr> &all);
    [[nodiscard]] QList<RTMessageTwitterPtr> newMessages() const { return m_newMessages; }
    [[nodiscard]] QList<RTMessageTwitterPtr> allMessages() const { return m_allMessages; }
    void setMessages(const QList<RTMessageTwitterPtr> &newMessages,
                     const QList<RTMessageTwitterPtr> &all);

    // --- template operations (public so the table can be checked on its own) ----------
    bool urlInformationForRequestType(qint32 requestType, RTUrlInformation &info) override;
    QString errorStringForHTTPResponseStatusCode(int statusCode, const QString &serviceName,
                                                 HttpRequest &request) override;
    QVariant internvalErrorCodeForHTTPResponseStatusCode(int statusCode, const QString &serviceName,
                                                         HttpRequest &request) override;
    QVariant objCResponseFromString(const QString &responseString) override;
    QString failureStringFromServerWithObjCResponse(const QVariant &response) override;
    bool dealWithResponse(const QVariant &response, QVariantMap &result,
                          HttpRequest &request) override;
    void requestWillCancelLoad(HttpRequest *request) override;

    // The judging of an answer, apart from the request: status, rate-limit headers
    // (null when absent), whether the answer corrected the clock, the engine's error
    // text and details, the method, and the body (for the server's own error text).
    [[nodiscard]] static RTTwitterJudgement
    judgeResponse(int statusCode, const QString &serviceName, const QString &rateLimitLimit,
                  const QString &rateLimitRemaining, bool clockChanged, const QString &errorText,
                  const QString &errorInfo, const QString &httpMethod, const QByteArray &body);
    // 1 when the remaining allowance is missing or 0, else 2 for a single status, else 3.
    [[nodiscard]] static int internalErrorCode(const QString &rateLimitRemaining,
                                               qint32 requestType);
    // The result handling of an already parsed body, without the request.
    bool dealWithParsedResponse(const QVariant &response, QVariantMap &result);

    // The search query escaped for the URL as a form value: only letters, digits and
    // "-._" stay as they are.
    [[nodiscard]] static QString escapeSearchQuery(const QString &query);

private:
    [[nodiscard]] QString countPart() const;
    [[nodiscard]] QString pagePart() const;
    void parseMessages(const QList<JsonValue> &statuses);
    void handleStatuses(const QList<JsonValue> &statuses, const char *ownerKey);
    void tellTreeNodes(qint32 change);
    void mergeUserRecords(const JsonValue &body);
    void dropUsersFromHome();

    QString m_since;
    RTTwitterMappingContext m_mappingContext;
    bool m_hasMappingContext = false;
    qint32 m_maxMessageCount = kDefaultMaxMessageCount;
    qint32 m_maxListsMessageCount = kDefaultMaxListsMessageCount;
    QList<RTUserTwitterPtr> m_newUsers;
    QList<RTUserTwitterPtr> m_allUsers;
    QList<RTMessageTwitterPtr> m_newMessages;
    QList<RTMessageTwitterPtr> m_allMessages;
};

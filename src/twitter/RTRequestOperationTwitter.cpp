#include "twitter/RTRequestOperationTwitter.h"

#include "foundation/Clock.h"
#include "foundation/HostProfile.h"
#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "http/FormDataRequest.h"
#include "http/HttpRequest.h"
#include "network/RTServiceRequests.h"
#include "network/RTXAuthExchange.h"
#include "twitter/RTListTwitter.h"
#include "twitter/RTSearchTwitter.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTreeNodeManagerInterface.h"
#include "twitter/RTTrendObject.h"
#include "twitter/RTTwitterResponseMapper.h"
#include "json/Json.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSet>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

QString userInfoKey(const char *name)
{
    return QString::fromLatin1(name);
}

// Scheme and host[:port][/prefix] of a profile entry; the table's scheme when the
// profile has none. An unnamed service gives an empty host, which fails to connect
// instead of reaching a real host by accident.
void applyHost(RTUrlInformation &info, const char *service)
{
    const HostProfile &profile = HostProfile::current();
    QUrl base = profile.baseUrl(QString::fromLatin1(service));
    if (!base.isValid() && qstrcmp(service, "twitter-oauth") == 0)
        base = profile.baseUrl(QStringLiteral("twitter-api"));
    if (!base.isValid() || base.host().isEmpty()) {
        info.hostString = QStringLiteral("");
        return;
    }
    if (!base.scheme().isEmpty())
        info.httpProtocol = base.scheme();
    QString host = base.host();
    if (base.port() != -1)
        host += QLatin1Char(':') + QString::number(base.port());
    QString prefix = base.path();
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    info.hostString = host + prefix;
}

QString screenNameOf(const QVariant &user)
{
    if (const auto twitterUser = user.value<RTUserTwitterPtr>())
        return twitterUser->screenName();
    return {};
}

// The elements of an array answer; anything else holds no statuses.
QList<JsonValue> elementsOf(const JsonValue &array)
{
    QList<JsonValue> elements;
    if (!array.isArray())
        return elements;
    elements.reserve(array.size());
    for (const JsonValue &element : array)
        elements.append(element);
    return elements;
}

QMutex g_searcherLock;
std::shared_ptr<RTTwitterDataSource> g_searcher; // under g_searcherLock

} // namespace

// --- operation -----------------------------------------------------------------------

RTRequestOperationTwitter::RTRequestOperationTwitter() = default;

RTRequestOperationTwitter::~RTRequestOperationTwitter() = default;

void RTRequestOperationTwitter::registerClass()
{
    RTServiceRequests::registerRequestOperationClass(
        QStringLiteral("RTRequestOperationTwitter"),
        [] { return std::make_shared<RTRequestOperationTwitter>(); });
}

QString RTRequestOperationTwitter::stringFromRequestType(qint32 requestType)
{
    switch (requestType) {
    case RTTwitterRequestFriendsTimeline:
    case RTTwitterRequestHomeTimeline:
        return localizedString("##RTServiceTwitter:0##");
    case RTTwitterRequestMentions:
        return localizedString("##RTServiceTwitter:1##");
    case RTTwitterRequestFavorites:
        return localizedString("##RTServiceTwitter:2##");
    case RTTwitterRequestSentTimeline:
        return localizedString("##RTServiceTwitter:3##");
    case RTTwitterRequestDirectOutbox:
        return localizedString("##RTServiceTwitter:4##");
    case RTTwitterRequestDirectInbox:
        return localizedString("##RTServiceTwitter:5##");
    case RTTwitterRequestListStatuses:
        return localizedString("##RTServiceTwitter:6##");
    case RTTwitterRequestRetweetedToMe:
        return localizedString("##RTServiceTwitter:7##");
    case RTTwitterRequestRetweetedByMe:
        return localizedString("##RTServiceTwitter:8##");
    case RTTwitterRequestUserTimeline:
        return QStringLiteral("");
    default:
        return localizedString("##RTServiceTwitter:9##");
    }
}

void RTRequestOperationTwitter::setUsers(const QList<RTUserTwitterPtr> &newUsers,
                                         const QList<RTUserTwitterPtr> &all)
{
    m_newUsers = newUsers;
    m_allUsers = all;
}

void RTRequestOperationTwitter::setMessages(const QList<RTMessageTwitterPtr> &newMessages,
                                            const QList<RTMessageTwitterPtr> &all)
{
    m_newMessages = newMessages;
    m_allMessages = all;
}

QString RTRequestOperationTwitter::countPart() const
{
    const QVariantMap info = userInfo();
    const QVariant count = info.value(userInfoKey("count"));
    return QStringLiteral("count=%1").arg(count.isValid() ? count.toInt() : m_maxMessageCount);
}

QString RTRequestOperationTwitter::pagePart() const
{
    const QVariantMap info = userInfo();
    const QVariant maxId = info.value(userInfoKey("max_id"));
    if (maxId.isValid())
        return QStringLiteral("max_id=%1").arg(maxId.toString());
    if (!m_since.isEmpty())
        return QStringLiteral("since=%1").arg(m_since);
    return {};
}

QString RTRequestOperationTwitter::escapeSearchQuery(const QString &query)
{
    // As a form value: servers read an unescaped "+" as a space ("c++" would find "c"),
    // and "&%[]/#?" would split or end the query.
    return QString::fromLatin1(FormDataRequest::encodeFormComponent(query));
}

bool RTRequestOperationTwitter::urlInformationForRequestType(qint32 requestType,
                                                             RTUrlInformation &info)
{
    const QVariantMap ui = userInfo();
    const RTServicePtr account = service();
    const auto twitter = std::dynamic_pointer_cast<RTServiceTwitter>(account);
    auto messageIdOf = [&](const char *name) {
        const QVariant value = ui.value(userInfoKey(name));
        if (const auto message = value.value<RTMessageTwitterPtr>())
            return message->messageId();
        if (const auto message = value.value<RTMessagePtr>())
            return message->messageId();
        return value.toString();
    };
    auto countAndPage = [&] {
        const QString page = pagePart();
        return page.isEmpty() ? QStringLiteral("?%1").arg(countPart())
                              : QStringLiteral("?%1&%2").arg(countPart(), page);
    };
    auto myScreenName = [&] {
        if (!m_mappingContext.myScreenName.isEmpty())
            return m_mappingContext.myScreenName;
        const RTUserTwitterPtr me = twitter ? twitter->myself() : nullptr;
        if (me && !me->screenName().isEmpty())
            return me->screenName();
        return account ? account->serviceId() : QString();
    };

    info.httpProtocol = QStringLiteral("https");
    info.authentificationMethod = AuthentificationOAuth;
    info.format = QStringLiteral(".json");
    applyHost(info, "twitter-api");

    auto get = [&](const char *path, const QString &arguments = QStringLiteral("")) {
        info.httpMethod = QStringLiteral("GET");
        info.path = QString::fromLatin1(path);
        info.arguments = arguments;
    };
    auto post = [&](const QString &path, const QString &arguments = QStringLiteral("")) {
        info.httpMethod = QStringLiteral("POST");
        info.path = path;
        info.arguments = arguments;
    };
    auto withId = [](const char *pattern, const QString &id) {
        return QString::fromLatin1(pattern).arg(id);
    };

    switch (requestType) {
    case RTTwitterRequestFriendsTimeline:
        get("/1/statuses/friends_timeline", countAndPage());
        break;
    case RTTwitterRequestUserTimeline:
    case RTTwitterRequestSentTimeline:
        get("/1/statuses/user_timeline", countAndPage());
        break;
    case RTTwitterRequestMentions:
        get("/1/statuses/mentions", countAndPage());
        break;
    case RTTwitterRequestShowStatus:
        get("");
        info.path = withId("/1/statuses/show/%1", ui.value(userInfoKey("messageId")).toString());
        break;
    case RTTwitterRequestUpdateStatus:
        post(QStringLiteral("/1/statuses/update"), QStringLiteral("?source=Talvo"));
        break;
    case RTTwitterRequestDestroyStatus:
        post(withId("/1/statuses/destroy/%1", messageIdOf("message")));
        break;
    case RTTwitterRequestFavorites:
        // Favourites never page and always ask for the default count.
        get("/1/favorites", QStringLiteral("?count=%1").arg(m_maxMessageCount));
        break;
    case RTTwitterRequestCreateFavorite:
        post(withId("/1/favorites/create/%1", ui.value(userInfoKey("messageId")).toString()));
        break;
    case RTTwitterRequestDestroyFavorite:
        post(withId("/1/favorites/destroy/%1", ui.value(userInfoKey("messageId")).toString()));
        break;
    case RTTwitterRequestDirectInbox:
        get("/1/direct_messages", countAndPage());
        break;
    case RTTwitterRequestDirectOutbox:
        get("/1/direct_messages/sent", countAndPage());
        break;
    case RTTwitterRequestNewDirectMessage:
        post(QStringLiteral("/1/direct_messages/new"), QStringLiteral("?source=Talvo"));
        break;
    case RTTwitterRequestDestroyDirectMessage:
        post(withId("/1/direct_messages/destroy/%1", messageIdOf("message")));
        break;
    case RTTwitterRequestCreateFriendship:
        post(QStringLiteral("/1/friendships/create"));
        break;
    case RTTwitterRequestDestroyFriendship:
        post(QStringLiteral("/1/friendships/destroy"));
        break;
    case RTTwitterRequestFollowers:
        get("/1/statuses/followers");
        break;
    case RTTwitterRequestFriends:
        get("/1/statuses/friends");
        break;
    case RTTwitterRequestFriendshipExists: {
        QString other = screenNameOf(ui.value(userInfoKey("user_data")));
        if (other.isEmpty())
            other = ui.value(userInfoKey("screenName")).toString();
        get("/1/friendships/exists",
            QStringLiteral("?user_a=%1&user_b=%2").arg(myScreenName(), other));
        break;
    }
    case RTTwitterRequestFriendIds:
        get("/1/friends/ids");
        break;
    case RTTwitterRequestFollowerIds:
        get("/1/followers/ids", QStringLiteral("?%1").arg(countPart()));
        break;
    case RTTwitterRequestFriendshipShow:
        get("/1/friendships/show",
            QStringLiteral("?source_screen_name=%1&target_screen_name=%2")
                .arg(myScreenName(), screenNameOf(ui.value(userInfoKey("user_data")))));
        break;
    case RTTwitterRequestUserShow:
    case RTTwitterRequestMyUserShow:
        get("/1/users/show",
            QStringLiteral("?screen_name=%1").arg(ui.value(userInfoKey("screenName")).toString()));
        break;
    case RTTwitterRequestUpdateProfileImage:
        post(QStringLiteral("/1/account/update_profile_image"));
        break;
    case RTTwitterRequestUpdateProfile:
        get("/1/account/update_profile");
        break;
    case RTTwitterRequestNotificationsFollow:
        get("/1/notifications/follow");
        break;
    case RTTwitterRequestNotificationsLeave:
        get("/1/notifications/leave");
        break;
    case RTTwitterRequestCreateBlock:
        post(QStringLiteral("/1/blocks/create"));
        break;
    case RTTwitterRequestDestroyBlock:
        post(QStringLiteral("/1/blocks/destroy"));
        break;
    case RTTwitterRequestBlockExists:
        get("/1/blocks/exists");
        break;
    case RTTwitterRequestBlocking:
        get("/1/blocks/blocking");
        break;
    case RTTwitterRequestBlockIds:
        get("/1/blocks/ids");
        break;
    case RTTwitterRequestReportSpam:
        post(QStringLiteral("/1/report_spam"));
        break;
    case RTTwitterRequestSearch: {
        info.httpProtocol = QStringLiteral("http");
        info.authentificationMethod = AuthentificationNone;
        applyHost(info, "twitter-search");
        const auto *requester = dynamic_cast<const RTTwitterSearchRequester *>(delegate().get());
        const auto search = ui.value(userInfoKey("searchObject")).value<RTSearchTwitterPtr>();
        const QString query = escapeSearchQuery(requester ? requester->searchQuery()
                                                : search  ? search->searchQuery()
                                                          : QString());
        const QString page = pagePart();
        get("/search", page.isEmpty()
                           ? QStringLiteral("?q=%1&rpp=100&show_user=true").arg(query)
                           : QStringLiteral("?q=%1&%2&show_user=true&rpp=100").arg(query, page));
        // The query is escaped already; a second pass would escape its "%".
        setShouldScape(false);
        break;
    }
    case RTTwitterRequestSavedSearches:
        get("/1/saved_searches");
        break;
    case RTTwitterRequestShowSavedSearch:
        get("/1/saved_searches/show");
        break;
    case RTTwitterRequestCreateSavedSearch:
        post(QStringLiteral("/1/saved_searches/create"));
        break;
    case RTTwitterRequestDestroySavedSearch:
        post(withId("/1/saved_searches/destroy/%1", ui.value(userInfoKey("searchId")).toString()));
        break;
    case RTTwitterRequestUserLists:
        get("");
        info.path = withId("/1/%1/lists", account ? account->serviceId() : QString());
        break;
    case RTTwitterRequestListSubscriptions:
        get("");
        info.path = withId("/1/%1/lists/subscriptions", account ? account->serviceId() : QString());
        break;
    case RTTwitterRequestListStatuses: {
        const auto list = ui.value(userInfoKey("listObject")).value<RTListTwitterPtr>();
        const QString page = pagePart();
        get("", page.isEmpty()
                    ? QStringLiteral("?per_page=%1").arg(m_maxListsMessageCount)
                    : QStringLiteral("?per_page=%1&%2").arg(m_maxListsMessageCount).arg(page));
        info.path = QStringLiteral("/1/%1/lists/%2/statuses")
                        .arg(list && list->user() ? list->user()->screenName() : QString(),
                             list ? list->listId() : QString());
        break;
    }
    case RTTwitterRequestRetweet:
        post(withId("/1/statuses/retweet/%1", messageIdOf("message")));
        break;
    case RTTwitterRequestRetweetedByMe:
        get("/1/statuses/retweeted_by_me", countAndPage());
        break;
    case RTTwitterRequestRetweetedToMe:
        get("/1/statuses/retweeted_to_me", QStringLiteral("?%1").arg(countPart()));
        break;
    case RTTwitterRequestRetweetsOfMe:
        get("/1/statuses/retweets_of_me", QStringLiteral("?%1").arg(countPart()));
        break;
    case RTTwitterRequestReserved53:
        info = RTUrlInformation();
        break;
    case RTTwitterRequestTrends:
        info.httpProtocol = QStringLiteral("http");
        info.authentificationMethod = AuthentificationNone;
        applyHost(info, "twitter-api");
        get("/1/trends");
        break;
    case RTTwitterRequestHomeTimeline:
        get("/1/statuses/home_timeline", countAndPage());
        break;
    case RTTwitterRequestAccessToken: {
        RTUrlInformation token;
        applyHost(token, "twitter-oauth");
        RTXAuthExchange::fillUrlInformation(info, token.hostString);
        if (token.httpProtocol != QLatin1String("http"))
            info.httpProtocol = token.httpProtocol;
        break;
    }
    default:
        return false;
    }
    return true;
}

// --- judging -------------------------------------------------------------------------

RTTwitterJudgement RTRequestOperationTwitter::judgeResponse(
    int statusCode, const QString &serviceName, const QString &rateLimitLimit,
    const QString &rateLimitRemaining, bool clockChanged, const QString &errorText,
    const QString &errorInfo, const QString &httpMethod, const QByteArray &body)
{
    RTTwitterJudgement judgement;
    QString line = QStringLiteral("[%1] HTTP %2: ")
                       .arg(serviceName.isNull() ? QStringLiteral("NO SERVICE") : serviceName)
                       .arg(statusCode, 3, 10, QLatin1Char('0'));
    QString &failure = judgement.failureText;
    switch (statusCode) {
    case 200:
        line += !rateLimitLimit.isNull() && !rateLimitRemaining.isNull()
                    ? QStringLiteral("OK [API:%1/%2]").arg(rateLimitRemaining, rateLimitLimit)
                    : QStringLiteral("OK");
        break;
    case 301:
    case 302:
    case 303:
        line += QStringLiteral("Redirected");
        failure = QStringLiteral("Unable to Connect to Twitter (30x)");
        break;
    case 304:
        line += QStringLiteral("Not Modified");
        failure = QStringLiteral("No Changes on Twitter (304)");
        break;
    case 400:
        line += QStringLiteral("Rate Limited (API:%1/%2)").arg(rateLimitRemaining, rateLimitLimit);
        failure = QStringLiteral("Rate Limited by Twitter");
        break;
    case 401:
        line += QStringLiteral("Auth Failure");
        failure = clockChanged ? QStringLiteral("Wrong System Time")
                               : QStringLiteral("Could not Authenticate with Twitter");
        break;
    case 403:
        line += QStringLiteral("Update Limited");
        failure = QStringLiteral("Rate Limited by Twitter");
        break;
    case 404:
        line += QStringLiteral("Not Found");
        failure = QStringLiteral("Twitter Server Error (404)");
        break;
    case 406:
        line += QStringLiteral("Not Acceptable");
        failure = QStringLiteral("Twitter Didn't Like this Request (406)");
        break;
    case 500:
        line += QStringLiteral("Internal Server Error");
        failure = QStringLiteral("Twitter Fail Whale (500)");
        break;
    case 502:
        line += QStringLiteral("Bad Gateway");
        failure = QStringLiteral("Twitter Fail Whale (502)");
        break;
    case 503:
        line += QStringLiteral("Service Unavailable");
        failure = QStringLiteral("Twitter Fail Whale (503)");
        break;
    default:
        line += QStringLiteral("Can't Connect to Twitter");
        line += QStringLiteral("\nERROR: %1").arg(errorText);
        line += QStringLiteral("\nMORE INFO: %1").arg(errorInfo);
        failure = QStringLiteral("Can't Connect to Twitter");
        break;
    }
    if (!failure.isNull()) {
        line += QStringLiteral("\nHTTP METHOD IN REQUEST: %1").arg(httpMethod);
        // Error answers are short; a large body is not worth parsing for a log line.
        constexpr qsizetype kMaxErrorBody = 64 * 1024;
        if (!body.isEmpty() && body.size() <= kMaxErrorBody) {
            Json reader;
            const JsonValue parsed = reader.fragmentWithString(body);
            if (parsed.isObject()) {
                line += QStringLiteral("\nError = %1").arg(parsed.value("error").toString());
                line += QStringLiteral("\nRequest = %1").arg(parsed.value("request").toString());
            }
        }
    }
    judgement.logLine = line;
    return judgement;
}

QString RTRequestOperationTwitter::errorStringForHTTPResponseStatusCode(int statusCode,
                                                                        const QString &serviceName,
                                                                        HttpRequest &request)
{
    const QString limit = request.responseHeader(QStringLiteral("X-Ratelimit-Limit"));
    const QString remaining = request.responseHeader(QStringLiteral("X-Ratelimit-Remaining"));
    const bool clockChanged = updateTimestampWithRequest(request);
    const HttpError error = request.error();
    const QString info =
        error.isNull() ? QString()
                       : QStringLiteral("%1 code %2").arg(error.domain()).arg(error.codeValue());
    const RTTwitterJudgement judgement = judgeResponse(
        statusCode, serviceName, limit.isEmpty() ? QString() : limit,
        remaining.isEmpty() ? QString() : remaining, clockChanged, error.localizedDescription(),
        info, request.requestMethod(), request.responseData());
    // The status line for everyone; the request's details only when debugging.
    const qsizetype firstBreak = judgement.logLine.indexOf(QLatin1Char('\n'));
    qCInfo(lcTwitter).noquote() << judgement.logLine.left(firstBreak);
    if (firstBreak >= 0)
        qCDebug(lcTwitter).noquote() << judgement.logLine.mid(firstBreak + 1);
    return judgement.failureText;
}

int RTRequestOperationTwitter::internalErrorCode(const QString &rateLimitRemaining,
                                                 qint32 requestType)
{
    bool ok = false;
    const qint64 remaining = rateLimitRemaining.trimmed().toLongLong(&ok);
    if (!ok || remaining == 0)
        return 1;
    return requestType == RTTwitterRequestShowStatus ? 2 : 3;
}

QVariant
RTRequestOperationTwitter::internvalErrorCodeForHTTPResponseStatusCode(int, const QString &,
                                                                       HttpRequest &request)
{
    return internalErrorCode(request.responseHeader(QStringLiteral("X-Ratelimit-Remaining")),
                             requestType());
}

QVariant RTRequestOperationTwitter::objCResponseFromString(const QString &responseString)
{
    switch (requestType()) {
    case RTTwitterRequestFriendshipExists:
        return QVariantMap{{QStringLiteral("confirmed"), responseString == QLatin1String("true")}};
    case RTTwitterRequestAccessToken:
        return RTXAuthExchange::parseResponse(responseString);
    default:
        return {};
    }
}

QString RTRequestOperationTwitter::failureStringFromServerWithObjCResponse(const QVariant &response)
{
    const QVariantMap map = response.toMap();
    switch (requestType()) {
    case RTTwitterRequestFriendshipExists:
        if (!map.contains(QStringLiteral("confirmed")))
            return QStringLiteral("Bad response for friendship confirmation request.");
        break;
    case RTTwitterRequestAccessToken:
        if (!map.contains(QStringLiteral("oauth_token")) ||
            !map.contains(QStringLiteral("oauth_token_secret")))
            return RTXAuthExchange::missingParametersText();
        break;
    default:
        break;
    }
    return {};
}

void RTRequestOperationTwitter::requestWillCancelLoad(HttpRequest *request)
{
    if (request)
        saveResponseHeaderOf(*request);
}

// --- result handling -----------------------------------------------------------------

bool RTRequestOperationTwitter::dealWithResponse(const QVariant &response, QVariantMap &result,
                                                 HttpRequest &request)
{
    const QString limit = request.responseHeader(QStringLiteral("X-Ratelimit-Limit"));
    const QString remaining = request.responseHeader(QStringLiteral("X-Ratelimit-Remaining"));
    if (!limit.isEmpty())
        result.insert(QStringLiteral("rateLimitLimit"), limit);
    if (!remaining.isEmpty())
        result.insert(QStringLiteral("rateLimitRemaining"), remaining);
    if (requestType() == RTTwitterRequestAccessToken) {
        if (isCancelled() || !service())
            return false;
        return RTXAuthExchange::dealWithResponse(request.responseString(), *service(), result);
    }
    return dealWithParsedResponse(response, result);
}

std::shared_ptr<RTTwitterDataSource> RTRequestOperationTwitter::dataSource() const
{
    if (auto account = std::dynamic_pointer_cast<RTTwitterDataSource>(service()))
        return account;
    QMutexLocker locker(&g_searcherLock);
    return g_searcher;
}

void RTRequestOperationTwitter::setSharedSearcher(std::shared_ptr<RTTwitterDataSource> searcher)
{
    QMutexLocker locker(&g_searcherLock);
    g_searcher = std::move(searcher);
}

void RTRequestOperationTwitter::parseMessages(const QList<JsonValue> &statuses)
{
    const std::shared_ptr<RTTwitterDataSource> store = dataSource();
    if (!store || statuses.isEmpty())
        return;
    const RTTwitterParseResult parsed = RTTwitterResponseMapper::parseMessages(
        statuses, requestType(), *store, m_hasMappingContext ? &m_mappingContext : nullptr);
    if (!parsed.since.isEmpty())
        m_since = parsed.since;
    setUsers(parsed.newUsers, parsed.allUsers);
    setMessages(parsed.newMessages, parsed.allMessages);
}

void RTRequestOperationTwitter::tellTreeNodes(qint32 change)
{
    if (!RTTreeNodeManagerInterface::hasShared() || m_allMessages.isEmpty())
        return;
    const QList<RTMessagePtr> messages(m_allMessages.cbegin(), m_allMessages.cend());
    RTTreeNodeManagerInterface &manager = RTTreeNodeManagerInterface::shared();
    switch (change) {
    case RTTwitterRequestDestroyStatus:
    case RTTwitterRequestDestroyDirectMessage:
        manager.allTreeNodesRemoveMessages(messages, requestType(), userInfo());
        break;
    case RTTwitterRequestCreateFavorite:
    case RTTwitterRequestDestroyFavorite:
        manager.allTreeNodesReEvaluateMessages(messages, requestType(), userInfo());
        break;
    default:
        manager.allTreeNodesAddMessages(messages, requestType(), userInfo());
        break;
    }
}

void RTRequestOperationTwitter::handleStatuses(const QList<JsonValue> &statuses,
                                               const char *ownerKey)
{
    parseMessages(statuses);
    if (ownerKey && !m_allMessages.isEmpty()) {
        const QVariant owner = userInfo().value(QString::fromLatin1(ownerKey));
        const QList<RTMessagePtr> messages(m_allMessages.cbegin(), m_allMessages.cend());
        if (const auto list = owner.value<RTListTwitterPtr>())
            list->addMessagesToMessagesSet(messages);
        else if (const auto search = owner.value<RTSearchTwitterPtr>())
            search->addMessagesToMessagesSet(messages);
    }
    tellTreeNodes(0);
}

void RTRequestOperationTwitter::mergeUserRecords(const JsonValue &body)
{
    QHash<QString, RTTwitterUserRecord> records;
    QHash<QString, QDateTime> dates;
    const QDateTime now = Clock::currentDateTime();
    auto take = [&](const JsonValue &record) {
        if (!record.isObject())
            return;
        const QString id = record.value("id").toString();
        if (id.isEmpty())
            return;
        records.insert(id, RTTwitterUserRecord{record, RTTwitterUserRecord::Form::Rest});
        dates.insert(id, now);
    };
    // Follower and friend pages come as arrays of users; the rest as one user.
    if (body.isArray()) {
        for (const JsonValue &record : body)
            take(record);
    } else {
        take(body);
    }
    const std::shared_ptr<RTTwitterDataSource> store = dataSource();
    if (!store || records.isEmpty())
        return;
    RTTwitterDataSource::UserList all;
    const RTTwitterDataSource::UserList fresh =
        store->mergeExistingUsersWithNewUsers(records, dates, requestType(), &all);
    setUsers(fresh, all);
}

void RTRequestOperationTwitter::dropUsersFromHome()
{
    const auto twitter = std::dynamic_pointer_cast<RTServiceTwitter>(service());
    if (!twitter || m_allUsers.isEmpty())
        return;
    QSet<QString> userIds;
    for (const RTUserTwitterPtr &user : std::as_const(m_allUsers))
        userIds.insert(user->userId());
    QList<RTMessageTwitterPtr> changed;
    const RTServiceTwitter::MessagesDictionary messages = twitter->messagesDictionary();
    for (const RTMessageTwitterPtr &message : messages) {
        const RTUserPtr author = message->user();
        if (author && userIds.contains(author->userId())) {
            message->clearTemporaryFlag(RTTemporaryFlag::IsHome);
            changed.append(message);
        }
    }
    if (!changed.isEmpty() && RTTreeNodeManagerInterface::hasShared()) {
        const QList<RTMessagePtr> reEvaluated(changed.cbegin(), changed.cend());
        RTTreeNodeManagerInterface::shared().allTreeNodesReEvaluateMessages(
            reEvaluated, requestType(), userInfo());
    }
}

bool RTRequestOperationTwitter::dealWithParsedResponse(const QVariant &response,
                                                       QVariantMap &result)
{
    if (isCancelled())
        return false;
    const JsonValue body = response.value<JsonValue>();
    const qint32 type = requestType();
    const auto twitter = std::dynamic_pointer_cast<RTServiceTwitter>(service());

    switch (type) {
    case RTTwitterRequestFriendsTimeline:
    case RTTwitterRequestUserTimeline:
    case RTTwitterRequestMentions:
    case RTTwitterRequestSentTimeline:
    case RTTwitterRequestFavorites:
    case RTTwitterRequestDirectInbox:
    case RTTwitterRequestDirectOutbox:
    case RTTwitterRequestRetweetedByMe:
    case RTTwitterRequestRetweetedToMe:
    case RTTwitterRequestHomeTimeline:
        handleStatuses(elementsOf(body), nullptr);
        break;
    case RTTwitterRequestShowStatus:
    case RTTwitterRequestUpdateStatus:
    case RTTwitterRequestNewDirectMessage:
    case RTTwitterRequestRetweet:
        handleStatuses({body}, nullptr);
        break;
    case RTTwitterRequestDestroyStatus:
    case RTTwitterRequestDestroyDirectMessage:
    case RTTwitterRequestCreateFavorite:
    case RTTwitterRequestDestroyFavorite:
        parseMessages({body});
        tellTreeNodes(type);
        break;
    case RTTwitterRequestCreateFriendship:
    case RTTwitterRequestFollowers:
    case RTTwitterRequestFriends:
    case RTTwitterRequestUserShow:
    case RTTwitterRequestMyUserShow:
        mergeUserRecords(body);
        break;
    case RTTwitterRequestDestroyFriendship:
    case RTTwitterRequestCreateBlock:
    case RTTwitterRequestReportSpam:
        mergeUserRecords(body);
        dropUsersFromHome();
        result.insert(QStringLiteral("results"), response);
        break;
    case RTTwitterRequestFriendshipExists:
    case RTTwitterRequestFriendshipShow:
    case RTTwitterRequestUpdateProfileImage:
    case RTTwitterRequestUpdateProfile:
    case RTTwitterRequestNotificationsFollow:
    case RTTwitterRequestNotificationsLeave:
    case RTTwitterRequestDestroyBlock:
    case RTTwitterRequestBlockExists:
    case RTTwitterRequestBlocking:
    case RTTwitterRequestBlockIds:
        result.insert(QStringLiteral("results"), response);
        break;
    case RTTwitterRequestFriendIds:
        result.insert(QStringLiteral("followingIds"), response);
        break;
    case RTTwitterRequestFollowerIds:
        result.insert(QStringLiteral("followersIds"), response);
        break;
    case RTTwitterRequestSearch:
        handleStatuses(elementsOf(body.value("results")), "searchObject");
        break;
    case RTTwitterRequestSavedSearches:
        result.insert(
            QStringLiteral("searches"),
            QVariant::fromValue(RTSearchTwitter::parseSavedSearchesList(body, twitter.get())));
        break;
    case RTTwitterRequestShowSavedSearch:
    case RTTwitterRequestCreateSavedSearch:
    case RTTwitterRequestDestroySavedSearch:
        result.insert(QStringLiteral("search"), QVariant::fromValue(RTSearchTwitter::parseSearch(
                                                    body, type, twitter.get(),
                                                    userInfo()
                                                        .value(QStringLiteral("searchObject"))
                                                        .value<RTSearchTwitterPtr>()
                                                        .get())));
        break;
    case RTTwitterRequestUserLists:
    case RTTwitterRequestListSubscriptions:
        if (twitter)
            result.insert(QStringLiteral("lists"),
                          QVariant::fromValue(RTListTwitter::parseUserLists(body, type, *twitter)));
        break;
    case RTTwitterRequestListStatuses:
        handleStatuses(elementsOf(body), "listObject");
        break;
    case RTTwitterRequestTrends:
        result.insert(QStringLiteral("trends"),
                      QVariant::fromValue(RTTrendObject::parseTrends(body)));
        break;
    case RTTwitterRequestAccessToken:
        result.insert(key(kRTScreenNameKey),
                      response.toMap().value(QStringLiteral("screen_name")).toString());
        break;
    default:
        return false;
    }
    return true;
}

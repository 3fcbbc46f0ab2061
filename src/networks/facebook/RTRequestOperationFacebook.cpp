#include "networks/facebook/RTRequestOperationFacebook.h"

#include "foundation/HostProfile.h"
#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/StringAdditions.h"
#include "http/HttpRequest.h"
#include "network/RTServiceRequests.h"
#include "networks/facebook/RTFacebookKeys.h"
#include "networks/facebook/RTFacebookRequestTypes.h"
#include "networks/facebook/RTServiceFacebook.h"
#include "platform/TAUtility.h"
#include "json/Json.h"

#include <QMutex>
#include <QSet>
#include <QWaitCondition>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

const QString kUserFields = QStringLiteral("id,name,first_name,first_name,last_name,link,about,"
                                           "timezone,verified,updated_time,picture,email,"
                                           "birthday,website");

// Longest a feed request waits for one author lookup (its own request times out sooner).
constexpr int kAuthorLookupWaitMs = 40000;
// Most ids in one request; longer lists are cut (the Graph API refuses more).
constexpr qsizetype kMaxIdsPerRequest = 50;

// The answer of an author lookup, shared by the waiting feed request and the lookup.
struct AuthorLookup
{
    QMutex lock;
    QWaitCondition changed;
    std::atomic<int> *state = nullptr;

    void finish(int value)
    {
        QMutexLocker locker(&lock);
        state->store(value);
        changed.wakeAll();
    }
};

class AuthorLookupDelegate : public RTRequestDelegate
{
public:
    explicit AuthorLookupDelegate(std::shared_ptr<AuthorLookup> lookup)
        : m_lookup(std::move(lookup))
    {
    }
    void serviceRequestSuccess(const QVariantMap &) override
    {
        m_lookup->finish(RTRequestOperationFacebook::Fetched);
    }
    void serviceRequestFailure(const QVariantMap &) override
    {
        m_lookup->finish(RTRequestOperationFacebook::FetchFailed);
    }

private:
    std::shared_ptr<AuthorLookup> m_lookup;
};

QStringList boundedIds(const QVariant &value)
{
    QStringList ids = value.toStringList();
    ids.removeAll(QString());
    if (ids.size() > kMaxIdsPerRequest)
        ids = ids.mid(0, kMaxIdsPerRequest);
    return ids;
}

} // namespace

RTRequestOperationFacebook::RTRequestOperationFacebook()
{
    setShouldScape(false);
}

void RTRequestOperationFacebook::registerClass()
{
    RTServiceRequests::registerRequestOperationClass(
        QStringLiteral("RTRequestOperationFacebook"),
        [] { return std::make_shared<RTRequestOperationFacebook>(); });
}

QUrl RTRequestOperationFacebook::graphBaseUrl()
{
    return HostProfile::current().baseUrl(QStringLiteral("facebook-graph"));
}

QString RTRequestOperationFacebook::createParamsStringWithParams(const Params &params)
{
    QString out;
    for (const auto &[name, value] : params) {
        out += out.isEmpty() ? QLatin1Char('?') : QLatin1Char('&');
        out += name + QLatin1Char('=') + encodeForQueryString(value);
    }
    return out;
}

QString RTRequestOperationFacebook::generateCommaSeparatedArrayWithArray(const QStringList &items)
{
    return items.join(QLatin1Char(','));
}

std::optional<QString> RTRequestOperationFacebook::accessTokenFromAnswer(const QString &answer)
{
    static const QString name = QStringLiteral("access_token");
    const QString text = answer.trimmed();
    if (text.isEmpty() || text.size() > 8192)
        return std::nullopt;
    // A form-encoded answer: every field is name=value; the token is one field, so it
    // ends at the first "&" after it, and the other fields (expires, ...) are ignored.
    std::optional<QString> token;
    for (const QString &field : text.split(QLatin1Char('&'))) {
        const qsizetype equals = field.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return std::nullopt;
        if (field.left(equals) != name)
            continue;
        if (token)
            return std::nullopt; // two tokens: not an answer we can trust
        const QString value = field.mid(equals + 1);
        // Tokens are URL-safe text; anything else means this is not a token answer.
        for (const QChar c : value) {
            const bool safe = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                              (c >= u'0' && c <= u'9') || c == u'-' || c == u'_' || c == u'.' ||
                              c == u'~' || c == u'%';
            if (!safe)
                return std::nullopt;
        }
        const QString decoded = standardUnscapedString(value);
        if (decoded.isEmpty())
            return std::nullopt;
        for (const QChar c : decoded) {
            if (c.isSpace() || !c.isPrint())
                return std::nullopt;
        }
        token = decoded;
    }
    return token;
}

QVariant RTRequestOperationFacebook::errorDictionaryFromResponseString(const QString &body)
{
    if (!body.contains(QLatin1String("error_code")))
        return {};
    const JsonValue json = objectFromJSON(body);
    if (!json.isObject())
        return {};
    const JsonValue code = json["error_code"];
    const QString codeText = code.isNumber() ? QString::number(code.toInt64()) : code.toString();
    if (codeText.isEmpty() || codeText == QLatin1String("0"))
        return {};
    QString message = json["error_msg"].toString();
    if (message.isEmpty())
        message = QStringLiteral("Unspecified Error");
    return QVariantMap{{key(kRTFacebookOperationFailureCode), codeText.toInt()},
                       {key(kRTFacebookOperationFailureMessageKey), message},
                       {key(kRTFacebookOperationFailureErrorDict), json.toVariantMap()}};
}

std::shared_ptr<RTServiceFacebook> RTRequestOperationFacebook::account() const
{
    return std::dynamic_pointer_cast<RTServiceFacebook>(service());
}

bool RTRequestOperationFacebook::urlInformationForRequestType(qint32 requestType,
                                                              RTUrlInformation &info)
{
    const QUrl base = graphBaseUrl();
    if (!base.isValid() || base.host().isEmpty())
        return false;
    info.httpProtocol = base.scheme().isEmpty() ? QStringLiteral("https") : base.scheme();
    info.hostString = base.host() +
                      (base.port() > 0 ? QStringLiteral(":%1").arg(base.port()) : QString()) +
                      base.path(QUrl::FullyEncoded).chopped(base.path().endsWith(u'/') ? 1 : 0);
    info.format = QStringLiteral("");
    info.authentificationMethod = AuthentificationNone;

    const QVariantMap info_ = userInfo();
    int limit = info_.value(key(kRTFacebookLimitKey)).toInt();
    if (limit <= 0)
        limit = RTServiceFacebook::kDefaultFeedLimit;
    const auto owner = account();
    const QString token = owner ? owner->accessToken() : QString();
    Params visible;
    switch (requestType) {
    case RTFacebookRequestUserInfo:
    case RTFacebookRequestLoggedUserInfo:
        info.httpMethod = QStringLiteral("GET");
        info.path = QStringLiteral("/");
        visible = {{QStringLiteral("fields"), kUserFields},
                   {QStringLiteral("ids"), generateCommaSeparatedArrayWithArray(boundedIds(
                                               info_.value(key(kRTFacebookUserIdsKey))))}};
        info.operationDescription = localizedString("##RTRequestOperationFacebook:0##");
        break;
    case RTFacebookRequestNewsFeed:
        info.httpMethod = QStringLiteral("GET");
        info.path = QStringLiteral("/me/home");
        m_since = info_.value(key(kRTSinceKey)).toString();
        if (!m_since.isEmpty())
            visible.append({QStringLiteral("since"), m_since});
        visible.append({QStringLiteral("limit"), QString::number(limit)});
        info.operationDescription = localizedString("##RTRequestOperationFacebook:1##");
        break;
    case RTFacebookRequestPostStatus:
        info.httpMethod = QStringLiteral("POST");
        info.path = QStringLiteral("/me/feed");
        info.operationDescription = localizedString("##RTRequestOperationFacebook:2##");
        break;
    case RTFacebookRequestPostDetails:
        info.httpMethod = QStringLiteral("GET");
        info.path = QStringLiteral("/");
        visible = {{QStringLiteral("ids"), generateCommaSeparatedArrayWithArray(boundedIds(
                                               info_.value(key(kRTFacebookPostIdsKey))))}};
        break;
    case RTFacebookRequestAccessToken:
        // The code, verifier and redirect address travel in the POST body.
        info.httpMethod = QStringLiteral("POST");
        info.path = QStringLiteral("/oauth/access_token");
        info.operationDescription = localizedString("##RTRequestOperationFacebook:3##");
        break;
    default:
        return false;
    }
    info.arguments = createParamsStringWithParams(visible);
    // The token goes out in the request but never into the URL the result reports.
    Params sent;
    if (requestType != RTFacebookRequestAccessToken)
        sent.append({QStringLiteral("access_token"), token});
    sent += visible;
    m_formUrl = QUrl(info.httpProtocol + QStringLiteral("://") + info.hostString + info.path +
                         createParamsStringWithParams(sent),
                     QUrl::StrictMode);
    return m_formUrl.isValid();
}

QString RTRequestOperationFacebook::errorStringForHTTPResponseStatusCode(int statusCode,
                                                                         const QString &,
                                                                         HttpRequest &)
{
    if (statusCode == 401)
        return localizedString("##RTRequestOperationFacebook:13##");
    if (statusCode == 500)
        return localizedString("##RTRequestOperationFacebook:14##");
    return {};
}

QVariant RTRequestOperationFacebook::objCResponseFromString(const QString &responseString)
{
    const QVariant error = errorDictionaryFromResponseString(responseString);
    if (error.isValid()) {
        m_errorRecord = error.toMap();
        return error;
    }
    switch (requestType()) {
    case RTFacebookRequestUserInfo:
    case RTFacebookRequestLoggedUserInfo:
    case RTFacebookRequestNewsFeed:
    case RTFacebookRequestPostStatus:
    case RTFacebookRequestPostDetails: {
        const JsonValue json = objectFromJSON(responseString);
        return json.isValid() ? QVariant::fromValue(json) : QVariant();
    }
    case RTFacebookRequestAccessToken: {
        const std::optional<QString> token = accessTokenFromAnswer(responseString);
        return token ? QVariant(*token) : QVariant();
    }
    default:
        return {};
    }
}

QString
RTRequestOperationFacebook::failureStringFromServerWithObjCResponse(const QVariant &response)
{
    const QVariantMap record = response.toMap();
    if (!record.contains(key(kRTFacebookOperationFailureCode)))
        return {};
    return record.value(key(kRTFacebookOperationFailureMessageKey)).toString();
}

bool RTRequestOperationFacebook::dealWithResponse(const QVariant &response, QVariantMap &result,
                                                  HttpRequest &request)
{
    // An error status whose body is not a Graph error record is still an error.
    const int status = request.responseStatusCode();
    if (status >= 400) {
        result.insert(key(kRTOperationFailureMessageKey),
                      localizedString("##RTRequestOperationFacebook:4##").arg(status));
        return false;
    }
    if (requestType() == RTFacebookRequestAccessToken) {
        result.insert(key(kRTOAuthTokenResultKey), response.toString());
        return true;
    }
    const JsonValue json = response.value<JsonValue>();
    if (!json.isObject()) {
        result.insert(key(kRTOperationFailureMessageKey),
                      localizedString("##RTRequestOperation:1##"));
        return false;
    }
    switch (requestType()) {
    case RTFacebookRequestUserInfo:
    case RTFacebookRequestLoggedUserInfo:
        result.insert(key(kRTFacebookUsersKey), QVariant::fromValue(parseUsers(json)));
        return true;
    case RTFacebookRequestNewsFeed: {
        const JsonValue data = json["data"];
        if (!data.isArray()) {
            result.insert(key(kRTOperationFailureMessageKey),
                          localizedString("##RTRequestOperation:1##"));
            return false;
        }
        result.insert(key(kRTFacebookMessagesKey), QVariant::fromValue(parseMessages(data)));
        return true;
    }
    case RTFacebookRequestPostStatus:
        result.insert(key(kRTFacebookResultKey), json.toVariantMap());
        return true;
    case RTFacebookRequestPostDetails: {
        result.insert(key(kRTFacebookMessagesKey), QVariant::fromValue(parseMessages(json)));
        return true;
    }
    default:
        return false;
    }
}

QList<RTUserFacebookPtr> RTRequestOperationFacebook::parseUsers(const JsonValue &records)
{
    QList<RTUserFacebookPtr> users;
    const QString prefix = RTServiceFacebook::profilePrefix();
    for (auto it = records.begin(); it != records.end(); ++it) {
        if (auto user = RTUserFacebook::parseUser(*it, prefix))
            users.append(user);
    }
    if (const auto owner = account())
        owner->addUsersFromArray(users);
    return users;
}

bool RTRequestOperationFacebook::fetchAuthors(const QStringList &userIds)
{
    const auto owner = account();
    if (!owner)
        return false;
    auto lookup = std::make_shared<AuthorLookup>();
    lookup->state = &m_fetchedNewUsersState;
    m_fetchedNewUsersState.store(Fetching);
    // The immediate queue has no fixed width, so the lookup runs while this request
    // holds its place on the service queue.
    const auto operation = RTServiceRequests::doRequest(
        service(), RTFacebookRequestUserInfo, std::make_shared<AuthorLookupDelegate>(lookup), {},
        {{key(kRTFacebookUserIdsKey), userIds}}, OperationQueue::ImmediateRequests);
    if (!operation)
        return false;
    QMutexLocker locker(&lookup->lock);
    QDeadlineTimer deadline(kAuthorLookupWaitMs);
    while (m_fetchedNewUsersState.load() == Fetching && !deadline.hasExpired()) {
        if (isCancelled()) {
            operation->cancel();
            return false;
        }
        lookup->changed.wait(&lookup->lock, 200);
    }
    return m_fetchedNewUsersState.load() == Fetched;
}

QList<RTMessageFacebookPtr> RTRequestOperationFacebook::parseMessages(const JsonValue &posts)
{
    const auto owner = account();
    // 1. Authors the account does not know yet.
    QStringList unknown;
    QSet<QString> seen;
    for (auto it = posts.begin(); it != posts.end(); ++it) {
        const QString author = (*it)["from"]["id"].toString();
        if (author.isEmpty() || seen.contains(author))
            continue;
        seen.insert(author);
        if (owner && !owner->userWithId(author))
            unknown.append(author);
    }
    // 2. Fetch them; after three failed attempts the posts come without their senders.
    if (owner && !unknown.isEmpty()) {
        for (int attempt = 0; attempt < kAuthorLookupAttempts && !isCancelled(); ++attempt) {
            if (fetchAuthors(unknown))
                break;
            qCInfo(lcNetwork).noquote()
                << "[Facebook] author lookup failed, attempt" << attempt + 1;
        }
    }
    // 3. The posts.
    QList<RTMessageFacebookPtr> messages;
    const RTMessageFacebook::UserLookup users = [owner](const QString &userId) {
        return owner ? owner->userWithId(userId) : nullptr;
    };
    for (auto it = posts.begin(); it != posts.end(); ++it) {
        if (auto message = RTMessageFacebook::parseMessage(*it, owner.get(), users))
            messages.append(message);
    }
    if (owner)
        owner->addMessagesFromArray(messages);
    return messages;
}

#include "sharing/RTRequestOperationShortener.h"

#include "foundation/HostProfile.h"
#include "foundation/MainThread.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/StringAdditions.h"
#include "network/RTServiceRequests.h"
#include "json/Json.h"

#include <QUrl>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

struct KindInfo
{
    RTRequestOperationShortener::Kind kind;
    const char *operationClass;
    const char *profileService;
};

constexpr KindInfo kKinds[] = {
    {RTRequestOperationShortener::Kind::Bitly, "RTRequestOperationBitly", "bitly"},
    {RTRequestOperationShortener::Kind::Jmp, "RTRequestOperationJmp", "jmp"},
    {RTRequestOperationShortener::Kind::Trim, "RTRequestOperationTrim", "trim"},
    {RTRequestOperationShortener::Kind::Cligs, "RTRequestOperationCligs", "cligs"},
    {RTRequestOperationShortener::Kind::Isgd, "RTRequestOperationIsgd", "isgd"},
    {RTRequestOperationShortener::Kind::Tinyurl, "RTRequestOperationTinyurl", "tinyurl"},
    {RTRequestOperationShortener::Kind::Unu, "RTRequestOperationUnu", "unu"},
    {RTRequestOperationShortener::Kind::Budurl, "RTRequestOperationBudurl", "budurl"},
};

const KindInfo &infoOf(RTRequestOperationShortener::Kind kind)
{
    for (const KindInfo &k : kKinds)
        if (k.kind == kind)
            return k;
    return kKinds[0];
}

// Scheme and host[:port][/prefix] of the profile entry; an unnamed service gives an
// empty host, which fails to connect instead of reaching a real host by accident.
void applyHost(RTUrlInformation &info, const char *service)
{
    const QUrl base = HostProfile::current().baseUrl(QString::fromLatin1(service));
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

// A link a shortener gave back, or null when the text is not one: a plain-text answer
// may be an error page, which must never end up in the user's post.
QString validShortUrl(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > RTRequestOperationShortener::kMaxShortUrlLength)
        return {};
    for (const QChar c : trimmed)
        if (c.isSpace())
            return {};
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return {};
    return trimmed;
}

} // namespace

RTRequestOperationShortener::RTRequestOperationShortener(Kind kind)
    : m_kind(kind)
{
}

void RTRequestOperationShortener::registerClasses()
{
    for (const KindInfo &k : kKinds) {
        const Kind kind = k.kind;
        RTServiceRequests::registerRequestOperationClass(
            QString::fromLatin1(k.operationClass),
            [kind] { return std::make_shared<RTRequestOperationShortener>(kind); });
    }
}

QString RTRequestOperationShortener::programBitlyLogin()
{
    return QStringLiteral(TALVO_BITLY_LOGIN);
}

QString RTRequestOperationShortener::programBitlyApiKey()
{
    return QStringLiteral(TALVO_BITLY_API_KEY);
}

QString RTRequestOperationShortener::programTrimApiKey()
{
    return QStringLiteral(TALVO_TRIM_API_KEY);
}

QString RTRequestOperationShortener::programCligsAppId()
{
    return QStringLiteral(TALVO_CLIGS_APPID);
}

bool RTRequestOperationShortener::readsJson() const
{
    return m_kind == Kind::Bitly || m_kind == Kind::Jmp || m_kind == Kind::Trim ||
           m_kind == Kind::Budurl;
}

bool RTRequestOperationShortener::isAnonymousInstance() const
{
    return !service() || service()->isAnonymous();
}

QString RTRequestOperationShortener::storedPassword() const
{
    const RTServicePtr account = service();
    if (!account)
        return {};
    // The password cache belongs to the main thread.
    QString password;
    runOnMainThread([&] { password = account->servicePassword(); }, true);
    return password;
}

QString RTRequestOperationShortener::serviceName() const
{
    const RTServicePtr account = service();
    const QString domain = account ? account->hostname() : QString();
    if (isAnonymousInstance())
        return domain;
    return QStringLiteral("%1 [%2]").arg(domain, account->serviceId());
}

bool RTRequestOperationShortener::urlInformationForRequestType(qint32 requestType,
                                                               RTUrlInformation &info)
{
    info.format = QStringLiteral("");
    applyHost(info, infoOf(m_kind).profileService);
    const QVariantMap ui = userInfo();
    const QString longUrl = encodeForQueryString(ui.value(QStringLiteral("longUrl")).toString());
    const QString version = QStringLiteral("2.0.1");

    switch (m_kind) {
    case Kind::Bitly:
    case Kind::Jmp: {
        const bool anonymous = isAnonymousInstance();
        const QString login = anonymous ? programBitlyLogin() : service()->serviceId();
        const QString apiKey = anonymous ? programBitlyApiKey() : storedPassword();
        if (requestType == 0) {
            info.path = QStringLiteral("/shorten");
            info.arguments = QString::fromLatin1(
                                 anonymous ? "?version=%1&login=%2&apiKey=%3&longUrl=%4"
                                           : "?version=%1&login=%2&apiKey=%3&longUrl=%4&history=1")
                                 .arg(version, encodeForQueryString(login),
                                      encodeForQueryString(apiKey), longUrl);
            return true;
        }
        if (requestType == 1) {
            const QString shortUrl = ui.value(QStringLiteral("shortUrl")).toString();
            info.path = QStringLiteral("/expand");
            info.arguments =
                QStringLiteral("?version=%1&apiKey=%2&login=%3&shortUrl=%4")
                    .arg(version, encodeForQueryString(apiKey), encodeForQueryString(login),
                         m_kind == Kind::Jmp ? standardScapedOutString(shortUrl) : shortUrl);
            return true;
        }
        return false;
    }
    case Kind::Trim: {
        static const char *const paths[] = {"/v1/trim_url", "/v1/trim_destination",
                                            "/v1/account_urls", "/v1/verify"};
        if (requestType < 0 || requestType > 3)
            return false;
        info.path = QString::fromLatin1(paths[requestType]);
        info.format = QStringLiteral(".json");
        info.arguments = QStringLiteral("?api_key=%1").arg(programTrimApiKey());
        if (requestType == 1)
            info.arguments +=
                QStringLiteral("&trimpath=%1")
                    .arg(encodeForQueryString(ui.value(QStringLiteral("trimpath")).toString()));
        if (requestType == 0)
            info.httpMethod = QStringLiteral("POST");
        info.authentificationMethod =
            isAnonymousInstance() ? AuthentificationNone : AuthentificationBasic;
        return true;
    }
    case Kind::Cligs:
        if (requestType == 1)
            return true;
        if (requestType != 0)
            return false;
        info.path = QStringLiteral("/api/v1/cligs/create");
        info.arguments =
            isAnonymousInstance()
                ? QStringLiteral("?appid=%1&url=%2").arg(programCligsAppId(), longUrl)
                : QStringLiteral("?key=%1&appid=%2&url=%3")
                      .arg(encodeForQueryString(storedPassword()), programCligsAppId(), longUrl);
        return true;
    case Kind::Isgd:
        if (requestType != 0)
            return false;
        info.path = QStringLiteral("/api.php");
        info.arguments = QStringLiteral("?longurl=%1").arg(longUrl);
        return true;
    case Kind::Tinyurl:
        if (requestType != 0)
            return false;
        info.path = QStringLiteral("/api-create.php");
        info.arguments = QStringLiteral("?url=%1").arg(longUrl);
        return true;
    case Kind::Unu:
        if (requestType != 0)
            return false;
        info.path = QStringLiteral("/unu-api-simple");
        info.arguments = QStringLiteral("?url=%1").arg(longUrl);
        return true;
    case Kind::Budurl:
        if (requestType != 0)
            return false;
        info.path = QStringLiteral("/api/v1/budurls/shrink");
        info.arguments = QStringLiteral("?api_key=%1&long_url=%2&redirect_type=301")
                             .arg(encodeForQueryString(storedPassword()), longUrl);
        return true;
    }
    return false;
}

QString RTRequestOperationShortener::errorStringForHTTPResponseStatusCode(int statusCode,
                                                                          const QString &,
                                                                          HttpRequest &)
{
    return statusCode == 200 ? QString() : QStringLiteral("Server error");
}

QVariant RTRequestOperationShortener::objCResponseFromString(const QString &responseString)
{
    if (!readsJson())
        return QVariantMap{{QStringLiteral("shortUrl"), responseString}};
    const JsonValue json = objectFromJSON(responseString);
    if (!json.isObject())
        return {};
    return json.toVariantMap();
}

QString
RTRequestOperationShortener::failureStringFromServerWithObjCResponse(const QVariant &response)
{
    const QVariantMap answer = response.toMap();
    bool isNumber = false;
    const qint64 code = answer.value(QStringLiteral("errorCode")).toLongLong(&isNumber);
    if (isNumber && code != 0)
        return answer.value(QStringLiteral("errorMessage")).toString();
    return {};
}

bool RTRequestOperationShortener::dealWithResponse(const QVariant &response, QVariantMap &result,
                                                   HttpRequest &)
{
    const QVariantMap answer = response.toMap();
    const QVariantMap ui = userInfo();
    QString longUrl;
    QString shortUrl;
    switch (m_kind) {
    case Kind::Bitly:
    case Kind::Jmp: {
        const QVariantMap results = answer.value(QStringLiteral("results")).toMap();
        if (requestType() == 0) {
            longUrl = ui.value(QStringLiteral("longUrl")).toString();
            shortUrl = results.value(longUrl).toMap().value(QStringLiteral("shortUrl")).toString();
        } else {
            shortUrl = ui.value(QStringLiteral("shortUrl")).toString();
            if (!results.isEmpty())
                longUrl = results.first().toMap().value(QStringLiteral("longUrl")).toString();
        }
        break;
    }
    case Kind::Trim:
        if (requestType() == 0) {
            longUrl = answer.value(QStringLiteral("destination")).toString();
            if (longUrl.isEmpty())
                longUrl = postParameters().value(QStringLiteral("url")).toString();
            shortUrl = answer.value(QStringLiteral("url")).toString();
        } else if (requestType() == 1) {
            shortUrl = ui.value(QStringLiteral("trimpath")).toString();
            longUrl = answer.value(QStringLiteral("destination")).toString();
        }
        break;
    case Kind::Budurl:
        longUrl = ui.value(QStringLiteral("longUrl")).toString();
        shortUrl = answer.value(QStringLiteral("budurl")).toString();
        break;
    case Kind::Cligs:
    case Kind::Isgd:
    case Kind::Tinyurl:
    case Kind::Unu:
        if (requestType() == 0) {
            longUrl = ui.value(QStringLiteral("longUrl")).toString();
            shortUrl = answer.value(QStringLiteral("shortUrl")).toString();
        }
        break;
    }
    if (requestType() == 0 || !shortUrl.isEmpty())
        shortUrl = shortUrl.isEmpty() ? QString() : validShortUrl(shortUrl);
    QVariantMap urls;
    urls.insert(key(kRTLongStringURLKey), longUrl.isEmpty() ? QVariant() : QVariant(longUrl));
    urls.insert(key(kRTShortStringURLKey), shortUrl.isEmpty() ? QVariant() : QVariant(shortUrl));
    result.insert(QStringLiteral("response"), urls);
    return true;
}

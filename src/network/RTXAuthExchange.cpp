#include "network/RTXAuthExchange.h"

#include "foundation/Log.h"
#include "foundation/MainThread.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTServiceRequests.h"

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

QString unescape(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('+', ' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(bytes));
}

} // namespace

void RTXAuthExchange::fillUrlInformation(RTUrlInformation &info, const QString &host)
{
    info.httpMethod = QStringLiteral("POST");
    info.httpProtocol = QStringLiteral("https");
    info.hostString = host;
    info.path = QString::fromLatin1(kAccessTokenPath);
    info.format = QStringLiteral("");
    info.arguments = QStringLiteral("");
    info.authentificationMethod = RTRequestOperation::AuthentificationOAuth;
}

QVariantMap RTXAuthExchange::postParameters(const QString &screenName, const QString &password)
{
    return {
        {QStringLiteral("x_auth_username"), screenName},
        {QStringLiteral("x_auth_password"), password},
        {QStringLiteral("x_auth_mode"), QStringLiteral("client_auth")},
    };
}

QVariantMap RTXAuthExchange::userInfo()
{
    return {
        {key(kRTQueuePriorityKey), static_cast<int>(Operation::QueuePriorityVeryHigh)},
        {key(kRTBypassCredentialsCheckKey), true},
    };
}

RTRequestOperationPtr RTXAuthExchange::requestOAuthToken(const RTServicePtr &service,
                                                         qint32 requestType,
                                                         RTRequestDelegatePtr delegate)
{
    if (!service)
        return nullptr;
    service->setOAuthTokenPair(QStringLiteral(""), QStringLiteral(""));
    const QVariantMap parameters = postParameters(service->serviceId(), service->servicePassword());
    return RTServiceRequests::doRequest(service, requestType, std::move(delegate), parameters,
                                        userInfo(), OperationQueue::ServiceRequests);
}

QVariantMap RTXAuthExchange::parseResponse(const QString &body)
{
    QVariantMap parsed;
    for (const QString &component : body.left(kMaxResponseLength).split(QLatin1Char('&'))) {
        const QStringList pieces = component.split(QLatin1Char('='));
        if (pieces.size() < 2)
            continue;
        parsed.insert(pieces.at(0), unescape(pieces.at(1)));
    }
    return parsed;
}

bool RTXAuthExchange::dealWithResponse(const QString &body, RTService &service, QVariantMap &result)
{
    const QVariantMap parsed = parseResponse(body);
    const QString tokenKey = QStringLiteral("oauth_token");
    const QString secretKey = QStringLiteral("oauth_token_secret");
    const bool hasToken = parsed.contains(tokenKey);
    const bool hasSecret = parsed.contains(secretKey);
    if (hasToken || hasSecret) {
        const QString token = hasToken ? parsed.value(tokenKey).toString() : service.oauthToken();
        const QString secret =
            hasSecret ? parsed.value(secretKey).toString() : service.oauthTokenSecret();
        service.setOAuthTokenPair(token, secret);
    }
    if (hasToken)
        result.insert(key(kRTOAuthTokenResultKey), parsed.value(tokenKey));
    if (hasSecret)
        result.insert(key(kRTOAuthTokenSecretResultKey), parsed.value(secretKey));
    if (hasToken && hasSecret)
        runOnMainThread([&] { service.setVerifiedCredentials(true); }, true);
    else
        qCWarning(lcNetwork) << "UNABLE TO RETREIVE xAuth CREDENTIALS";
    result.insert(key(kRTResponseStringKey), body.left(kMaxResponseLength));

    if (!hasToken || !hasSecret) {
        result.insert(key(kRTOperationFailureMessageKey), missingParametersText());
        return false;
    }
    result.insert(key(kRTScreenNameKey), parsed.value(QStringLiteral("screen_name")));
    return true;
}

QString RTXAuthExchange::missingParametersText()
{
    return QStringLiteral("Missing response parameters for xAuth request.");
}

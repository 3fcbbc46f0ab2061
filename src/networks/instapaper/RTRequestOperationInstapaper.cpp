#include "networks/instapaper/RTRequestOperationInstapaper.h"

#include "foundation/HostProfile.h"
#include "foundation/Localization.h"
#include "foundation/MainThread.h"
#include "foundation/StringAdditions.h"
#include "network/RTServiceRequests.h"

void RTRequestOperationInstapaper::registerClass()
{
    RTServiceRequests::registerRequestOperationClass(
        QStringLiteral("RTRequestOperationInstapaper"),
        [] { return std::make_shared<RTRequestOperationInstapaper>(); });
}

bool RTRequestOperationInstapaper::urlInformationForRequestType(qint32 requestType,
                                                                RTUrlInformation &info)
{
    if (requestType != Authenticate && requestType != AddUrl)
        return false;
    const RTServicePtr account = service();
    if (!account)
        return false;
    info.format = QStringLiteral("");
    info.httpMethod = QStringLiteral("GET");
    info.httpProtocol = account->httpProtocol();
    const QUrl base = HostProfile::current().baseUrl(QStringLiteral("instapaper"));
    if (base.isValid() && !base.host().isEmpty()) {
        if (!base.scheme().isEmpty())
            info.httpProtocol = base.scheme();
        info.hostString = base.host();
        if (base.port() != -1)
            info.hostString += QLatin1Char(':') + QString::number(base.port());
    }
    // The password cache belongs to the main thread. A missing one is the empty string.
    QString password;
    runOnMainThread([&] { password = account->servicePassword(); }, true);
    // Names and passwords are query-encoded: an "&" or "#" in them must not cut the query.
    const QString user = encodeForQueryString(account->serviceId());
    const QString link =
        encodeForQueryString(userInfo().value(QStringLiteral("urlToAdd")).toString());
    const auto arguments = [&](const QString &secret) {
        if (requestType == Authenticate)
            return QStringLiteral("?username=%1&password=%2").arg(user, secret);
        return QStringLiteral("?url=%1&auto-title=1&username=%2&password=%3")
            .arg(link, user, secret);
    };
    info.path = requestType == Authenticate ? QStringLiteral("/api/authenticate")
                                            : QStringLiteral("/api/add");
    info.arguments = arguments(QStringLiteral("********"));
    const QString prefix = info.httpProtocol + QStringLiteral("://") + info.hostString + info.path;
    m_url = info.hostString.isEmpty()
                ? QUrl()
                : QUrl(prefix + arguments(encodeForQueryString(password)), QUrl::StrictMode);
    return true;
}

QUrl RTRequestOperationInstapaper::formURL() const
{
    return m_url;
}

QString RTRequestOperationInstapaper::errorStringForHTTPResponseStatusCode(int statusCode,
                                                                           const QString &,
                                                                           HttpRequest &)
{
    if (statusCode == 400)
        return localizedString("##RTRequestOperationInstapaper:0##");
    if (statusCode == 403)
        return localizedString("##RTRequestOperationInstapaper:1##");
    // No answer at all is a transport failure, reported as such by the base class. A
    // server error must not read as a saved link.
    if (statusCode == 0 || (statusCode >= 200 && statusCode < 300))
        return {};
    return QStringLiteral("Instapaper answered HTTP %1").arg(statusCode);
}

QVariant RTRequestOperationInstapaper::objCResponseFromString(const QString &)
{
    // The body says nothing the program needs.
    return QVariantMap();
}

QString RTRequestOperationInstapaper::failureStringFromServerWithObjCResponse(const QVariant &)
{
    return {};
}

bool RTRequestOperationInstapaper::dealWithResponse(const QVariant &, QVariantMap &result,
                                                    HttpRequest &)
{
    result.insert(QStringLiteral("urlToAdd"), userInfo().value(QStringLiteral("urlToAdd")));
    return true;
}

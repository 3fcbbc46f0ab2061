#include "networks/pingfm/RTRequestOperationPingfm.h"

#include "foundation/HostProfile.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTServiceRequests.h"

#include <QUrl>
#include <pugixml.hpp>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

QString lastValue(const pugi::xml_node &root, const char *path)
{
    try {
        const pugi::xpath_node_set nodes = root.select_nodes(path);
        if (nodes.empty())
            return {};
        const pugi::xpath_node last = nodes[nodes.size() - 1];
        if (last.attribute())
            return QString::fromUtf8(last.attribute().value());
        return QString::fromUtf8(last.node().text().get());
    } catch (const pugi::xpath_exception &) {
        return {};
    }
}

// Only a web link may reach the user's text.
QString webLink(const QString &text)
{
    const QString trimmed = text.trimmed();
    const QUrl url(trimmed, QUrl::StrictMode);
    if (trimmed.isEmpty() || trimmed.size() > RTRequestOperationPingfm::kMaxLinkLength ||
        !url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return {};
    return trimmed;
}

} // namespace

void RTRequestOperationPingfm::registerClass()
{
    RTServiceRequests::registerRequestOperationClass(
        QStringLiteral("RTRequestOperationPingfm"),
        [] { return std::make_shared<RTRequestOperationPingfm>(); });
}

QString RTRequestOperationPingfm::developerKey()
{
    return QStringLiteral(TALVO_PINGFM_API_KEY);
}

bool RTRequestOperationPingfm::urlInformationForRequestType(qint32 requestType,
                                                            RTUrlInformation &info)
{
    static const QHash<qint32, const char *> paths = {
        {Validate, "/v1/user.validate"}, {Services, "/v1/user.services"},
        {Triggers, "/v1/user.triggers"}, {Latest, "/v1/user.latest"},
        {Links, "/v1/user.links"},       {Post, "/v1/user.post"},
        {Shorten, "/v1/url.create"},     {Expand, "/v1/url.resolve"},
    };
    const char *path = paths.value(requestType);
    if (!path)
        return false;
    info.httpMethod = QStringLiteral("POST");
    info.format = QStringLiteral("");
    info.path = QString::fromLatin1(path);
    if (const RTServicePtr account = service())
        info.httpProtocol = account->httpProtocol();
    // The API host comes from the host profile; without one the request cannot connect.
    const QUrl base = HostProfile::current().baseUrl(QStringLiteral("pingfm"));
    if (!base.isValid() || base.host().isEmpty()) {
        info.hostString = QStringLiteral("");
        return true;
    }
    if (!base.scheme().isEmpty())
        info.httpProtocol = base.scheme();
    info.hostString = base.host();
    if (base.port() != -1)
        info.hostString += QLatin1Char(':') + QString::number(base.port());
    return true;
}

QString RTRequestOperationPingfm::serviceName() const
{
    const RTServicePtr account = service();
    return QStringLiteral("%1 [%2]").arg(QStringLiteral("Ping.fm"),
                                         account ? account->serviceId() : QString());
}

void RTRequestOperationPingfm::willStartRequest(HttpRequest &)
{
    QVariantMap parameters = postParameters();
    parameters.remove(QStringLiteral("user_app_key"));
    setPostParameters(parameters);
}

QString RTRequestOperationPingfm::errorStringForHTTPResponseStatusCode(int statusCode,
                                                                       const QString &,
                                                                       HttpRequest &)
{
    return statusCode == 200 ? QString() : QStringLiteral("Server error");
}

QVariant RTRequestOperationPingfm::readAnswer(const QString &xml)
{
    if (xml.size() > kMaxAnswerLength)
        return {};
    pugi::xml_document doc;
    const QByteArray utf8 = xml.toUtf8();
    if (!doc.load_buffer(utf8.constData(), size_t(utf8.size())))
        return {};
    const pugi::xml_node root = doc.document_element();
    if (!root)
        return {};
    return QVariantMap{{QStringLiteral("status"), lastValue(root, "./@status")},
                       {QStringLiteral("transaction"), lastValue(root, "./transaction")},
                       {QStringLiteral("short_url"), lastValue(root, "./short_url")},
                       {QStringLiteral("url"), lastValue(root, "./url")},
                       {QStringLiteral("message"), lastValue(root, "./message")}};
}

QVariant RTRequestOperationPingfm::objCResponseFromString(const QString &responseString)
{
    return readAnswer(responseString);
}

QString RTRequestOperationPingfm::failureStringFromServerWithObjCResponse(const QVariant &response)
{
    const QString status = response.toMap().value(QStringLiteral("status")).toString();
    if (status == QLatin1String("OK"))
        return {};
    // An answer without a status still failed; an empty text would read as success.
    return status.isEmpty() ? QStringLiteral("Ping.fm gave no status") : status;
}

bool RTRequestOperationPingfm::dealWithResponse(const QVariant &response, QVariantMap &result,
                                                HttpRequest &)
{
    const QVariantMap answer = response.toMap();
    QVariantMap out{{QStringLiteral("status"), answer.value(QStringLiteral("status"))},
                    {QStringLiteral("transaction"), answer.value(QStringLiteral("transaction"))}};
    const QVariantMap posted = postParameters();
    if (requestType() == Shorten) {
        const QString shortUrl = webLink(answer.value(QStringLiteral("short_url")).toString());
        out.insert(key(kRTLongStringURLKey), posted.value(QStringLiteral("long_url")));
        out.insert(key(kRTShortStringURLKey), shortUrl.isEmpty() ? QVariant() : shortUrl);
    } else if (requestType() == Expand) {
        const QString longUrl = webLink(answer.value(QStringLiteral("url")).toString());
        out.insert(key(kRTLongStringURLKey), longUrl.isEmpty() ? QVariant() : longUrl);
        out.insert(key(kRTShortStringURLKey), posted.value(QStringLiteral("short_url")));
    } else if (requestType() > Post) {
        return false; // not a request this class knows
    }
    result.insert(QStringLiteral("response"), out);
    return true;
}

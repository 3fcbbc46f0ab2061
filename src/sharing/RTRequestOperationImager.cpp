#include "sharing/RTRequestOperationImager.h"

#include "foundation/HostProfile.h"
#include "foundation/RTGlobalVariables.h"
#include "network/RTServiceRequests.h"

#include <QUrl>
#include <pugixml.hpp>

namespace {

struct KindInfo
{
    RTRequestOperationImager::Kind kind;
    const char *serviceClass;
    const char *profileService;
    const char *path;
    const char *statusXPath;
    const char *linkXPath;
};

using K = RTRequestOperationImager::Kind;
constexpr KindInfo kKinds[] = {
    {K::Twitpic, "RTServiceTwitpic", "twitpic", "/api/upload", "./@stat", "./mediaurl"},
    {K::Yfrog, "RTServiceYfrog", "yfrog", "/api/upload", "./@stat", "./mediaurl"},
    {K::Tweetphoto, "RTServiceTweetphoto", "tweetphoto", "/api/upload.aspx", "./@stat",
     "./mediaurl"},
    {K::Imgly, "RTServiceImgly", "imgly", "/api/upload", "./@stat", "./mediaurl"},
    {K::Twitgoo, "RTServiceTwitgoo", "twitgoo", "/api/upload", "./@stat", "./mediaurl"},
    {K::Twicli, "RTServiceTwicli", "twicli", "/api/uploadPhoto", "./@status", ".//url"},
    {K::Mobypicture, "RTServiceMobypicture", "mobypicture", "", "./@code", "./url"},
};

const KindInfo &infoOf(K kind)
{
    for (const KindInfo &k : kKinds)
        if (k.kind == kind)
            return k;
    return kKinds[0];
}

// The text of the last node the path selects, as a string.
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

} // namespace

RTRequestOperationImager::RTRequestOperationImager(Kind kind)
    : m_kind(kind)
{
}

void RTRequestOperationImager::registerClasses()
{
    for (const KindInfo &k : kKinds) {
        const Kind kind = k.kind;
        const QString opClass =
            QStringLiteral("RTRequestOperation") + QString::fromLatin1(k.serviceClass).mid(9);
        RTServiceRequests::registerRequestOperationClass(
            opClass, [kind] { return std::make_shared<RTRequestOperationImager>(kind); });
    }
}

bool RTRequestOperationImager::kindOfClass(const QString &serviceClassName, Kind *kind)
{
    for (const KindInfo &k : kKinds) {
        if (serviceClassName == QLatin1String(k.serviceClass)) {
            *kind = k.kind;
            return true;
        }
    }
    return false;
}

QVariantMap RTRequestOperationImager::uploadParameters(Kind kind, const QByteArray &jpeg,
                                                       const QString &user, const QString &password)
{
    QVariantMap p;
    switch (kind) {
    case K::Mobypicture:
        p = {{QStringLiteral("action"), QStringLiteral("postMediaUrl")},
             {QStringLiteral("format"), QStringLiteral("xml")},
             {QStringLiteral("s"), QStringLiteral("none")},
             {QStringLiteral("k"), QStringLiteral(TALVO_MOBYPICTURE_KEY)},
             {QStringLiteral("i"), jpeg},
             {QStringLiteral("u"), user},
             {QStringLiteral("p"), password}};
        return p;
    case K::Twicli:
        p.insert(QStringLiteral("api_key"), QStringLiteral(TALVO_TWICLI_KEY));
        p.insert(QStringLiteral("photo"), jpeg);
        break;
    case K::Yfrog:
        p.insert(QStringLiteral("key"), QStringLiteral(TALVO_YFROG_KEY));
        p.insert(QStringLiteral("media"), jpeg);
        break;
    case K::Tweetphoto:
        p.insert(QStringLiteral("api_key"), QStringLiteral(TALVO_TWEETPHOTO_KEY));
        p.insert(QStringLiteral("media"), jpeg);
        break;
    case K::Twitpic:
    case K::Imgly:
    case K::Twitgoo:
        p.insert(QStringLiteral("media"), jpeg);
        break;
    }
    p.insert(QStringLiteral("username"), user);
    p.insert(QStringLiteral("password"), password);
    return p;
}

QVariant RTRequestOperationImager::readAnswer(Kind kind, const QString &xml)
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
    const KindInfo &info = infoOf(kind);
    const QString status = lastValue(root, info.statusXPath);
    QString link = lastValue(root, info.linkXPath).trimmed();
    const QUrl url(link, QUrl::StrictMode);
    // Only a web link may go into the user's text.
    if (link.size() > kMaxLinkLength || !url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        link.clear();
    return QVariantMap{{QStringLiteral("ok"), status == QLatin1String("ok")},
                       {QStringLiteral("failure"), status},
                       {QStringLiteral("url"), link}};
}

bool RTRequestOperationImager::urlInformationForRequestType(qint32 requestType,
                                                            RTUrlInformation &info)
{
    if (requestType != 1)
        return false;
    const KindInfo &k = infoOf(m_kind);
    info.httpMethod = QStringLiteral("POST");
    info.httpProtocol = QStringLiteral("http");
    info.format = QStringLiteral("");
    info.path = QString::fromLatin1(k.path);
    const QUrl base = HostProfile::current().baseUrl(QString::fromLatin1(k.profileService));
    if (!base.isValid() || base.host().isEmpty()) {
        info.hostString = QStringLiteral("");
        return true;
    }
    if (!base.scheme().isEmpty())
        info.httpProtocol = base.scheme();
    info.hostString = base.host();
    if (base.port() != -1)
        info.hostString += QLatin1Char(':') + QString::number(base.port());
    if (info.path.isEmpty())
        info.path = QStringLiteral("/");
    return true;
}

QString RTRequestOperationImager::errorStringForHTTPResponseStatusCode(int, const QString &,
                                                                       HttpRequest &)
{
    return {};
}

QVariant RTRequestOperationImager::objCResponseFromString(const QString &responseString)
{
    return readAnswer(m_kind, responseString);
}

QString RTRequestOperationImager::failureStringFromServerWithObjCResponse(const QVariant &response)
{
    const QVariantMap answer = response.toMap();
    if (answer.value(QStringLiteral("ok")).toBool())
        return {};
    const QString failure = answer.value(QStringLiteral("failure")).toString();
    // A host that says nothing still failed; an empty text would read as success.
    return failure.isEmpty() ? QStringLiteral("The picture host did not accept the picture")
                             : failure;
}

bool RTRequestOperationImager::dealWithResponse(const QVariant &response, QVariantMap &result,
                                                HttpRequest &)
{
    const QString link = response.toMap().value(QStringLiteral("url")).toString();
    result.insert(QString::fromLatin1(kRTImageURLKey), link.isEmpty() ? QVariant() : link);
    return true;
}

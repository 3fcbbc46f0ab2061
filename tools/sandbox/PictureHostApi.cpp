#include "PictureHostApi.h"

#include "SandboxServer.h"

#include <QRegularExpression>

#include <httplib.h>

namespace {

struct Host
{
    const char *name;
    const char *path;
    const char *mediaField;
    const char *keyField; // nullptr: no program key
    int keyLength;
    bool keyHex;
    qint64 sizeLimit;
    enum Shape
    {
        Stat,   // <rsp stat=...><mediaurl>
        Status, // <rsp status=...><photo><url>
        Code    // <rsp code=...><url>
    } shape;
    const char *userField;
    const char *passwordField;
};

constexpr qint64 kMB = 1024 * 1024;
constexpr Host kHosts[] = {
    {"twitpic", "/api/upload", "media", nullptr, 0, false, 4 * kMB, Host::Stat, "username",
     "password"},
    {"yfrog", "/api/upload", "media", "key", 40, false, 4 * kMB, Host::Stat, "username",
     "password"},
    {"tweetphoto", "/api/upload.aspx", "media", "api_key", 32, true, 5 * kMB, Host::Stat,
     "username", "password"},
    {"imgly", "/api/upload", "media", nullptr, 0, false, 4 * kMB, Host::Stat, "username",
     "password"},
    {"twitgoo", "/api/upload", "media", nullptr, 0, false, 4 * kMB, Host::Stat, "username",
     "password"},
    {"twicli", "/api/uploadPhoto", "photo", "api_key", 28, false, 4 * kMB, Host::Status, "username",
     "password"},
    {"mobypicture", "/", "i", "k", 16, false, 16 * kMB, Host::Code, "u", "p"},
};

bool isPicture(const std::string &bytes)
{
    auto starts = [&bytes](const char *magic, size_t n) {
        return bytes.size() >= n && bytes.compare(0, n, magic, n) == 0;
    };
    return starts("\xFF\xD8\xFF", 3) || starts("\x89PNG\r\n\x1A\n", 8) || starts("GIF8", 4);
}

QByteArray answer(const Host &host, bool ok, const QString &detail, const QString &id)
{
    const QString d = htmlEscape(detail);
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    switch (host.shape) {
    case Host::Stat:
        xml +=
            ok ? QStringLiteral("<rsp stat=\"ok\"><mediaid>%1</mediaid><mediaurl>%2</mediaurl>"
                                "</rsp>")
                     .arg(id, d)
               : QStringLiteral("<rsp stat=\"fail\"><err code=\"1001\" msg=\"%1\"/></rsp>").arg(d);
        break;
    case Host::Status:
        xml +=
            ok ? QStringLiteral("<rsp status=\"ok\"><photo><id>%1</id><url>%2</url></photo></rsp>")
                     .arg(id, d)
               : QStringLiteral("<rsp status=\"fail\"><error>%1</error></rsp>").arg(d);
        break;
    case Host::Code:
        xml += ok ? QStringLiteral("<rsp code=\"ok\"><mediaid>%1</mediaid><url>%2</url></rsp>")
                        .arg(id, d)
                  : QStringLiteral("<rsp code=\"fail\"><message>%1</message></rsp>").arg(d);
        break;
    }
    return xml.toUtf8();
}

} // namespace

PictureHostApi::PictureHostApi(SandboxServer &server)
    : m_server(server)
{
}

QStringList PictureHostApi::hostNames()
{
    QStringList names;
    for (const Host &h : kHosts)
        names << QString::fromLatin1(h.name);
    return names;
}

bool PictureHostApi::handle(SandboxCall &call)
{
    if (!call.host.startsWith(QLatin1String("upload.")))
        return false;
    const QString name = call.host.mid(7).section(u'.', 0, 0);
    const Host *host = nullptr;
    for (const Host &h : kHosts)
        if (name == QLatin1String(h.name))
            host = &h;
    if (!host || call.path != QLatin1String(host->path))
        return false;
    auto fail = [&](const QString &why) {
        call.text(answer(*host, false, why, QString()), 200, "text/xml; charset=utf-8");
        return true;
    };
    if (call.method != "POST")
        return fail(QStringLiteral("Uploads must be POSTed"));
    if (host->shape == Host::Code &&
        (call.param("action") != u"postMediaUrl" || call.param("format") != u"xml"))
        return fail(QStringLiteral("Unknown action"));
    if (host->keyField) {
        static const QRegularExpression alnum(QStringLiteral("^[A-Za-z0-9]+$"));
        static const QRegularExpression hex(QStringLiteral("^[0-9a-fA-F]+$"));
        const QString key = call.param(host->keyField);
        if (key.size() != host->keyLength || !(host->keyHex ? hex : alnum).match(key).hasMatch())
            return fail(QStringLiteral("Invalid API key"));
    }
    if (call.param(host->userField).isEmpty() ||
        call.param(host->passwordField) != QLatin1String("sandbox"))
        return fail(QStringLiteral("Invalid twitter username or password"));
    const auto media = call.req->files.find(host->mediaField);
    if (media == call.req->files.end() || media->second.content.empty())
        return fail(QStringLiteral("No image was uploaded"));
    if (qint64(media->second.content.size()) > host->sizeLimit)
        return fail(QStringLiteral("Image too large"));
    if (!isPicture(media->second.content))
        return fail(QStringLiteral("Invalid image type"));

    static const char alphabet[] = "abcdefghijkmnopqrstuvwxyz23456789";
    QString id;
    for (int i = 0; i < 7; ++i)
        id += QLatin1Char(alphabet[m_server.rng()() % (sizeof(alphabet) - 1)]);
    call.account = call.param(host->userField);
    const QString link =
        QStringLiteral("https://pics.localhost:%1/%2").arg(m_server.tlsPort()).arg(id);
    call.text(answer(*host, true, link, id), 200, "text/xml; charset=utf-8");
    return true;
}

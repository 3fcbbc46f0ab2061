#include "ShortLinks.h"

#include "SandboxServer.h"
#include "Seeder.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

constexpr int kMaxLongUrl = 4096;
// bit.ly-shaped error codes.
constexpr int kErrorMissingArgument = 500;
constexpr int kErrorNotFound = 1203;
// A 1x1 PNG: every picture of the picture hosts.
constexpr char kPngBase64[] = "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+"
                              "M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==";

bool isWebUrl(const QString &s)
{
    const QUrl url(s, QUrl::StrictMode);
    return url.isValid() && (url.scheme() == u"http" || url.scheme() == u"https") &&
           !url.host().isEmpty();
}

} // namespace

ShortLinks::ShortLinks(SandboxServer &server)
    : m_server(server)
    , m_db(server.db())
{
}

QString ShortLinks::expand(QString text) const
{
    return text.replace(QLatin1String(Seeder::kPortToken), QString::number(m_server.tlsPort()));
}

bool ShortLinks::handle(SandboxCall &call)
{
    const QString &host = call.host;
    if (host.startsWith(QLatin1String("api."))) {
        const QString service = host.mid(4).section(u'.', 0, 0);
        if (SandboxServer::shortenerNames().contains(service))
            return api(call, service);
        return false;
    }
    if (host == u"www.localhost") {
        // The long links' pages: plain HTML, so a HEAD or GET ends here with 200.
        call.text(QStringLiteral("<html><head><title>Sandbox page %1</title></head><body><p>A "
                                 "page of the sandbox web.</p></body></html>")
                      .arg(call.path.toHtmlEscaped())
                      .toUtf8(),
                  200, "text/html; charset=utf-8");
        return true;
    }
    if (host == u"pics.localhost" || host == u"photos.localhost")
        return picture(call, host);
    return follow(call, host);
}

bool ShortLinks::picture(SandboxCall &call, const QString &host)
{
    static const QRegularExpression file(QStringLiteral("^/(?:thumb|full)/[\\w.-]+$"));
    static const QRegularExpression page(QStringLiteral("^/([\\w-]+)$"));
    if (file.match(call.path).hasMatch()) {
        call.text(QByteArray::fromBase64(kPngBase64), 200, "image/png");
        return true;
    }
    const QRegularExpressionMatch m = page.match(call.path);
    if (!m.hasMatch())
        return false;
    // The picture page: a relative source, which the client completes with this page's host.
    call.text(QStringLiteral("<html><body><h1>%1</h1><img id=\"logo\" src=\"/thumb/logo.png\">"
                             "<img id=\"photo\" src=\"/full/%2.png\" alt=\"photo\"></body></html>")
                  .arg(host, m.captured(1))
                  .toUtf8(),
              200, "text/html; charset=utf-8");
    return true;
}

QString ShortLinks::shorten(const QString &service, const QString &longUrl, qint64 now)
{
    const QString host = service + QStringLiteral(".localhost");
    const QVariant existing =
        m_db.scalar("SELECT code FROM short_links WHERE host = ? AND target = ?", {host, longUrl});
    QString code = existing.toString();
    if (!existing.isValid()) {
        static const char alphabet[] = "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
        do {
            code.clear();
            for (int i = 0; i < 6; ++i)
                code += QLatin1Char(alphabet[m_server.rng()() % (sizeof(alphabet) - 1)]);
        } while (m_db.scalar("SELECT 1 FROM short_links WHERE host = ? AND code = ?", {host, code})
                     .isValid());
        m_db.exec("INSERT INTO short_links (host, code, target, created_at) VALUES (?, ?, ?, ?)",
                  {host, code, longUrl, now});
    }
    return QStringLiteral("https://%1:%2/%3").arg(host).arg(m_server.tlsPort()).arg(code);
}

QString ShortLinks::longFor(const QString &shortUrl)
{
    const QUrl url(shortUrl);
    const QVariant target =
        m_db.scalar("SELECT target FROM short_links WHERE host = ? AND code = ?",
                    {url.host().toLower(), url.path().mid(1)});
    return target.isValid() ? expand(target.toString()) : QString();
}

bool ShortLinks::api(SandboxCall &call, const QString &service)
{
    auto bitlyAnswer = [&call](int code, const QString &message, SandboxJson results) {
        SandboxJson out = SandboxJson::object();
        out.set(QStringLiteral("errorCode"), code);
        out.set(QStringLiteral("errorMessage"), message);
        out.set(QStringLiteral("results"), std::move(results));
        out.set(QStringLiteral("statusCode"), code == 0 ? "OK" : "ERROR");
        call.json(out);
    };
    auto plain = [&call, this, &service](const QString &longUrl) {
        if (!isWebUrl(longUrl) || longUrl.size() > kMaxLongUrl)
            return call.text("Error: Please enter a valid URL to shorten", 400);
        call.text(shorten(service, longUrl, call.now).toUtf8());
    };

    if (service == u"bitly" || service == u"jmp") {
        if (call.param("login").isEmpty() || call.param("apiKey").isEmpty())
            return bitlyAnswer(203, QStringLiteral("You must be authenticated to access this"),
                               SandboxJson::object()),
                   true;
        if (call.path == u"/shorten") {
            const QString longUrl = call.param("longUrl");
            if (!isWebUrl(longUrl) || longUrl.size() > kMaxLongUrl)
                return bitlyAnswer(kErrorMissingArgument, QStringLiteral("Invalid longUrl"),
                                   SandboxJson::object()),
                       true;
            const QString shortUrl = shorten(service, longUrl, call.now);
            SandboxJson entry = SandboxJson::object();
            entry.set(QStringLiteral("hash"), QUrl(shortUrl).path().mid(1));
            entry.set(QStringLiteral("shortKeywordUrl"), "");
            entry.set(QStringLiteral("userHash"), QUrl(shortUrl).path().mid(1));
            entry.set(QStringLiteral("shortUrl"), shortUrl);
            SandboxJson results = SandboxJson::object();
            results.set(longUrl, entry);
            bitlyAnswer(0, QString(), results);
            return true;
        }
        if (call.path == u"/expand") {
            const QString shortUrl = call.param("shortUrl");
            const QString longUrl = longFor(shortUrl);
            if (longUrl.isEmpty())
                return bitlyAnswer(kErrorNotFound, QStringLiteral("NOT_FOUND"),
                                   SandboxJson::object()),
                       true;
            SandboxJson entry = SandboxJson::object();
            entry.set(QStringLiteral("longUrl"), longUrl);
            SandboxJson results = SandboxJson::object();
            results.set(QUrl(shortUrl).path().mid(1), entry);
            bitlyAnswer(0, QString(), results);
            return true;
        }
        return false;
    }
    if (service == u"isgd" && call.path == u"/api.php")
        return plain(call.param("longurl")), true;
    if (service == u"tinyurl" && call.path == u"/api-create.php")
        return plain(call.param("url")), true;
    if (service == u"unu" && call.path == u"/unu-api-simple")
        return plain(call.param("url")), true;
    if (service == u"cligs" && call.path == u"/api/v1/cligs/create")
        return plain(call.param("url")), true;
    if (service == u"budurl" && call.path == u"/api/v1/budurls/shrink") {
        const QString longUrl = call.param("long_url");
        SandboxJson out = SandboxJson::object();
        if (call.param("api_key").isEmpty() || !isWebUrl(longUrl)) {
            out.set(QStringLiteral("success"), 0);
            out.set(QStringLiteral("error_message"), "Invalid request");
        } else {
            out.set(QStringLiteral("success"), 1);
            out.set(QStringLiteral("budurl"), shorten(service, longUrl, call.now));
            out.set(QStringLiteral("long_url"), longUrl);
        }
        call.json(out);
        return true;
    }
    if (service == u"trim" && call.path.startsWith(QLatin1String("/v1/trim_url"))) {
        const QString longUrl = call.param("url");
        SandboxJson out = SandboxJson::object();
        if (call.param("api_key").isEmpty() || !isWebUrl(longUrl)) {
            call.json(out.set(QStringLiteral("status"), "ERROR"), 400);
            return true;
        }
        out.set(QStringLiteral("url"), shorten(service, longUrl, call.now));
        out.set(QStringLiteral("destination"), longUrl);
        out.set(QStringLiteral("status"), "OK");
        call.json(out);
        return true;
    }
    return false;
}

bool ShortLinks::follow(SandboxCall &call, const QString &host)
{
    const QString code = call.path.mid(1);
    const QVariant target =
        m_db.scalar("SELECT target FROM short_links WHERE host = ? AND code = ?", {host, code});
    if (!target.isValid())
        return false;
    const QString longUrl = expand(target.toString());
    if (host == u"frame.localhost") {
        // A framing page: the target sits in an iframe, the page stays on the framer's host.
        call.text(QStringLiteral("<html><head><title>Framed</title></head><body>"
                                 "<div id=\"bar\">Shared with the sandbox framer</div>"
                                 "<iframe id=\"talvo_frame\" src=\"%1\" width=\"100%\" "
                                 "height=\"90%\"></iframe></body></html>")
                      .arg(longUrl.toHtmlEscaped())
                      .toUtf8(),
                  200, "text/html; charset=utf-8");
        return true;
    }
    // Seeded links redirect permanently; a link that leads to another short link uses 302,
    // so a client meets both codes and a chain of two.
    const bool toShortLink = QUrl(longUrl).host().endsWith(QLatin1String(".localhost")) &&
                             QUrl(longUrl).host() != u"www.localhost";
    call.addHeader("Location", longUrl.toUtf8());
    call.text(QStringLiteral("<html><body><a href=\"%1\">moved here</a></body></html>")
                  .arg(longUrl.toHtmlEscaped())
                  .toUtf8(),
              toShortLink ? 302 : 301, "text/html; charset=utf-8");
    return true;
}

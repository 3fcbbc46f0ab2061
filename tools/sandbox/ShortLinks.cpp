#include "ShortLinks.h"

#include "SandboxServer.h"
#include "Seeder.h"

#include <QRegularExpression>
#include <QUrl>

#include <cmath>

namespace {

constexpr int kMaxLongUrl = 4096;
// bit.ly-shaped error codes.
constexpr int kErrorMissingArgument = 500;
constexpr int kErrorNotFound = 1203;
// A 1x1 PNG: every picture of the picture hosts.
constexpr char kPngBase64[] = "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+"
                              "M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==";

// A picture of a small landscape (sky, sun, hills) as an uncompressed 24-bit BMP, its
// colours taken from seed, so each photo of the sandbox looks different.
QByteArray landscapeBmp(const QString &seed, int width, int height)
{
    const quint32 h = qHash(seed);
    const int rowBytes = (width * 3 + 3) & ~3;
    const int size = 54 + rowBytes * height;
    QByteArray out(size, '\0');
    auto put32 = [&out](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = char((v >> (8 * i)) & 0xff);
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, quint32(size));
    put32(10, 54);
    put32(14, 40);
    put32(18, quint32(width));
    put32(22, quint32(height));
    out[26] = 1;
    out[28] = 24;
    put32(34, quint32(rowBytes * height));
    const int skyR = 90 + int(h % 80), skyG = 140 + int((h >> 8) % 60),
              skyB = 200 + int((h >> 16) % 50);
    const int sunX = width / 5 + int((h >> 4) % (width / 2)), sunY = height / 4;
    const int sunR = height / 9;
    for (int y = 0; y < height; ++y) {
        const int fromTop = height - 1 - y; // BMP rows go bottom-up
        for (int x = 0; x < width; ++x) {
            const double t = double(fromTop) / height;
            int r = int(skyR + (255 - skyR) * t * 0.6), g = int(skyG + (255 - skyG) * t * 0.5),
                b = skyB;
            const double hill =
                height * (0.62 + 0.08 * std::sin(x * 6.283 / width * 1.5 + (h % 7)));
            const double hill2 =
                height * (0.75 + 0.05 * std::sin(x * 6.283 / width * 2.7 + (h % 5)));
            const int dx = x - sunX, dy = fromTop - sunY;
            if (dx * dx + dy * dy < sunR * sunR) {
                r = 255, g = 214, b = 120;
            }
            if (fromTop > hill) {
                r = 70 + int((h >> 12) % 40), g = 130 + int((h >> 20) % 50), b = 70;
            }
            if (fromTop > hill2) {
                r = 45, g = 95 + int((h >> 24) % 40), b = 50;
            }
            char *px = out.data() + 54 + y * rowBytes + x * 3;
            px[0] = char(b);
            px[1] = char(g);
            px[2] = char(r);
        }
    }
    return out;
}

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
    if (shapes(call, host))
        return true;
    return follow(call, host);
}

bool ShortLinks::picture(SandboxCall &call, const QString &host)
{
    static const QRegularExpression file(QStringLiteral("^/(?:thumb|full)/[\\w.-]+$"));
    static const QRegularExpression page(QStringLiteral("^/([\\w-]+)$"));
    // Pictures whose name starts with "gone" were removed: the host answers its "not found"
    // page with status 200, as picture hosts did, and the page has no photo.
    const bool gone = call.path.section(u'/', -1).startsWith(QLatin1String("gone"));
    if (file.match(call.path).hasMatch()) {
        if (gone)
            call.text(goneHtml(host), 200, "text/html; charset=utf-8");
        else if (call.path.startsWith(QLatin1String("/thumb/logo")))
            call.text(QByteArray::fromBase64(kPngBase64), 200, "image/png");
        else if (call.path.startsWith(QLatin1String("/thumb/")))
            call.text(landscapeBmp(call.path.section(u'/', -1).section(u'.', 0, 0), 150, 150), 200,
                      "image/bmp");
        else
            call.text(landscapeBmp(call.path.section(u'/', -1).section(u'.', 0, 0), 480, 360), 200,
                      "image/bmp");
        return true;
    }
    const QRegularExpressionMatch m = page.match(call.path);
    if (!m.hasMatch())
        return false;
    call.text(gone ? goneHtml(host) : picturePageHtml(host, m.captured(1)), 200,
              "text/html; charset=utf-8");
    return true;
}

// A photo page as the picture hosts of the time served them: an XHTML document with the
// site's header, scripts, an advertisement, the viewer's avatar and the photo itself, whose
// source is relative (the client completes it from the page's address).
QByteArray ShortLinks::picturePageHtml(const QString &host, const QString &id)
{
    return QStringLiteral(
               "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
               "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
               "<html xmlns=\"http://www.w3.org/1999/xhtml\">\n<head>\n"
               "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\n"
               "<title>%1 - Share photos on Twitter</title>\n"
               "<link href=\"/css/site.css?1256089330\" media=\"screen\" rel=\"stylesheet\" "
               "type=\"text/css\" />\n"
               "<script src=\"/js/prototype.js?1256089330\" type=\"text/javascript\"></script>\n"
               "<script type=\"text/javascript\">var photo_id = '%2'; if (top != self) "
               "{ top.location = self.location; }</script>\n</head>\n<body>\n"
               "<div id=\"header\"><a href=\"/\"><img src=\"/images/logo-main.png\" "
               "id=\"logo\" alt=\"%1\" /></a>\n<ul id=\"nav\"><li><a href=\"/public_timeline/\">"
               "Public</a></li><li><a href=\"/upload\">Upload</a></li></ul></div>\n"
               "<div id=\"content\">\n<div id=\"photo-info\"><img src=\"/thumb/avatar_%2.png\" "
               "class=\"avatar\" id=\"user-avatar\" width=\"48\" height=\"48\" />\n"
               "<p class=\"message\">A photo of the sandbox &amp; friends</p></div>\n"
               "<div id=\"ad\"><iframe src=\"/ads/300x250\" width=\"300\" height=\"250\" "
               "frameborder=\"0\" scrolling=\"no\"></iframe></div>\n"
               "<div id=\"photo\"><img class=\"photo\" id=\"photo-display\" "
               "src=\"/full/%2.png?1256089331\" alt=\"%2\" /></div>\n"
               "<p id=\"views\">Views <span>%3</span></p>\n</div>\n"
               "<div id=\"footer\">&copy; 2009 %1</div>\n</body>\n</html>\n")
        .arg(host, id.toHtmlEscaped())
        .arg(qHash(id) % 5000)
        .toUtf8();
}

QByteArray ShortLinks::goneHtml(const QString &host)
{
    return QStringLiteral("<html><head><title>%1 - Photo not found</title></head><body>"
                          "<div id=\"header\"><img src=\"/images/logo-main.png\" id=\"logo\" />"
                          "</div><h2>Sorry, this photo has been removed.</h2></body></html>")
        .arg(host)
        .toUtf8();
}

// Link shapes met in the wild, on every shortener host (and the framers):
//   /hop/N/name   N redirects in a row, the last to an article page
//   /loop/a, /loop/b   redirect to each other for ever
//   /never/name   never answers (until the sandbox stops)
//   /huge/name    a framing page far larger than any real one
//   /hostile/name a framing page of unclosed iframes meant to make parsers work hard
bool ShortLinks::shapes(SandboxCall &call, const QString &host)
{
    if (!SandboxServer::shortenerNames().contains(host.section(u'.', 0, 0)) &&
        host != u"frame.localhost" && host != u"frameset.localhost")
        return false;
    const QString base = QStringLiteral("https://%1:%2").arg(host).arg(m_server.tlsPort());
    const QStringList parts = call.path.mid(1).split(u'/');
    const QString kind = parts.value(0);
    auto redirect = [&call](const QString &to) {
        call.addHeader("Location", to.toUtf8());
        call.text(QByteArrayLiteral("<html><body>moved</body></html>"), 301,
                  "text/html; charset=utf-8");
    };
    if (kind == u"hop" && parts.size() == 3) {
        bool ok = false;
        const int n = parts.at(1).toInt(&ok);
        if (!ok || n < 1 || n > 50)
            return false;
        redirect(n == 1 ? QStringLiteral("https://www.localhost:%1/articles/%2")
                              .arg(m_server.tlsPort())
                              .arg(parts.at(2))
                        : QStringLiteral("%1/hop/%2/%3").arg(base).arg(n - 1).arg(parts.at(2)));
        return true;
    }
    if (kind == u"loop" && parts.size() == 2) {
        redirect(QStringLiteral("%1/loop/%2").arg(base, parts.at(1) == u"a" ? "b" : "a"));
        return true;
    }
    if (kind == u"never") {
        call.holdMs = 120000;
        call.text("late", 200, "text/plain");
        return true;
    }
    if (kind == u"huge") {
        QByteArray page = "<html><body>";
        page += QByteArray(4 * 1024 * 1024, ' ');
        page += "<iframe id=\"talvo_frame\" src=\"https://www.localhost/articles/huge\">"
                "</iframe></body></html>";
        call.text(page, 200, "text/html");
        return true;
    }
    if (kind == u"hostile") {
        QByteArray page = "<html><body>";
        for (int i = 0; i < 40000; ++i)
            page += "<iframe id=\"talvo_frame\" src=\"x";
        call.text(page, 200, "text/html");
        return true;
    }
    return false;
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
    if (host == u"frameset.localhost") {
        // A frameset: the framer's own bar first, then the target.
        call.text(QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Frameset//EN\">"
                                 "<html><head><title>Shared link</title></head>\n"
                                 "<FRAMESET rows=\"40,*\" frameborder=\"0\">\n"
                                 "<FRAME src=\"https://frameset.localhost:%1/bar/%2\" "
                                 "name=\"bar\" scrolling=\"no\" noresize>\n"
                                 "<FRAME src=\"%3\" name=\"content\">\n</FRAMESET>\n"
                                 "<noframes>Your browser does not support frames.</noframes>"
                                 "</html>")
                      .arg(m_server.tlsPort())
                      .arg(code, longUrl.toHtmlEscaped())
                      .toUtf8(),
                  200, "text/html; charset=utf-8");
        return true;
    }
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

#include "TextServicesApi.h"

#include "SandboxServer.h"

#include <QCryptographicHash>
#include <QHash>
#include <QRegularExpression>
#include <QUrl>

namespace {

constexpr int kMaxLongUrl = 4096;
constexpr int kMaxPostLength = 1000;
constexpr int kMaxShrinkText = 2000;
constexpr int kMaxTranslateText = 5000;

bool isWebUrl(const QString &s)
{
    const QUrl url(s, QUrl::StrictMode);
    return s.size() <= kMaxLongUrl && url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == u"http" || url.scheme() == u"https");
}

QString xmlEscape(const QString &s)
{
    return s.toHtmlEscaped();
}

// Ping.fm's answer: <rsp status="OK|FAIL"> with a transaction, the method and the rest.
void pingfmAnswer(SandboxCall &call, const QString &method, const QString &inner,
                  const QString &failure = QString())
{
    const QByteArray transaction =
        QCryptographicHash::hash(QByteArray::number(call.now) + method.toUtf8() + call.body,
                                 QCryptographicHash::Md5)
            .toHex()
            .left(12);
    QString xml = QStringLiteral("<?xml version=\"1.0\"?>\n<rsp status=\"%1\">\n"
                                 "  <transaction>%2</transaction>\n  <method>%3</method>\n")
                      .arg(failure.isEmpty() ? QStringLiteral("OK") : QStringLiteral("FAIL"),
                           QString::fromLatin1(transaction), method);
    if (!failure.isEmpty())
        xml += QStringLiteral("  <message>%1</message>\n").arg(xmlEscape(failure));
    xml += inner + QStringLiteral("</rsp>\n");
    call.text(xml.toUtf8(), 200, "text/xml; charset=utf-8");
}

// Words the shrinking service abbreviates.
const QHash<QString, QString> &abbreviations()
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("you"), QStringLiteral("u")},
        {QStringLiteral("your"), QStringLiteral("ur")},
        {QStringLiteral("are"), QStringLiteral("r")},
        {QStringLiteral("for"), QStringLiteral("4")},
        {QStringLiteral("to"), QStringLiteral("2")},
        {QStringLiteral("too"), QStringLiteral("2")},
        {QStringLiteral("and"), QStringLiteral("&")},
        {QStringLiteral("with"), QStringLiteral("w/")},
        {QStringLiteral("without"), QStringLiteral("w/o")},
        {QStringLiteral("because"), QStringLiteral("b/c")},
        {QStringLiteral("people"), QStringLiteral("ppl")},
        {QStringLiteral("please"), QStringLiteral("pls")},
        {QStringLiteral("great"), QStringLiteral("gr8")},
        {QStringLiteral("tomorrow"), QStringLiteral("tmrw")},
        {QStringLiteral("today"), QStringLiteral("2day")},
        {QStringLiteral("before"), QStringLiteral("b4")},
        {QStringLiteral("really"), QStringLiteral("rly")},
        {QStringLiteral("thanks"), QStringLiteral("thx")},
        {QStringLiteral("message"), QStringLiteral("msg")},
        {QStringLiteral("about"), QStringLiteral("abt")},
        {QStringLiteral("tonight"), QStringLiteral("2nite")},
    };
    return table;
}

// A small word list per language, English as the pivot.
const QHash<QString, QStringList> &dictionary()
{
    // English word -> German, French, Spanish.
    static const QHash<QString, QStringList> table = {
        {QStringLiteral("hello"), {"hallo", "bonjour", "hola"}},
        {QStringLiteral("good"), {"gut", "bon", "bueno"}},
        {QStringLiteral("morning"), {"morgen", "matin", "mañana"}},
        {QStringLiteral("world"), {"welt", "monde", "mundo"}},
        {QStringLiteral("thanks"), {"danke", "merci", "gracias"}},
        {QStringLiteral("friend"), {"freund", "ami", "amigo"}},
        {QStringLiteral("friends"), {"freunde", "amis", "amigos"}},
        {QStringLiteral("new"), {"neu", "nouveau", "nuevo"}},
        {QStringLiteral("day"), {"tag", "jour", "día"}},
        {QStringLiteral("night"), {"nacht", "nuit", "noche"}},
        {QStringLiteral("coffee"), {"kaffee", "café", "café"}},
        {QStringLiteral("with"), {"mit", "avec", "con"}},
        {QStringLiteral("and"), {"und", "et", "y"}},
        {QStringLiteral("the"), {"die", "le", "el"}},
        {QStringLiteral("is"), {"ist", "est", "es"}},
        {QStringLiteral("this"), {"dies", "ceci", "esto"}},
        {QStringLiteral("great"), {"toll", "génial", "genial"}},
        {QStringLiteral("today"), {"heute", "aujourd'hui", "hoy"}},
        {QStringLiteral("love"), {"liebe", "amour", "amor"}},
        {QStringLiteral("city"), {"stadt", "ville", "ciudad"}},
        {QStringLiteral("see"), {"sehen", "voir", "ver"}},
        {QStringLiteral("you"), {"dich", "toi", "te"}},
        {QStringLiteral("yes"), {"ja", "oui", "sí"}},
        {QStringLiteral("no"), {"nein", "non", "no"}},
    };
    return table;
}

const QStringList kLanguages = {QStringLiteral("en"), QStringLiteral("de"), QStringLiteral("fr"),
                                QStringLiteral("es")};

// The English word of a word in language lang, or empty.
QString toEnglish(const QString &word, const QString &lang)
{
    if (lang == u"en")
        return dictionary().contains(word) ? word : QString();
    const qsizetype column = kLanguages.indexOf(lang) - 1;
    for (auto it = dictionary().cbegin(); it != dictionary().cend(); ++it)
        if (column >= 0 && it.value().at(column) == word)
            return it.key();
    return {};
}

QString fromEnglish(const QString &english, const QString &lang)
{
    if (lang == u"en")
        return english;
    const qsizetype column = kLanguages.indexOf(lang) - 1;
    return column >= 0 ? dictionary().value(english).value(column) : QString();
}

QString keepCase(const QString &original, const QString &word)
{
    if (!original.isEmpty() && original.at(0).isUpper() && !word.isEmpty())
        return word.at(0).toUpper() + word.mid(1);
    return word;
}

const QRegularExpression &wordPattern()
{
    static const QRegularExpression re(QStringLiteral("[\\p{L}']+"));
    return re;
}

// Replaces each word the function maps, keeping everything between words.
QString mapWords(const QString &text, const std::function<QString(const QString &)> &map)
{
    QString out;
    qsizetype from = 0;
    auto it = wordPattern().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString word = m.captured();
        const QString mapped = map(word);
        out += text.mid(from, m.capturedStart() - from) + (mapped.isEmpty() ? word : mapped);
        from = m.capturedEnd();
    }
    return out + text.mid(from);
}

QString detectLanguage(const QString &text)
{
    QHash<QString, int> hits;
    auto it = wordPattern().globalMatch(text);
    while (it.hasNext()) {
        const QString word = it.next().captured().toLower();
        for (const QString &lang : kLanguages)
            if (!toEnglish(word, lang).isEmpty())
                ++hits[lang];
    }
    QString best = QStringLiteral("en");
    for (const QString &lang : kLanguages)
        if (hits.value(lang) > hits.value(best))
            best = lang;
    return best;
}

} // namespace

TextServicesApi::TextServicesApi(SandboxServer &server)
    : m_server(server)
    , m_db(server.db())
{
    m_db.execScript("CREATE TABLE IF NOT EXISTS pingfm_posts (id INTEGER PRIMARY KEY, "
                    "screen_name TEXT, method TEXT, body TEXT, created_at INTEGER);"
                    "CREATE TABLE IF NOT EXISTS instapaper_links (id INTEGER PRIMARY KEY, "
                    "screen_name TEXT, url TEXT, title TEXT, created_at INTEGER);");
}

QStringList TextServicesApi::hostNames()
{
    return {QStringLiteral("api.pingfm.localhost"), QStringLiteral("pingfm.localhost"),
            QStringLiteral("www.instapaper.localhost"), QStringLiteral("api.shrink.localhost"),
            QStringLiteral("api.translate.localhost")};
}

bool TextServicesApi::handle(SandboxCall &call)
{
    if (call.host == u"api.pingfm.localhost")
        return pingfm(call);
    if (call.host == u"www.instapaper.localhost")
        return instapaper(call);
    if (call.host == u"api.shrink.localhost")
        return shrink(call);
    if (call.host == u"api.translate.localhost")
        return translate(call);
    return false;
}

bool TextServicesApi::pingfm(SandboxCall &call)
{
    static const QRegularExpression methodPath(QStringLiteral("^/v1/([a-z]+\\.[a-z]+)$"));
    const QRegularExpressionMatch m = methodPath.match(call.path);
    if (!m.hasMatch())
        return false;
    const QString method = m.captured(1);
    static const QStringList known = {
        QStringLiteral("user.validate"), QStringLiteral("user.services"),
        QStringLiteral("user.triggers"), QStringLiteral("user.latest"),
        QStringLiteral("user.links"),    QStringLiteral("user.post"),
        QStringLiteral("url.create"),    QStringLiteral("url.resolve")};
    if (!known.contains(method))
        return false;
    if (call.method != "POST")
        return pingfmAnswer(call, method, {}, QStringLiteral("Requests must be POSTed")), true;

    static const QRegularExpression developerKey(QStringLiteral("^[0-9a-fA-F]{32}$"));
    if (!developerKey.match(call.param("api_key")).hasMatch())
        return pingfmAnswer(call, method, {}, QStringLiteral("Invalid API key")), true;
    const QString appKey = call.param("user_app_key");
    const QString screenName =
        appKey.startsWith(QLatin1String("appkey-"))
            ? m_db.scalar("SELECT screen_name FROM users WHERE screen_name = ?", {appKey.mid(7)})
                  .toString()
            : QString();
    if (screenName.isEmpty())
        return pingfmAnswer(call, method, {}, QStringLiteral("User application key is invalid")),
               true;
    call.account = screenName;

    if (method == u"user.post") {
        const QString postMethod = call.param("post_method");
        const QString body = call.param("body");
        if (!QStringList{QStringLiteral("default"), QStringLiteral("microblog"),
                         QStringLiteral("status"), QStringLiteral("blog")}
                 .contains(postMethod))
            return pingfmAnswer(call, method, {}, QStringLiteral("Invalid post method")), true;
        if (body.trimmed().isEmpty())
            return pingfmAnswer(call, method, {}, QStringLiteral("Message body is empty")), true;
        if (body.size() > kMaxPostLength)
            return pingfmAnswer(call, method, {}, QStringLiteral("Message is too long")), true;
        m_db.exec("INSERT INTO pingfm_posts (screen_name, method, body, created_at) VALUES "
                  "(?, ?, ?, ?)",
                  {screenName, postMethod, body, call.now});
        pingfmAnswer(call, method, {});
        return true;
    }
    if (method == u"user.latest") {
        QString inner = QStringLiteral("  <messages>\n");
        for (const Database::Row &row :
             m_db.query("SELECT id, method, body, created_at FROM pingfm_posts WHERE "
                        "screen_name = ? ORDER BY id DESC LIMIT 25",
                        {screenName})) {
            inner += QStringLiteral("    <message id=\"%1\" method=\"%2\"><date unix=\"%3\"/>"
                                    "<content><body>%4</body></content></message>\n")
                         .arg(row.value(0).toString(), xmlEscape(row.value(1).toString()),
                              row.value(3).toString(),
                              QString::fromLatin1(row.value(2).toString().toUtf8().toBase64()));
        }
        pingfmAnswer(call, method, inner + QStringLiteral("  </messages>\n"));
        return true;
    }
    if (method == u"url.create") {
        const QString longUrl = call.param("long_url");
        if (!isWebUrl(longUrl))
            return pingfmAnswer(call, method, {}, QStringLiteral("Invalid long URL")), true;
        const QString host = QStringLiteral("pingfm.localhost");
        QString code = m_db.scalar("SELECT code FROM short_links WHERE host = ? AND target = ?",
                                   {host, longUrl})
                           .toString();
        if (code.isEmpty()) {
            static const char alphabet[] = "abcdefghijkmnopqrstuvwxyz23456789";
            do {
                code.clear();
                for (int i = 0; i < 5; ++i)
                    code += QLatin1Char(alphabet[m_server.rng()() % (sizeof(alphabet) - 1)]);
            } while (
                m_db.scalar("SELECT 1 FROM short_links WHERE host = ? AND code = ?", {host, code})
                    .isValid());
            m_db.exec("INSERT INTO short_links (host, code, target, created_at) VALUES "
                      "(?, ?, ?, ?)",
                      {host, code, longUrl, call.now});
        }
        pingfmAnswer(call, method,
                     QStringLiteral("  <short_url>https://%1:%2/%3</short_url>\n")
                         .arg(host)
                         .arg(m_server.tlsPort())
                         .arg(code));
        return true;
    }
    if (method == u"url.resolve") {
        const QUrl shortUrl(call.param("short_url"));
        const QVariant target =
            m_db.scalar("SELECT target FROM short_links WHERE host = ? AND code = ?",
                        {shortUrl.host().toLower(), shortUrl.path().mid(1)});
        if (shortUrl.host() != u"pingfm.localhost" || !target.isValid())
            return pingfmAnswer(call, method, {}, QStringLiteral("Short URL not found")), true;
        pingfmAnswer(call, method,
                     QStringLiteral("  <url>%1</url>\n").arg(xmlEscape(target.toString())));
        return true;
    }
    if (method == u"user.services") {
        pingfmAnswer(call, method,
                     QStringLiteral("  <services>\n    <service id=\"twitter\" name=\"Twitter\">"
                                    "<methods>microblog,status</methods></service>\n"
                                    "  </services>\n"));
        return true;
    }
    // user.validate, user.triggers, user.links: nothing beyond the status.
    pingfmAnswer(call, method, {});
    return true;
}

QString TextServicesApi::instapaperUser(const SandboxCall &call)
{
    const QString user = call.param("username");
    const QVariant stored = m_db.scalar("SELECT password FROM users WHERE screen_name = ?", {user});
    if (user.isEmpty() || !stored.isValid() || stored.toString() != call.param("password"))
        return {};
    return m_db.scalar("SELECT screen_name FROM users WHERE screen_name = ?", {user}).toString();
}

bool TextServicesApi::instapaper(SandboxCall &call)
{
    const bool authenticate = call.path == u"/api/authenticate";
    const bool add = call.path == u"/api/add";
    const bool saved = call.path == u"/api/saved"; // the sandbox's own look at the list
    if (!authenticate && !add && !saved)
        return false;
    const QString user = instapaperUser(call);
    if (user.isEmpty()) {
        call.text("403", 403);
        return true;
    }
    call.account = user;
    if (authenticate) {
        call.text("200", 200);
        return true;
    }
    if (saved) {
        SandboxJson list = SandboxJson::array();
        for (const Database::Row &row :
             m_db.query("SELECT url, title FROM instapaper_links WHERE screen_name = ? "
                        "ORDER BY id",
                        {user})) {
            SandboxJson entry = SandboxJson::object();
            entry.set(QStringLiteral("url"), row.value(0).toString());
            entry.set(QStringLiteral("title"), row.value(1).toString());
            list.append(std::move(entry));
        }
        call.json(list);
        return true;
    }
    const QString url = call.param("url");
    if (!isWebUrl(url)) {
        call.text("400", 400);
        return true;
    }
    const QString title = call.param("auto-title") == u"1"
                              ? QStringLiteral("Page at %1").arg(QUrl(url).host())
                              : call.param("title");
    m_db.exec("INSERT INTO instapaper_links (screen_name, url, title, created_at) VALUES "
              "(?, ?, ?, ?)",
              {user, url, title, call.now});
    call.addHeader("Content-Location", QUrl(url).toEncoded());
    call.addHeader("X-Instapaper-Title", title.toUtf8().toPercentEncoding(" "));
    call.text("201", 201);
    return true;
}

bool TextServicesApi::shrink(SandboxCall &call)
{
    if (call.path != u"/shrink")
        return false;
    const QString text = call.param("text");
    SandboxJson answer = SandboxJson::object();
    if (text.trimmed().isEmpty() || text.size() > kMaxShrinkText) {
        answer.set(QStringLiteral("error"), text.trimmed().isEmpty()
                                                ? QStringLiteral("No text to shrink")
                                                : QStringLiteral("The text is too long"));
        call.json(answer, 400);
        return true;
    }
    QString shrunk = mapWords(text, [](const QString &word) {
        const QString abbreviation = abbreviations().value(word.toLower());
        return abbreviation.isEmpty() ? QString() : keepCase(word, abbreviation);
    });
    static const QRegularExpression blanks(QStringLiteral("[ \\t]{2,}"));
    shrunk.replace(blanks, QStringLiteral(" "));
    answer.set(QStringLiteral("text"), shrunk);
    answer.set(QStringLiteral("difference"), qint64(text.size() - shrunk.size()));
    call.json(answer);
    return true;
}

bool TextServicesApi::translate(SandboxCall &call)
{
    if (call.path != u"/ajax/services/language/translate")
        return false;
    // Errors come as HTTP 200 with the status inside, as the service does.
    const auto fail = [&call](const QString &details) {
        SandboxJson answer = SandboxJson::object();
        answer.set(QStringLiteral("responseData"), nullptr);
        answer.set(QStringLiteral("responseDetails"), details);
        answer.set(QStringLiteral("responseStatus"), 400);
        call.json(answer);
        return true;
    };
    if (call.param("v") != u"1.0")
        return fail(QStringLiteral("invalid version"));
    const QString text = call.param("q");
    if (text.trimmed().isEmpty())
        return fail(QStringLiteral("invalid text"));
    if (text.size() > kMaxTranslateText)
        return fail(QStringLiteral("the string to be translated exceeds the maximum length"));
    const QString pair = call.param("langpair");
    const qsizetype bar = pair.indexOf(u'|');
    QString source = bar < 0 ? QString() : pair.left(bar).toLower();
    const QString target = bar < 0 ? QString() : pair.mid(bar + 1).toLower().left(2);
    if (bar < 0 || !kLanguages.contains(target) ||
        (!source.isEmpty() && !kLanguages.contains(source.left(2))))
        return fail(QStringLiteral("invalid translation language pair"));
    const bool detect = source.isEmpty();
    source = detect ? detectLanguage(text) : source.left(2);
    const QString translated = mapWords(text, [&](const QString &word) {
        const QString english = toEnglish(word.toLower(), source);
        const QString out = english.isEmpty() ? QString() : fromEnglish(english, target);
        return out.isEmpty() ? QString() : keepCase(word, out);
    });
    SandboxJson data = SandboxJson::object();
    data.set(QStringLiteral("translatedText"), translated.toHtmlEscaped());
    if (detect)
        data.set(QStringLiteral("detectedSourceLanguage"), source);
    SandboxJson answer = SandboxJson::object();
    answer.set(QStringLiteral("responseData"), std::move(data));
    answer.set(QStringLiteral("responseDetails"), nullptr);
    answer.set(QStringLiteral("responseStatus"), 200);
    call.json(answer);
    return true;
}

#include "FacebookApi.h"

#include "SandboxServer.h"
#include "TwitterApi.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QRandomGenerator>
#include <QUrl>
#include <QUrlQuery>

namespace {

constexpr qint64 kCodeLifetimeSecs = 600;
constexpr qint64 kTokenExpiresSecs = 5183999;
constexpr int kMaxPostLength = 5000;
constexpr int kMaxIds = 50;

const char *const kSchema = R"SQL(
CREATE TABLE IF NOT EXISTS fb_codes (
    code TEXT PRIMARY KEY, user_id INTEGER, client_id TEXT, redirect_uri TEXT,
    challenge TEXT, created_at INTEGER, used INTEGER DEFAULT 0);
CREATE TABLE IF NOT EXISTS fb_tokens (token TEXT PRIMARY KEY, user_id INTEGER, created_at INTEGER);
CREATE TABLE IF NOT EXISTS fb_posts (
    id INTEGER PRIMARY KEY AUTOINCREMENT, from_id INTEGER, message TEXT, created_at INTEGER,
    link TEXT, name TEXT, likes INTEGER DEFAULT 0);
CREATE TABLE IF NOT EXISTS fb_comments (
    id INTEGER PRIMARY KEY AUTOINCREMENT, post_id INTEGER, from_id INTEGER, message TEXT,
    created_at INTEGER);
)SQL";

QString randomText()
{
    QByteArray bytes(24, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString graphTime(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs, Qt::UTC)
               .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QStringLiteral("+0000");
}

QString graphUserId(qint64 sandboxId)
{
    return QString::number(FacebookApi::kUserIdBase + sandboxId);
}

qint64 sandboxUserId(const QString &graphId)
{
    bool ok = false;
    const qint64 id = graphId.toLongLong(&ok);
    return ok && id > FacebookApi::kUserIdBase ? id - FacebookApi::kUserIdBase : 0;
}

// A redirect address must come back to the user's own machine (RFC 8252 loopback).
bool isLoopbackRedirect(const QUrl &url)
{
    return url.isValid() && url.scheme() == u"http" &&
           (url.host() == u"127.0.0.1" || url.host() == u"[::1]" || url.host() == u"::1") &&
           url.port() > 0 && url.fragment().isNull();
}

QString hiddenInput(const char *name, const QString &value)
{
    return QStringLiteral("<input type=\"hidden\" name=\"%1\" value=\"%2\">\n")
        .arg(QString::fromLatin1(name), htmlEscape(value));
}

const char *const kAuthorizeParams[] = {
    "client_id", "redirect_uri",   "response_type",        "scope",
    "state",     "code_challenge", "code_challenge_method"};

} // namespace

FacebookApi::FacebookApi(SandboxServer &server, QByteArray appId)
    : m_server(server)
    , m_appId(std::move(appId))
{
    m_server.db().execScript(kSchema);
}

void FacebookApi::seedIfEmpty()
{
    Database &db = m_server.db();
    if (db.scalar("SELECT COUNT(*) FROM fb_posts").toLongLong() > 0)
        return;
    static const char *const kTexts[] = {
        "Back from a long walk by the sea.",   "Who is coming to the concert on Friday?",
        "New photos from the weekend are up.", "Reading a good book about old maps.",
        "Coffee first, then the world.",
    };
    const qint64 now = m_server.now();
    const QList<Database::Row> users = db.query("SELECT id, screen_name FROM users ORDER BY id");
    std::mt19937 &rng = m_server.rng();
    for (const Database::Row &user : users) {
        for (int i = 0; i < 3; ++i) {
            const qint64 created = now - qint64(rng() % (5 * 86400)) - 3600;
            const char *text = kTexts[rng() % std::size(kTexts)];
            db.exec("INSERT INTO fb_posts (from_id, message, created_at, link, name, likes) "
                    "VALUES (?, ?, ?, ?, ?, ?)",
                    {user.at(0), QString::fromUtf8(text), created,
                     i == 0
                         ? QVariant(
                               QStringLiteral("http://www.localhost/%1").arg(user.at(1).toString()))
                         : QVariant(),
                     i == 0 ? QVariant(QStringLiteral("A page")) : QVariant(), int(rng() % 20)});
            if (i == 1 && users.size() > 1) {
                const QVariant post = db.lastInsertId();
                const QVariant other = users.at(int(rng() % users.size())).at(0);
                db.exec("INSERT INTO fb_comments (post_id, from_id, message, created_at) "
                        "VALUES (?, ?, ?, ?)",
                        {post, other, QStringLiteral("Nice!"), created + 600});
            }
        }
    }
}

bool FacebookApi::handle(SandboxCall &call)
{
    const bool graph = call.host == QLatin1String(kGraphHost);
    const bool web = call.host == QLatin1String(kWebHost);
    if (!graph && !web)
        return false;
    if (web && call.path.startsWith(QLatin1String("/pictures/"))) {
        picture(call);
        return true;
    }
    if (web) {
        // Profile pages: a user's link points here.
        call.text("<!DOCTYPE html><html><body><h1>Profile</h1></body></html>", 200,
                  "text/html; charset=utf-8");
        return true;
    }
    if (call.path == u"/oauth/authorize") {
        if (call.method == "POST")
            authorizeSubmit(call);
        else
            authorizePage(call);
        return true;
    }
    if (call.path == u"/oauth/access_token") {
        accessToken(call);
        return true;
    }
    const qint64 userId = authenticate(call);
    if (userId == 0 || call.answerWithReplay())
        return true;
    if (call.path == u"/me/home" && call.method == "GET")
        newsFeed(call, userId);
    else if (call.path == u"/me/feed" && call.method == "POST")
        postStatus(call, userId);
    else if (call.path == u"/me/permissions" && call.method == "DELETE")
        revokeAccess(call, userId);
    else if ((call.path == u"/" || call.path.isEmpty()) && call.method == "GET")
        objects(call, userId);
    else
        graphError(call, 803, QStringLiteral("Unknown path components: %1").arg(call.path), 404);
    return true;
}

void FacebookApi::revokeAccess(SandboxCall &call, qint64 userId)
{
    // The user took the program's access away: every token of theirs is refused from now.
    m_server.db().exec("DELETE FROM fb_tokens WHERE user_id = ?", {userId});
    call.text("true", 200, "application/json");
}

void FacebookApi::picture(SandboxCall &call)
{
    const QString name = call.path.mid(int(qstrlen("/pictures/")));
    const QList<Database::Row> rows =
        m_server.db().query("SELECT image, image_type FROM users WHERE screen_name = ?", {name});
    if (rows.isEmpty()) {
        call.text("<!DOCTYPE html><html><body><h1>Not found</h1></body></html>", 404,
                  "text/html; charset=utf-8");
        return;
    }
    const Database::Row &row = rows.first();
    if (row.at(0).isNull())
        call.text(TwitterApi::defaultProfilePicture(), 200, "image/png");
    else
        call.text(row.at(0).toByteArray(), 200, row.at(1).toString().toLatin1());
}

void FacebookApi::graphError(SandboxCall &call, int code, const QString &message, int httpStatus)
{
    SandboxJson err = SandboxJson::object();
    err.set(QStringLiteral("error_code"), code);
    err.set(QStringLiteral("error_msg"), message);
    call.json(err, httpStatus);
}

QString FacebookApi::webOrigin(const SandboxCall &call) const
{
    const QByteArray host = call.hostHeader;
    const qsizetype colon = host.lastIndexOf(':');
    const QString port = colon > 0 ? QString::fromLatin1(host.mid(colon)) : QString();
    return QString::fromLatin1(call.tls ? "https://" : "http://") + QString::fromLatin1(kWebHost) +
           port;
}

QString FacebookApi::authorizationProblem(const SandboxCall &call) const
{
    if (call.param("client_id").toUtf8() != m_appId)
        return QStringLiteral("Invalid application id.");
    if (!isLoopbackRedirect(QUrl(call.param("redirect_uri"), QUrl::StrictMode)))
        return QStringLiteral("The redirect address must be a loopback address.");
    if (call.param("response_type") != u"code")
        return QStringLiteral("Only the code response type is supported.");
    if (call.param("code_challenge_method") != u"S256")
        return QStringLiteral("A code challenge with method S256 is required.");
    const QString challenge = call.param("code_challenge");
    if (challenge.size() != 43)
        return QStringLiteral("The code challenge is malformed.");
    if (call.param("state").isEmpty())
        return QStringLiteral("A state value is required.");
    return {};
}

void FacebookApi::authorizePage(SandboxCall &call)
{
    const QString problem = authorizationProblem(call);
    if (!problem.isEmpty()) {
        call.text(QStringLiteral("<!DOCTYPE html><html><body><h1>Error</h1><p id=\"error\">%1</p>"
                                 "</body></html>")
                      .arg(htmlEscape(problem))
                      .toUtf8(),
                  400, "text/html; charset=utf-8");
        return;
    }
    QString form =
        QStringLiteral("<!DOCTYPE html><html><head><title>Log in</title></head><body>"
                       "<h1>Log in to Facebook</h1>\n"
                       "<form id=\"login\" method=\"post\" action=\"/oauth/authorize\">\n");
    for (const char *name : kAuthorizeParams)
        form += hiddenInput(name, call.param(name));
    form += QStringLiteral("<input type=\"text\" name=\"email\">\n"
                           "<input type=\"password\" name=\"pass\">\n"
                           "<button type=\"submit\" name=\"allow\" value=\"1\">Log in</button>\n"
                           "<button type=\"submit\" name=\"deny\" value=\"1\">Cancel</button>\n"
                           "</form></body></html>");
    call.text(form.toUtf8(), 200, "text/html; charset=utf-8");
}

void FacebookApi::authorizeSubmit(SandboxCall &call)
{
    const QString problem = authorizationProblem(call);
    if (!problem.isEmpty()) {
        call.text(problem.toUtf8(), 400);
        return;
    }
    QUrl target(call.param("redirect_uri"));
    QUrlQuery query(target);
    if (call.has("deny")) {
        query.addQueryItem(QStringLiteral("error"), QStringLiteral("access_denied"));
    } else {
        QString name = call.param("email");
        name = name.section(QLatin1Char('@'), 0, 0);
        const QList<Database::Row> rows =
            m_server.db().query("SELECT id, password FROM users WHERE screen_name = ?", {name});
        if (rows.isEmpty() || rows.first().at(1).toString() != call.param("pass")) {
            // The page again, as a real log-in form does.
            authorizePage(call);
            call.body.replace("<h1>Log in to Facebook</h1>",
                              "<h1>Log in to Facebook</h1><p id=\"error\">Wrong e-mail or "
                              "password.</p>");
            return;
        }
        const QString code = randomText();
        m_server.db().exec("INSERT INTO fb_codes (code, user_id, client_id, redirect_uri, "
                           "challenge, created_at) VALUES (?, ?, ?, ?, ?, ?)",
                           {code, rows.first().at(0), call.param("client_id"),
                            call.param("redirect_uri"), call.param("code_challenge"), call.now});
        query.addQueryItem(QStringLiteral("code"), code);
    }
    query.addQueryItem(QStringLiteral("state"), call.param("state"));
    target.setQuery(query);
    call.text("", 302);
    call.addHeader("Location", target.toEncoded());
}

void FacebookApi::accessToken(SandboxCall &call)
{
    if (call.answerWithReplay())
        return;
    const QList<Database::Row> rows =
        m_server.db().query("SELECT user_id, client_id, redirect_uri, challenge, created_at, used "
                            "FROM fb_codes WHERE code = ?",
                            {call.param("code")});
    if (call.param("code").isEmpty() || rows.isEmpty()) {
        graphError(call, 100, QStringLiteral("Invalid verification code format."));
        return;
    }
    const Database::Row &row = rows.first();
    // A code is good once.
    m_server.db().exec("UPDATE fb_codes SET used = 1 WHERE code = ?", {call.param("code")});
    if (row.at(5).toInt() != 0 || call.now - row.at(4).toLongLong() > kCodeLifetimeSecs) {
        graphError(call, 100, QStringLiteral("This authorization code has expired or was used."));
        return;
    }
    if (call.param("client_id") != row.at(1).toString() ||
        call.param("redirect_uri") != row.at(2).toString()) {
        graphError(call, 100, QStringLiteral("Error validating verification code."));
        return;
    }
    const QByteArray digest = QCryptographicHash::hash(call.param("code_verifier").toLatin1(),
                                                       QCryptographicHash::Sha256);
    const QString challenge = QString::fromLatin1(
        digest.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
    if (call.param("code_verifier").size() < 43 || challenge != row.at(3).toString()) {
        graphError(call, 100, QStringLiteral("The code verifier does not match the challenge."));
        return;
    }
    const QString token = randomText();
    m_server.db().exec("INSERT INTO fb_tokens (token, user_id, created_at) VALUES (?, ?, ?)",
                       {token, row.at(0), call.now});
    call.account = QStringLiteral("fb:%1").arg(row.at(0).toLongLong());
    call.text(
        QStringLiteral("access_token=%1&expires=%2").arg(token).arg(kTokenExpiresSecs).toUtf8(),
        200, "text/plain; charset=utf-8");
}

qint64 FacebookApi::authenticate(SandboxCall &call)
{
    const QString token = call.param("access_token");
    const QVariant user =
        token.isEmpty()
            ? QVariant()
            : m_server.db().scalar("SELECT user_id FROM fb_tokens WHERE token = ?", {token});
    if (!user.isValid()) {
        graphError(call, 190, QStringLiteral("Invalid OAuth access token."));
        return 0;
    }
    call.account = QStringLiteral("fb:%1").arg(user.toLongLong());
    return user.toLongLong();
}

SandboxJson FacebookApi::userRecord(qint64 userId, const SandboxCall &call)
{
    const QList<Database::Row> rows = m_server.db().query(
        "SELECT screen_name, name, description FROM users WHERE id = ?", {userId});
    if (rows.isEmpty())
        return SandboxJson();
    const Database::Row &row = rows.first();
    const QString screenName = row.at(0).toString();
    const QString name = row.at(1).toString();
    SandboxJson u = SandboxJson::object();
    u.set(QStringLiteral("id"), graphUserId(userId));
    u.set(QStringLiteral("name"), name);
    u.set(QStringLiteral("first_name"), name.section(QLatin1Char(' '), 0, 0));
    u.set(QStringLiteral("last_name"), name.section(QLatin1Char(' '), 1));
    u.set(QStringLiteral("link"), webOrigin(call) + QLatin1Char('/') + screenName);
    u.set(QStringLiteral("about"), row.at(2).toString());
    u.set(QStringLiteral("birthday"),
          QStringLiteral("04/%1/1980").arg(1 + userId % 28, 2, 10, QLatin1Char('0')));
    u.set(QStringLiteral("email"), screenName + QStringLiteral("@example.com"));
    u.set(QStringLiteral("picture"),
          call.origin().replace(QLatin1String(kGraphHost), QLatin1String(kWebHost)) +
              QStringLiteral("/pictures/") + screenName);
    return u;
}

SandboxJson FacebookApi::postRecord(const QVariantList &row, const SandboxCall &call)
{
    // id, from_id, message, created_at, link, name, likes
    const qint64 postId = row.at(0).toLongLong();
    const qint64 fromId = row.at(1).toLongLong();
    SandboxJson p = SandboxJson::object();
    const QString id = graphUserId(fromId) + QLatin1Char('_') + QString::number(postId);
    p.set(QStringLiteral("id"), id);
    SandboxJson from = SandboxJson::object();
    from.set(QStringLiteral("name"),
             m_server.db().scalar("SELECT name FROM users WHERE id = ?", {fromId}).toString());
    from.set(QStringLiteral("id"), graphUserId(fromId));
    p.set(QStringLiteral("from"), from);
    p.set(QStringLiteral("message"), row.at(2).toString());
    if (!row.at(4).isNull()) {
        p.set(QStringLiteral("link"), row.at(4).toString());
        p.set(QStringLiteral("name"), row.at(5).toString());
    }
    SandboxJson actions = SandboxJson::array();
    for (const char *action : {"Comment", "Like"}) {
        SandboxJson a = SandboxJson::object();
        a.set(QStringLiteral("name"), action);
        a.set(QStringLiteral("link"), webOrigin(call) + QStringLiteral("/posts/") + id);
        actions.append(a);
    }
    p.set(QStringLiteral("actions"), actions);
    p.set(QStringLiteral("likes"), row.at(6).toLongLong());
    const QList<Database::Row> comments = m_server.db().query(
        "SELECT c.id, c.from_id, c.message, c.created_at, u.name FROM fb_comments c "
        "JOIN users u ON u.id = c.from_id WHERE c.post_id = ? ORDER BY c.id",
        {postId});
    if (!comments.isEmpty()) {
        SandboxJson data = SandboxJson::array();
        for (const Database::Row &c : comments) {
            SandboxJson comment = SandboxJson::object();
            comment.set(QStringLiteral("id"), id + QLatin1Char('_') + c.at(0).toString());
            SandboxJson author = SandboxJson::object();
            author.set(QStringLiteral("name"), c.at(4).toString());
            author.set(QStringLiteral("id"), graphUserId(c.at(1).toLongLong()));
            comment.set(QStringLiteral("from"), author);
            comment.set(QStringLiteral("message"), c.at(2).toString());
            comment.set(QStringLiteral("created_time"), graphTime(c.at(3).toLongLong()));
            data.append(comment);
        }
        SandboxJson box = SandboxJson::object();
        box.set(QStringLiteral("data"), data);
        box.set(QStringLiteral("count"), qint64(comments.size()));
        p.set(QStringLiteral("comments"), box);
    }
    p.set(QStringLiteral("created_time"), graphTime(row.at(3).toLongLong()));
    p.set(QStringLiteral("updated_time"), graphTime(row.at(3).toLongLong()));
    return p;
}

void FacebookApi::newsFeed(SandboxCall &call, qint64)
{
    const qint64 limit = boundInt(1, call.intParam("limit", 25), 100);
    const qint64 since = call.intParam("since", 0);
    const QList<Database::Row> rows = m_server.db().query(
        "SELECT id, from_id, message, created_at, link, name, likes FROM fb_posts "
        "WHERE created_at > ? ORDER BY created_at DESC, id DESC LIMIT ?",
        {since, limit});
    SandboxJson data = SandboxJson::array();
    for (const Database::Row &row : rows)
        data.append(postRecord(row, call));
    SandboxJson out = SandboxJson::object();
    out.set(QStringLiteral("data"), data);
    call.json(out);
}

void FacebookApi::objects(SandboxCall &call, qint64 userId)
{
    const QStringList ids = call.param("ids").split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (ids.isEmpty() || ids.size() > kMaxIds) {
        graphError(call, 100, QStringLiteral("Between 1 and %1 ids are required.").arg(kMaxIds));
        return;
    }
    SandboxJson out = SandboxJson::object();
    QStringList missing;
    for (const QString &id : ids) {
        if (id.contains(QLatin1Char('_'))) {
            const QList<Database::Row> rows = m_server.db().query(
                "SELECT id, from_id, message, created_at, link, name, likes FROM fb_posts "
                "WHERE id = ? AND from_id = ?",
                {id.section(QLatin1Char('_'), 1, 1).toLongLong(),
                 sandboxUserId(id.section(QLatin1Char('_'), 0, 0))});
            if (rows.isEmpty())
                missing << id;
            else
                out.set(id, postRecord(rows.first(), call));
            continue;
        }
        const qint64 who = id == u"me" ? userId : sandboxUserId(id);
        SandboxJson record = who > 0 ? userRecord(who, call) : SandboxJson();
        if (record.type() == SandboxJson::Type::Null)
            missing << id;
        else
            out.set(id, record);
    }
    if (!missing.isEmpty()) {
        graphError(call, 803,
                   QStringLiteral("Some of the aliases you requested do not exist: %1")
                       .arg(missing.join(QLatin1Char(','))),
                   404);
        return;
    }
    call.json(out);
}

void FacebookApi::postStatus(SandboxCall &call, qint64 userId)
{
    const QString message = call.param("message");
    if (message.trimmed().isEmpty()) {
        graphError(call, 100, QStringLiteral("(#100) Missing message or attachment"));
        return;
    }
    if (message.size() > kMaxPostLength) {
        graphError(call, 100, QStringLiteral("(#100) The message is too long"));
        return;
    }
    m_server.db().exec("INSERT INTO fb_posts (from_id, message, created_at) VALUES (?, ?, ?)",
                       {userId, message, call.now});
    SandboxJson out = SandboxJson::object();
    out.set(QStringLiteral("id"),
            graphUserId(userId) + QLatin1Char('_') + QString::number(m_server.db().lastInsertId()));
    call.json(out);
}

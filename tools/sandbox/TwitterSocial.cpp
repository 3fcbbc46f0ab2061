// Users, the follow graph, blocks, saved searches, lists, trends, search and xAuth.
#include "TwitterApi.h"

#include "SandboxServer.h"
#include "Seeder.h"

#include <QHash>
#include <QUrl>
#include <httplib.h>

#include <algorithm>

namespace {

constexpr qint64 kMaxProfileImageBytes = 700 * 1024;
constexpr int kMaxSearchScan = 20000;

// A 1x1 PNG for users without an uploaded picture.
constexpr char kDefaultPngBase64[] = "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+"
                                     "M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==";

QString randomToken(std::mt19937 &rng, int length)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString out;
    for (int i = 0; i < length; ++i)
        out += QLatin1Char(alphabet[rng() % (sizeof(alphabet) - 1)]);
    return out;
}

} // namespace

void TwitterApi::friendship(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 target = targetUser(call, m.captured(2));
    if (target == 0)
        return error(call, 404, QStringLiteral("Not found"));
    if (m.captured(1) == u"create") {
        if (target == call.userId)
            return error(call, 403, QStringLiteral("You can't follow yourself."));
        if (m_db.scalar("SELECT 1 FROM blocks WHERE blocker = ? AND blocked = ?",
                        {target, call.userId})
                .isValid())
            return error(call, 403,
                         QStringLiteral("Could not follow user: you have been blocked."));
        m_db.exec(
            "INSERT OR IGNORE INTO follows (follower, followee, notifications) VALUES (?, ?, ?)",
            {call.userId, target, call.param("follow") == u"true" ? 1 : 0});
    } else {
        if (!follows(call.userId, target))
            return error(call, 403, QStringLiteral("You are not friends with the specified user."));
        m_db.exec("DELETE FROM follows WHERE follower = ? AND followee = ?", {call.userId, target});
    }
    call.json(userJson(target, call.userId, call.origin()));
}

void TwitterApi::friendshipExists(SandboxCall &call, const QRegularExpressionMatch &)
{
    const qint64 a = userByName(call.param("user_a"));
    const qint64 b = userByName(call.param("user_b"));
    if (a == 0 || b == 0)
        return error(call, 404, QStringLiteral("Not found"));
    call.json(SandboxJson(follows(a, b)));
}

void TwitterApi::friendshipShow(SandboxCall &call, const QRegularExpressionMatch &)
{
    const qint64 source =
        call.has("source_screen_name") ? userByName(call.param("source_screen_name")) : call.userId;
    const qint64 target = call.has("target_screen_name")
                              ? userByName(call.param("target_screen_name"))
                              : call.intParam("target_id", 0);
    if (source == 0 || target == 0)
        return error(call, 404, QStringLiteral("Not found"));
    auto side = [this](qint64 self, qint64 other) {
        SandboxJson j = SandboxJson::object();
        j.set(QStringLiteral("id"), self);
        j.set(QStringLiteral("screen_name"),
              m_db.scalar("SELECT screen_name FROM users WHERE id = ?", {self}).toString());
        j.set(QStringLiteral("following"), follows(self, other));
        j.set(QStringLiteral("followed_by"), follows(other, self));
        return j;
    };
    SandboxJson src = side(source, target);
    src.set(QStringLiteral("blocking"),
            m_db.scalar("SELECT 1 FROM blocks WHERE blocker = ? AND blocked = ?", {source, target})
                .isValid());
    src.set(QStringLiteral("notifications_enabled"),
            m_db.scalar("SELECT notifications FROM follows WHERE follower = ? AND followee = ?",
                        {source, target})
                    .toLongLong() != 0);
    SandboxJson rel = SandboxJson::object();
    rel.set(QStringLiteral("target"), side(target, source));
    rel.set(QStringLiteral("source"), src);
    SandboxJson out = SandboxJson::object();
    out.set(QStringLiteral("relationship"), rel);
    call.json(out);
}

void TwitterApi::followList(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 who = m.captured(2).isEmpty() && !call.has("screen_name") && !call.has("user_id")
                           ? call.userId
                           : targetUser(call, m.captured(2));
    const char *sql =
        m.captured(1) == u"followers"
            ? "SELECT follower FROM follows WHERE followee = ? ORDER BY follower LIMIT 100"
            : "SELECT followee FROM follows WHERE follower = ? ORDER BY followee LIMIT 100";
    SandboxJson out = SandboxJson::array();
    for (const Database::Row &row : m_db.query(sql, {who}))
        out.append(userJson(row.at(0).toLongLong(), call.userId, call.origin(), true));
    call.json(out);
}

void TwitterApi::idList(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 who = m.captured(2).isEmpty() && !call.has("screen_name") && !call.has("user_id")
                           ? call.userId
                           : targetUser(call, m.captured(2));
    const char *sql = m.captured(1) == u"followers"
                          ? "SELECT follower FROM follows WHERE followee = ? ORDER BY follower"
                          : "SELECT followee FROM follows WHERE follower = ? ORDER BY followee";
    SandboxJson out = SandboxJson::array();
    const qint64 limit = call.has("count") ? boundInt(1, call.intParam("count", 5000), 5000) : 5000;
    for (const Database::Row &row : m_db.query(sql, {who})) {
        if (out.size() >= limit)
            break;
        out.append(row.at(0).toLongLong());
    }
    call.json(out);
}

void TwitterApi::showUser(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 who = targetUser(call, m.captured(1));
    if (who == 0)
        return error(call, 404, QStringLiteral("Not found"));
    call.json(userJson(who, call.userId, call.origin(), true));
}

void TwitterApi::verifyCredentials(SandboxCall &call, const QRegularExpressionMatch &)
{
    const QString description = call.param("description");
    const QString location = call.param("location");
    if (call.has("description"))
        m_db.exec("UPDATE users SET description = ? WHERE id = ?",
                  {description.left(160), call.userId});
    if (call.has("location"))
        m_db.exec("UPDATE users SET location = ? WHERE id = ?", {location.left(30), call.userId});
    call.json(userJson(call.userId, call.userId, call.origin(), true));
}

void TwitterApi::updateProfileImage(SandboxCall &call, const QRegularExpressionMatch &)
{
    if (!call.req->has_file("image"))
        return error(call, 403, QStringLiteral("There was a problem with your picture."));
    const httplib::MultipartFormData file = call.req->get_file_value("image");
    if (file.content.empty())
        return error(call, 403, QStringLiteral("There was a problem with your picture."));
    if (qint64(file.content.size()) > kMaxProfileImageBytes)
        return error(call, 413, QStringLiteral("Image file size must be <= 700KB."));
    m_db.exec("UPDATE users SET image = ?, image_type = ? WHERE id = ?",
              {QByteArray::fromStdString(file.content),
               QString::fromStdString(file.content_type.empty() ? "image/jpeg" : file.content_type),
               call.userId});
    call.json(userJson(call.userId, call.userId, call.origin(), true));
}

QByteArray TwitterApi::defaultProfilePicture()
{
    return QByteArray::fromBase64(kDefaultPngBase64);
}

void TwitterApi::profileImage(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const Database::Row row =
        m_db.query("SELECT image, image_type FROM users WHERE id = ?", {m.captured(1).toLongLong()})
            .value(0);
    if (row.isEmpty())
        return error(call, 404, QStringLiteral("Not found"));
    if (row.at(0).isNull())
        call.text(QByteArray::fromBase64(kDefaultPngBase64), 200, "image/png");
    else
        call.text(row.at(0).toByteArray(), 200, row.at(1).toString().toLatin1());
}

void TwitterApi::notifications(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 target = targetUser(call, m.captured(2));
    if (target == 0 || !follows(call.userId, target))
        return error(call, 403, QStringLiteral("You are not friends with the specified user."));
    m_db.exec("UPDATE follows SET notifications = ? WHERE follower = ? AND followee = ?",
              {m.captured(1) == u"follow" ? 1 : 0, call.userId, target});
    call.json(userJson(target, call.userId, call.origin()));
}

void TwitterApi::block(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 target = targetUser(call, m.captured(2));
    if (target == 0 || target == call.userId)
        return error(call, 404, QStringLiteral("Not found"));
    if (m.captured(1) == u"create") {
        m_db.exec("INSERT OR IGNORE INTO blocks (blocker, blocked) VALUES (?, ?)",
                  {call.userId, target});
        // A block ends the friendship both ways.
        m_db.exec("DELETE FROM follows WHERE (follower = ? AND followee = ?) OR (follower = ? AND "
                  "followee = ?)",
                  {call.userId, target, target, call.userId});
    } else {
        m_db.exec("DELETE FROM blocks WHERE blocker = ? AND blocked = ?", {call.userId, target});
    }
    call.json(userJson(target, call.userId, call.origin()));
}

void TwitterApi::blockExists(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 target = targetUser(call, m.captured(1));
    if (target == 0 || !m_db.scalar("SELECT 1 FROM blocks WHERE blocker = ? AND blocked = ?",
                                    {call.userId, target})
                            .isValid())
        return error(call, 404, QStringLiteral("You are not blocking this user."));
    call.json(userJson(target, call.userId, call.origin()));
}

void TwitterApi::blocking(SandboxCall &call, const QRegularExpressionMatch &m)
{
    SandboxJson out = SandboxJson::array();
    for (const Database::Row &row : m_db.query(
             "SELECT blocked FROM blocks WHERE blocker = ? ORDER BY blocked", {call.userId})) {
        if (m.captured(1) == u"ids")
            out.append(row.at(0).toLongLong());
        else
            out.append(userJson(row.at(0).toLongLong(), call.userId, call.origin()));
    }
    call.json(out);
}

void TwitterApi::reportSpam(SandboxCall &call, const QRegularExpressionMatch &)
{
    const qint64 target = targetUser(call, QString());
    if (target == 0 || target == call.userId)
        return error(call, 404, QStringLiteral("Not found"));
    m_db.exec("INSERT INTO spam_reports (reporter, reported, created_at) VALUES (?, ?, ?)",
              {call.userId, target, call.now});
    m_db.exec("INSERT OR IGNORE INTO blocks (blocker, blocked) VALUES (?, ?)",
              {call.userId, target});
    m_db.exec("DELETE FROM follows WHERE follower = ? AND followee = ?", {call.userId, target});
    call.json(userJson(target, call.userId, call.origin()));
}

// --- saved searches and lists ---------------------------------------------------------

namespace {
SandboxJson savedSearchJson(const Database::Row &row)
{
    // id, name, query, created_at
    SandboxJson j = SandboxJson::object();
    j.set(QStringLiteral("name"), row.at(1).toString());
    j.set(QStringLiteral("position"), SandboxJson());
    j.set(QStringLiteral("created_at"), twitterDate(row.at(3).toLongLong()));
    j.set(QStringLiteral("id"), row.at(0).toLongLong());
    j.set(QStringLiteral("id_str"), row.at(0).toString());
    j.set(QStringLiteral("query"), row.at(2).toString());
    return j;
}
} // namespace

void TwitterApi::savedSearches(SandboxCall &call, const QRegularExpressionMatch &)
{
    SandboxJson out = SandboxJson::array();
    for (const Database::Row &row :
         m_db.query("SELECT id, name, query, created_at FROM saved_searches WHERE user_id = ? "
                    "ORDER BY id",
                    {call.userId}))
        out.append(savedSearchJson(row));
    call.json(out);
}

void TwitterApi::savedSearchShow(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 id = m.captured(1).isEmpty() ? call.intParam("id", 0) : m.captured(1).toLongLong();
    const Database::Row row = m_db.query("SELECT id, name, query, created_at FROM saved_searches "
                                         "WHERE id = ? AND user_id = ?",
                                         {id, call.userId})
                                  .value(0);
    if (row.isEmpty())
        return error(call, 404, QStringLiteral("Not found"));
    call.json(savedSearchJson(row));
}

void TwitterApi::savedSearchCreate(SandboxCall &call, const QRegularExpressionMatch &)
{
    const QString query = call.param("query").trimmed();
    if (query.isEmpty() || query.size() > 500)
        return error(call, 403, QStringLiteral("Query is empty or too long."));
    const QVariant existing = m_db.scalar(
        "SELECT id FROM saved_searches WHERE user_id = ? AND query = ?", {call.userId, query});
    qint64 id = existing.toLongLong();
    if (!existing.isValid()) {
        id = qMax<qint64>(7095598, m_db.scalar("SELECT MAX(id) FROM saved_searches").toLongLong()) +
             1;
        m_db.exec("INSERT INTO saved_searches (id, user_id, name, query, created_at) VALUES "
                  "(?,?,?,?,?)",
                  {id, call.userId, query, query, call.now});
    }
    call.json(savedSearchJson(
        m_db.query("SELECT id, name, query, created_at FROM saved_searches WHERE id = ?", {id})
            .value(0)));
}

void TwitterApi::savedSearchDestroy(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 id = m.captured(1).toLongLong();
    const Database::Row row = m_db.query("SELECT id, name, query, created_at FROM saved_searches "
                                         "WHERE id = ? AND user_id = ?",
                                         {id, call.userId})
                                  .value(0);
    if (row.isEmpty())
        return error(call, 404, QStringLiteral("Not found"));
    m_db.exec("DELETE FROM saved_searches WHERE id = ?", {id});
    call.json(savedSearchJson(row));
}

void TwitterApi::lists(SandboxCall &call, const QRegularExpressionMatch &m)
{
    if (call.method == "POST")
        return createList(call, m);
    const qint64 owner = userByName(m.captured(1));
    if (owner == 0)
        return error(call, 404, QStringLiteral("Not found"));
    const bool subscriptions = !m.captured(2).isEmpty();
    const char *sql =
        subscriptions ? "SELECT l.id, l.owner, l.slug, l.name, l.mode FROM lists l JOIN "
                        "list_subscribers s ON s.list_id = l.id WHERE s.user_id = ? ORDER BY l.id"
                      : "SELECT id, owner, slug, name, mode FROM lists WHERE owner = ? ORDER BY id";
    SandboxJson array = SandboxJson::array();
    for (const Database::Row &row : m_db.query(sql, {owner})) {
        const qint64 id = row.at(0).toLongLong();
        const qint64 listOwner = row.at(1).toLongLong();
        if (row.at(4).toString() != u"public" && listOwner != call.userId)
            continue;
        const QString ownerName =
            m_db.scalar("SELECT screen_name FROM users WHERE id = ?", {listOwner}).toString();
        SandboxJson j = SandboxJson::object();
        j.set(QStringLiteral("mode"), row.at(4).toString());
        j.set(QStringLiteral("uri"), QStringLiteral("/%1/%2").arg(ownerName, row.at(2).toString()));
        j.set(
            QStringLiteral("member_count"),
            m_db.scalar("SELECT COUNT(*) FROM list_members WHERE list_id = ?", {id}).toLongLong());
        j.set(QStringLiteral("slug"), row.at(2).toString());
        j.set(QStringLiteral("subscriber_count"),
              m_db.scalar("SELECT COUNT(*) FROM list_subscribers WHERE list_id = ?", {id})
                  .toLongLong());
        j.set(QStringLiteral("full_name"),
              QStringLiteral("@%1/%2").arg(ownerName, row.at(2).toString()));
        j.set(QStringLiteral("user"), userJson(listOwner, call.userId, call.origin()));
        j.set(QStringLiteral("name"), row.at(3).toString());
        j.set(QStringLiteral("id"), id);
        array.append(j);
    }
    SandboxJson out = SandboxJson::object();
    out.set(QStringLiteral("lists"), array);
    out.set(QStringLiteral("next_cursor"), 0);
    out.set(QStringLiteral("previous_cursor"), 0);
    call.json(out);
}

// --- trends and search (unsigned) -------------------------------------------------------

void TwitterApi::trends(SandboxCall &call, const QRegularExpressionMatch &)
{
    QHash<QString, int> counts;
    static const QRegularExpression tag(QStringLiteral("#\\w+"));
    for (const Database::Row &row :
         m_db.query("SELECT text FROM statuses WHERE deleted = 0 AND created_at > ?",
                    {call.now - 3 * 86400})) {
        auto it = tag.globalMatch(row.at(0).toString());
        while (it.hasNext())
            ++counts[it.next().captured(0).toLower()];
    }
    QList<QPair<int, QString>> ranked;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        ranked.append({-it.value(), it.key()});
    std::sort(ranked.begin(), ranked.end());
    for (const char *fallback : {"Qt 6", "Linux desktop", "AT&T"}) {
        if (ranked.size() >= 10)
            break;
        ranked.append({0, QString::fromLatin1(fallback)});
    }
    SandboxJson list = SandboxJson::array();
    for (qsizetype i = 0; i < qMin<qsizetype>(10, ranked.size()); ++i) {
        SandboxJson t = SandboxJson::object();
        const QString name = ranked.at(i).second;
        t.set(QStringLiteral("name"), name);
        t.set(QStringLiteral("url"), call.origin() + QStringLiteral("/search?q=") +
                                         QString::fromUtf8(QUrl::toPercentEncoding(name)));
        list.append(t);
    }
    SandboxJson out = SandboxJson::object();
    out.set(QStringLiteral("trends"), list);
    out.set(QStringLiteral("as_of"), searchDate(call.now));
    call.json(out);
}

namespace {

// One alternative of a search query: every term must hold.
struct SearchTerm
{
    enum Kind
    {
        Word,
        From,
        To,
        Exclude
    } kind = Word;
    QString value; // lower case
};

QList<QList<SearchTerm>> parseQuery(const QString &q)
{
    QList<QList<SearchTerm>> alternatives(1);
    static const QRegularExpression token(QStringLiteral("\"([^\"]*)\"|(\\S+)"));
    auto it = token.globalMatch(q);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const bool quoted = m.capturedStart(1) >= 0;
        const QString word = quoted ? m.captured(1) : m.captured(2);
        if (!quoted && word == u"OR") {
            alternatives.append(QList<SearchTerm>());
            continue;
        }
        SearchTerm term;
        const QString lower = word.toLower();
        if (!quoted && lower.startsWith(QLatin1String("from:"))) {
            term.kind = SearchTerm::From;
            term.value = lower.mid(5);
        } else if (!quoted && lower.startsWith(QLatin1String("to:"))) {
            term.kind = SearchTerm::To;
            term.value = lower.mid(3);
        } else if (!quoted && lower.startsWith(u'-') && lower.size() > 1) {
            term.kind = SearchTerm::Exclude;
            term.value = lower.mid(1);
        } else {
            term.value = lower;
        }
        if (!term.value.isEmpty())
            alternatives.last().append(term);
    }
    alternatives.removeIf([](const QList<SearchTerm> &a) { return a.isEmpty(); });
    return alternatives;
}

bool matches(const QList<QList<SearchTerm>> &query, const QString &text, const QString &author,
             const QString &replyTo)
{
    const QString lower = text.toLower();
    for (const QList<SearchTerm> &alternative : query) {
        bool all = true;
        for (const SearchTerm &t : alternative) {
            switch (t.kind) {
            case SearchTerm::Word:
                all = lower.contains(t.value);
                break;
            case SearchTerm::From:
                all = author == t.value;
                break;
            case SearchTerm::To:
                all = replyTo == t.value || lower.startsWith(u'@' + t.value);
                break;
            case SearchTerm::Exclude:
                all = !lower.contains(t.value);
                break;
            }
            if (!all)
                break;
        }
        if (all)
            return true;
    }
    return false;
}

} // namespace

void TwitterApi::search(SandboxCall &call, const QRegularExpressionMatch &)
{
    const QString q = call.param("q").trimmed();
    if (q.isEmpty() || q.size() > 1000)
        return error(call, 403, QStringLiteral("You must enter a query."));
    const auto query = parseQuery(q);
    const qint64 rpp = boundInt(1, call.intParam("rpp", 15), 100);
    const qint64 page = boundInt(1, call.intParam("page", 1), 15);
    const qint64 since = call.intParam("since_id", call.intParam("since", 0));
    const qint64 maxId = call.intParam("max_id", 0);
    const bool showUser = call.param("show_user") == u"true";

    QString sql = QStringLiteral(
        "SELECT s.id, s.user_id, s.text, s.created_at, s.source, s.in_reply_to_user_id, "
        "s.in_reply_to_screen_name, u.screen_name FROM statuses s JOIN users u ON u.id = s.user_id "
        "WHERE s.deleted = 0 AND u.protected = 0 AND s.id > ?");
    QVariantList args = {since};
    if (maxId > 0) {
        sql += QStringLiteral(" AND s.id <= ?");
        args << maxId;
    }
    sql += QStringLiteral(" ORDER BY s.id DESC LIMIT ?");
    args << kMaxSearchScan;
    const qint64 skip = (page - 1) * rpp;
    qint64 seen = 0;
    qint64 top = 0;
    bool more = false;
    SandboxJson results = SandboxJson::array();
    for (const Database::Row &row : m_db.query(sql.toUtf8(), args)) {
        const QString text = expand(row.at(2).toString());
        const QString author = row.at(7).toString();
        if (!matches(query, text, author.toLower(), row.at(6).toString().toLower()))
            continue;
        const qint64 id = row.at(0).toLongLong();
        top = qMax(top, id);
        if (seen++ < skip)
            continue;
        if (results.size() >= rpp) {
            more = true;
            break;
        }
        SandboxJson r = SandboxJson::object();
        r.set(QStringLiteral("text"), showUser ? author + QStringLiteral(": ") + text : text);
        r.set(QStringLiteral("to_user_id"),
              row.at(5).isNull() ? SandboxJson() : SandboxJson(row.at(5).toLongLong()));
        if (!row.at(6).isNull())
            r.set(QStringLiteral("to_user"), row.at(6).toString());
        r.set(QStringLiteral("from_user"), author);
        r.set(QStringLiteral("id"), id);
        r.set(QStringLiteral("from_user_id"), row.at(1).toLongLong());
        r.set(QStringLiteral("iso_language_code"), "en");
        r.set(QStringLiteral("source"), row.at(4).toString().toHtmlEscaped());
        r.set(QStringLiteral("profile_image_url"), QStringLiteral("%1/profile_images/%2/normal.png")
                                                       .arg(call.origin())
                                                       .arg(row.at(1).toLongLong()));
        r.set(QStringLiteral("created_at"), searchDate(row.at(3).toLongLong()));
        results.append(r);
    }
    const QString encoded = QString::fromUtf8(QUrl::toPercentEncoding(q));
    SandboxJson out = SandboxJson::object();
    out.set(QStringLiteral("results"), results);
    out.set(QStringLiteral("since_id"), since);
    out.set(QStringLiteral("max_id"), maxId > 0 ? maxId : top);
    out.set(QStringLiteral("refresh_url"),
            QStringLiteral("?since_id=%1&q=%2").arg(top).arg(encoded));
    out.set(QStringLiteral("results_per_page"), rpp);
    if (more)
        out.set(QStringLiteral("next_page"), QStringLiteral("?page=%1&max_id=%2&q=%3")
                                                 .arg(page + 1)
                                                 .arg(maxId > 0 ? maxId : top)
                                                 .arg(encoded));
    out.set(QStringLiteral("completed_in"), 0.01);
    out.set(QStringLiteral("page"), page);
    out.set(QStringLiteral("query"), encoded);
    call.json(out);
}

// --- xAuth ------------------------------------------------------------------------------

void TwitterApi::accessToken(SandboxCall &call, const QRegularExpressionMatch &)
{
    if (call.param("x_auth_mode") != u"client_auth")
        return error(call, 401,
                     QStringLiteral("Client application is not permitted to use xAuth."));
    const Database::Row user =
        m_db.query("SELECT id, screen_name, password, token, token_secret FROM users WHERE "
                   "screen_name = ? COLLATE NOCASE",
                   {call.param("x_auth_username")})
            .value(0);
    if (user.isEmpty() || user.at(2).toString() != call.param("x_auth_password")) {
        call.account = QStringLiteral("(401: wrong user name or password)");
        return error(call, 401, QStringLiteral("Invalid user name or password"));
    }
    const qint64 id = user.at(0).toLongLong();
    QString token = user.at(3).toString();
    QString secret = user.at(4).toString();
    if (token.isEmpty()) {
        // One token per user, like a real application's: repeated exchanges answer the same pair.
        token = QStringLiteral("%1-%2").arg(id).arg(randomToken(m_server.rng(), 40));
        secret = randomToken(m_server.rng(), 40);
        m_db.exec("UPDATE users SET token = ?, token_secret = ? WHERE id = ?", {token, secret, id});
    }
    call.account = user.at(1).toString();
    call.text(QStringLiteral(
                  "oauth_token=%1&oauth_token_secret=%2&user_id=%3&screen_name=%4&x_auth_expires=0")
                  .arg(token, secret)
                  .arg(id)
                  .arg(QString::fromLatin1(QUrl::toPercentEncoding(user.at(1).toString())))
                  .toUtf8());
}

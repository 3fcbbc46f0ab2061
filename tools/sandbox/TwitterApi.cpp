#include "TwitterApi.h"

#include "SandboxServer.h"
#include "Seeder.h"

#include <httplib.h>

namespace {

constexpr char kStatusColumns[] =
    "s.id, s.user_id, s.text, s.created_at, s.source, s.in_reply_to_status_id, "
    "s.in_reply_to_user_id, s.in_reply_to_screen_name, s.retweet_of, s.deleted";
enum StatusColumn
{
    SId,
    SUser,
    SText,
    SCreated,
    SSource,
    SReplyId,
    SReplyUser,
    SReplyName,
    SRetweetOf,
    SDeleted
};

constexpr int kMaxCount = 200;
constexpr int kMaxScan = 20000; // rows a filtered timeline looks at
constexpr int kMaxStatusLength = 140;

QString sqlFor(const QString &where, const QString &tail = QString())
{
    return QStringLiteral("SELECT %1 FROM statuses s WHERE %2 %3")
        .arg(QLatin1String(kStatusColumns), where, tail);
}

QVariant orNull(const QVariant &v)
{
    return v.isValid() ? v : QVariant();
}

} // namespace

TwitterApi::TwitterApi(SandboxServer &server)
    : m_server(server)
    , m_db(server.db())
{
    auto add = [this](const char *methods, const char *pattern, Auth auth, Handler h) {
        m_routes.push_back(
            {QByteArray(methods),
             QRegularExpression(QRegularExpression::anchoredPattern(QString::fromLatin1(pattern))),
             auth, h});
    };
    const Auth S = Auth::Signed;
    add("GET", "/1/statuses/(?:home|friends)_timeline", S, &TwitterApi::home);
    add("GET", "/1/statuses/user_timeline(?:/(\\w+))?", S, &TwitterApi::userTimeline);
    add("GET", "/1/statuses/mentions", S, &TwitterApi::mentions);
    add("GET", "/1/statuses/show/(\\d+)", S, &TwitterApi::showStatus);
    add("POST", "/1/statuses/update", S, &TwitterApi::updateStatus);
    add("POST DELETE", "/1/statuses/destroy/(\\d+)", S, &TwitterApi::destroyStatus);
    add("POST", "/1/statuses/retweet/(\\d+)", S, &TwitterApi::retweet);
    add("GET", "/1/statuses/retweeted_by_me", S, &TwitterApi::retweetedByMe);
    add("GET", "/1/statuses/retweeted_to_me", S, &TwitterApi::retweetedToMe);
    add("GET", "/1/statuses/retweets_of_me", S, &TwitterApi::retweetsOfMe);
    add("GET", "/1/favorites", S, &TwitterApi::favorites);
    add("POST", "/1/favorites/(create|destroy)/(\\d+)", S, &TwitterApi::favorite);
    add("GET", "/1/direct_messages(/sent)?", S, &TwitterApi::directMessages);
    add("POST", "/1/direct_messages/new", S, &TwitterApi::newDirectMessage);
    add("POST DELETE", "/1/direct_messages/destroy/(\\d+)", S, &TwitterApi::destroyDirectMessage);
    add("POST", "/1/friendships/(create|destroy)(?:/(\\w+))?", S, &TwitterApi::friendship);
    add("GET", "/1/friendships/exists", S, &TwitterApi::friendshipExists);
    add("GET", "/1/friendships/show", S, &TwitterApi::friendshipShow);
    add("GET", "/1/statuses/(followers|friends)(?:/(\\w+))?", S, &TwitterApi::followList);
    add("GET", "/1/(friends|followers)/ids(?:/(\\w+))?", S, &TwitterApi::idList);
    add("GET", "/1/users/show(?:/(\\w+))?", S, &TwitterApi::showUser);
    add("GET", "/1/account/verify_credentials", S, &TwitterApi::verifyCredentials);
    add("GET POST", "/1/account/update_profile", S, &TwitterApi::verifyCredentials);
    add("POST", "/1/account/update_profile_image", S, &TwitterApi::updateProfileImage);
    add("GET POST", "/1/notifications/(follow|leave)(?:/(\\w+))?", S, &TwitterApi::notifications);
    add("POST", "/1/blocks/(create|destroy)(?:/(\\w+))?", S, &TwitterApi::block);
    add("GET", "/1/blocks/exists(?:/(\\w+))?", S, &TwitterApi::blockExists);
    add("GET", "/1/blocks/(blocking|ids)", S, &TwitterApi::blocking);
    add("POST", "/1/report_spam", S, &TwitterApi::reportSpam);
    add("GET", "/1/saved_searches", S, &TwitterApi::savedSearches);
    add("GET", "/1/saved_searches/show(?:/(\\d+))?", S, &TwitterApi::savedSearchShow);
    add("POST", "/1/saved_searches/create", S, &TwitterApi::savedSearchCreate);
    add("POST DELETE", "/1/saved_searches/destroy/(\\d+)", S, &TwitterApi::savedSearchDestroy);
    add("GET POST", "/1/(\\w+)/lists(/subscriptions)?", S, &TwitterApi::lists);
    add("GET", "/1/(\\w+)/lists/([\\w-]+)/statuses", S, &TwitterApi::listStatuses);
    add("POST DELETE", "/1/(\\w+)/lists/([\\w-]+)", S, &TwitterApi::changeList);
    add("GET POST DELETE", "/1/(\\w+)/([\\w-]+)/members", S, &TwitterApi::listMembers);
    add("POST DELETE", "/1/(\\w+)/([\\w-]+)/subscribers", S, &TwitterApi::listSubscribers);
    add("GET", "/1/trends(?:/current)?", Auth::Unsigned, &TwitterApi::trends);
    add("GET", "/search", Auth::Unsigned, &TwitterApi::search);
    add("POST", "/oauth/access_token", Auth::XAuth, &TwitterApi::accessToken);
    add("GET", "/profile_images/(\\d+)/[\\w.-]+", Auth::Unsigned, &TwitterApi::profileImage);
}

bool TwitterApi::handle(SandboxCall &call)
{
    QString path = call.path;
    if (path.endsWith(QLatin1String(".json")))
        path.chop(5);
    for (const Route &route : m_routes) {
        const QRegularExpressionMatch match = route.path.match(path);
        if (!match.hasMatch())
            continue;
        if (!route.methods.split(' ').contains(call.method)) {
            error(call, 405,
                  QStringLiteral("This method requires a %1.")
                      .arg(QString::fromLatin1(route.methods)));
            return true;
        }
        if (!passesChecks(call, route.auth))
            return true;
        // An injected fault stands for the service failing, after it let the caller in.
        if (call.injectedStatus > 0) {
            SandboxServer::answerInjectedFault(call);
            return true;
        }
        if (!call.answerWithReplay())
            (this->*route.handler)(call, match);
        return true;
    }
    // A recorded answer for a path the sandbox does not serve itself: signed like every
    // version-1 path but search and trends.
    if (!call.replay)
        return false;
    const bool unsignedPath =
        path.startsWith(QLatin1String("/search")) || path.startsWith(QLatin1String("/1/trends"));
    if (passesChecks(call, unsignedPath ? Auth::Unsigned : Auth::Signed))
        call.answerWithReplay();
    return true;
}

bool TwitterApi::passesChecks(SandboxCall &call, Auth auth)
{
    if (auth != Auth::Unsigned) {
        OAuthVerifier::Request r;
        r.method = call.method;
        r.scheme = call.tls ? "https" : "http";
        r.host = call.hostHeader;
        r.path = call.rawPath;
        r.queryParams = call.query;
        if (call.header("Content-Type").startsWith("application/x-www-form-urlencoded"))
            r.bodyParams = call.form;
        r.authorization = call.authorization;
        qint64 tokenUser = 0;
        const OAuthVerifier::Result verdict = m_server.oauth().verify(
            r, call.now, [this, &tokenUser](const QByteArray &token, QByteArray *secret) {
                const Database::Row row =
                    m_db.query("SELECT id, token_secret FROM users WHERE token = ?",
                               {QString::fromUtf8(token)})
                        .value(0);
                if (row.isEmpty())
                    return false;
                tokenUser = row.at(0).toLongLong();
                *secret = row.at(1).toString().toUtf8();
                return true;
            });
        if (!verdict.ok) {
            call.account = QStringLiteral("(401: %1)").arg(verdict.error);
            error(call, 401, QStringLiteral("Could not authenticate you."));
            return false;
        }
        if (auth == Auth::Signed) {
            if (tokenUser == 0) {
                call.account = QStringLiteral("(401: no token)");
                error(call, 401, QStringLiteral("Could not authenticate you."));
                return false;
            }
            call.userId = tokenUser;
            call.account =
                m_db.scalar("SELECT screen_name FROM users WHERE id = ?", {tokenUser}).toString();
            const SandboxServer::RateLimit rate =
                m_server.rateLimitFor(tokenUser, call.method == "GET", call.now);
            call.addHeader("X-Ratelimit-Limit", QByteArray::number(rate.limit));
            call.addHeader("X-Ratelimit-Remaining", QByteArray::number(rate.remaining));
            call.addHeader("X-Ratelimit-Reset", QByteArray::number(rate.reset));
            if (rate.exceeded) {
                error(call, 400,
                      QStringLiteral("Rate limit exceeded. Clients may not make more than "
                                     "%1 requests per hour.")
                          .arg(rate.limit));
                return false;
            }
        }
    }
    return true;
}

// --- rendering --------------------------------------------------------------------

QString TwitterApi::expand(QString text) const
{
    return text.replace(QLatin1String(Seeder::kPortToken), QString::number(m_server.tlsPort()));
}

void TwitterApi::error(SandboxCall &call, int status, const QString &message)
{
    SandboxJson err = SandboxJson::object();
    err.set(QStringLiteral("request"), call.path);
    err.set(QStringLiteral("error"), message);
    call.json(err, status);
}

bool TwitterApi::follows(qint64 a, qint64 b)
{
    return m_db.scalar("SELECT 1 FROM follows WHERE follower = ? AND followee = ?", {a, b})
        .isValid();
}

SandboxJson TwitterApi::userJson(qint64 id, qint64 viewer, const QString &origin, bool withStatus)
{
    const Database::Row u =
        m_db.query("SELECT id, screen_name, name, description, location, url, created_at, "
                   "protected, verified, utc_offset, time_zone FROM users WHERE id = ?",
                   {id})
            .value(0);
    if (u.isEmpty())
        return SandboxJson();
    auto count = [this, id](const char *sql) { return m_db.scalar(sql, {id}).toLongLong(); };
    const Database::Row rel =
        m_db.query("SELECT notifications FROM follows WHERE follower = ? AND followee = ?",
                   {viewer, id})
            .value(0);
    SandboxJson j = SandboxJson::object();
    j.set(QStringLiteral("id"), id);
    j.set(QStringLiteral("id_str"), QString::number(id));
    j.set(QStringLiteral("name"), u.at(2).toString());
    j.set(QStringLiteral("screen_name"), u.at(1).toString());
    j.set(QStringLiteral("location"), u.at(4).toString());
    j.set(QStringLiteral("description"), u.at(3).toString());
    j.set(QStringLiteral("profile_image_url"),
          QStringLiteral("%1/profile_images/%2/normal.png").arg(origin).arg(id));
    j.set(QStringLiteral("url"),
          u.at(5).isNull() ? SandboxJson() : SandboxJson(u.at(5).toString()));
    j.set(QStringLiteral("protected"), u.at(7).toLongLong() != 0);
    j.set(QStringLiteral("followers_count"),
          count("SELECT COUNT(*) FROM follows WHERE followee = ?"));
    j.set(QStringLiteral("friends_count"),
          count("SELECT COUNT(*) FROM follows WHERE follower = ?"));
    j.set(QStringLiteral("favourites_count"),
          count("SELECT COUNT(*) FROM favorites WHERE user_id = ?"));
    j.set(QStringLiteral("statuses_count"),
          count("SELECT COUNT(*) FROM statuses WHERE user_id = ? AND deleted = 0"));
    j.set(QStringLiteral("created_at"), twitterDate(u.at(6).toLongLong()));
    j.set(QStringLiteral("utc_offset"), u.at(9).toLongLong());
    j.set(QStringLiteral("time_zone"), u.at(10).toString());
    j.set(QStringLiteral("verified"), u.at(8).toLongLong() != 0);
    j.set(QStringLiteral("following"), !rel.isEmpty());
    j.set(QStringLiteral("notifications"), !rel.isEmpty() && rel.at(0).toLongLong() != 0);
    j.set(QStringLiteral("profile_background_color"), "1A1B1F");
    j.set(QStringLiteral("profile_text_color"), "666666");
    j.set(QStringLiteral("profile_link_color"), "2FC2EF");
    j.set(QStringLiteral("profile_sidebar_fill_color"), "252429");
    j.set(QStringLiteral("profile_sidebar_border_color"), "181A1E");
    j.set(QStringLiteral("profile_background_image_url"),
          QStringLiteral("%1/profile_images/%2/background.png").arg(origin).arg(id));
    j.set(QStringLiteral("profile_background_tile"), false);
    if (withStatus) {
        const Database::Row latest =
            m_db.query(sqlFor(QStringLiteral("s.user_id = ? AND s.deleted = 0"),
                              QStringLiteral("ORDER BY s.id DESC LIMIT 1"))
                           .toUtf8(),
                       {id})
                .value(0);
        if (!latest.isEmpty())
            j.set(QStringLiteral("status"), statusJson(latest, viewer, origin, false));
    }
    return j;
}

SandboxJson TwitterApi::statusJson(const Database::Row &row, qint64 viewer, const QString &origin,
                                   bool withUser)
{
    const qint64 id = row.at(SId).toLongLong();
    SandboxJson j = SandboxJson::object();
    j.set(QStringLiteral("in_reply_to_screen_name"),
          row.at(SReplyName).isNull() ? SandboxJson() : SandboxJson(row.at(SReplyName).toString()));
    if (withUser)
        j.set(QStringLiteral("user"), userJson(row.at(SUser).toLongLong(), viewer, origin));
    j.set(QStringLiteral("text"), expand(row.at(SText).toString()));
    j.set(QStringLiteral("truncated"), false);
    j.set(QStringLiteral("geo"), SandboxJson());
    j.set(QStringLiteral("in_reply_to_status_id"),
          row.at(SReplyId).isNull() ? SandboxJson() : SandboxJson(row.at(SReplyId).toLongLong()));
    j.set(QStringLiteral("in_reply_to_user_id"),
          row.at(SReplyUser).isNull() ? SandboxJson()
                                      : SandboxJson(row.at(SReplyUser).toLongLong()));
    j.set(QStringLiteral("created_at"), twitterDate(row.at(SCreated).toLongLong()));
    j.set(QStringLiteral("favorited"),
          m_db.scalar("SELECT 1 FROM favorites WHERE user_id = ? AND status_id = ?", {viewer, id})
              .isValid());
    j.set(QStringLiteral("id"), id);
    j.set(QStringLiteral("id_str"), QString::number(id));
    j.set(QStringLiteral("source"), row.at(SSource).toString());
    if (!row.at(SRetweetOf).isNull()) {
        const Database::Row original =
            m_db.query(sqlFor(QStringLiteral("s.id = ?")).toUtf8(), {row.at(SRetweetOf)}).value(0);
        if (!original.isEmpty())
            j.set(QStringLiteral("retweeted_status"), statusJson(original, viewer, origin, true));
    }
    return j;
}

SandboxJson TwitterApi::statusById(qint64 id, qint64 viewer, const QString &origin)
{
    const Database::Row row =
        m_db.query(sqlFor(QStringLiteral("s.id = ?")).toUtf8(), {id}).value(0);
    return row.isEmpty() ? SandboxJson() : statusJson(row, viewer, origin);
}

SandboxJson TwitterApi::messageJson(const Database::Row &row, const QString &origin)
{
    // id, sender, recipient, text, created_at
    const qint64 id = row.at(0).toLongLong();
    const qint64 sender = row.at(1).toLongLong();
    const qint64 recipient = row.at(2).toLongLong();
    SandboxJson j = SandboxJson::object();
    j.set(QStringLiteral("recipient_id"), recipient);
    j.set(QStringLiteral("recipient"), userJson(recipient, sender, origin));
    j.set(QStringLiteral("sender_screen_name"),
          m_db.scalar("SELECT screen_name FROM users WHERE id = ?", {sender}).toString());
    j.set(QStringLiteral("created_at"), twitterDate(row.at(4).toLongLong()));
    j.set(QStringLiteral("recipient_screen_name"),
          m_db.scalar("SELECT screen_name FROM users WHERE id = ?", {recipient}).toString());
    j.set(QStringLiteral("id_str"), QString::number(id));
    j.set(QStringLiteral("sender"), userJson(sender, recipient, origin));
    j.set(QStringLiteral("sender_id"), sender);
    j.set(QStringLiteral("id"), id);
    j.set(QStringLiteral("text"), expand(row.at(3).toString()));
    return j;
}

// --- queries ----------------------------------------------------------------------

void TwitterApi::timeline(SandboxCall &call, const QString &where, const QVariantList &binds,
                          const char *countParam, int defaultCount,
                          const std::function<bool(const Database::Row &)> &keep)
{
    QString sql = where;
    QVariantList args = binds;
    // "since" is what our client sends; "since_id" is accepted as well.
    const qint64 since = call.intParam("since", call.intParam("since_id", 0));
    if (since > 0) {
        sql += QStringLiteral(" AND s.id > ?");
        args << since;
    }
    const qint64 maxId = call.intParam("max_id", 0);
    if (maxId > 0) {
        sql += QStringLiteral(" AND s.id <= ?");
        args << maxId;
    }
    const qint64 count = boundInt(1, call.intParam(countParam, defaultCount), kMaxCount);
    const qint64 page = boundInt(1, call.intParam("page", 1), 3200);
    QList<Database::Row> rows;
    if (!keep) {
        args << count << (page - 1) * count;
        rows = m_db.query(
            sqlFor(sql, QStringLiteral("ORDER BY s.id DESC LIMIT ? OFFSET ?")).toUtf8(), args);
    } else {
        args << kMaxScan;
        qint64 skip = (page - 1) * count;
        for (const Database::Row &row :
             m_db.query(sqlFor(sql, QStringLiteral("ORDER BY s.id DESC LIMIT ?")).toUtf8(), args)) {
            if (!keep(row) || skip-- > 0)
                continue;
            rows.append(row);
            if (rows.size() >= count)
                break;
        }
    }
    SandboxJson out = SandboxJson::array();
    const QString origin = call.origin();
    for (const Database::Row &row : rows)
        out.append(statusJson(row, call.userId, origin));
    call.json(out);
}

qint64 TwitterApi::userByName(const QString &screenName)
{
    return m_db.scalar("SELECT id FROM users WHERE screen_name = ?", {screenName}).toLongLong();
}

qint64 TwitterApi::targetUser(SandboxCall &call, const QString &pathPart)
{
    // Our client sends "id" = its own user id together with the target's "user_id" and
    // "screen_name" for friendships, so the explicit forms win.
    if (call.has("user_id"))
        return m_db.scalar("SELECT id FROM users WHERE id = ?", {call.intParam("user_id", 0)})
            .toLongLong();
    if (call.has("screen_name"))
        return userByName(call.param("screen_name"));
    const QString id = pathPart.isEmpty() ? call.param("id") : pathPart;
    bool numeric = false;
    const qint64 n = id.toLongLong(&numeric);
    if (numeric)
        return m_db.scalar("SELECT id FROM users WHERE id = ?", {n}).toLongLong();
    return id.isEmpty() ? 0 : userByName(id);
}

// --- timelines ----------------------------------------------------------------------

namespace {
const char kVisible[] = "s.deleted = 0 AND s.user_id NOT IN (SELECT blocked FROM blocks WHERE "
                        "blocker = ?)";
}

void TwitterApi::home(SandboxCall &call, const QRegularExpressionMatch &)
{
    timeline(call,
             QLatin1String(kVisible) +
                 QStringLiteral(" AND (s.user_id = ? OR s.user_id IN (SELECT followee FROM "
                                "follows WHERE follower = ?))"),
             {call.userId, call.userId, call.userId});
}

void TwitterApi::userTimeline(SandboxCall &call, const QRegularExpressionMatch &m)
{
    qint64 who = call.userId;
    if (!m.captured(1).isEmpty() || call.has("screen_name") || call.has("user_id") ||
        call.has("id"))
        who = targetUser(call, m.captured(1));
    if (who == 0)
        return error(call, 404, QStringLiteral("Not found"));
    timeline(call, QStringLiteral("s.deleted = 0 AND s.user_id = ?"), {who});
}

void TwitterApi::mentions(SandboxCall &call, const QRegularExpressionMatch &)
{
    const QString name =
        m_db.scalar("SELECT screen_name FROM users WHERE id = ?", {call.userId}).toString();
    // "@name" not inside a word or an address, and not the start of a longer name.
    const QRegularExpression mention(QStringLiteral("(?<![A-Za-z0-9_@])@%1(?![A-Za-z0-9_])")
                                         .arg(QRegularExpression::escape(name)),
                                     QRegularExpression::CaseInsensitiveOption);
    timeline(call, QLatin1String(kVisible) + QStringLiteral(" AND s.text LIKE ?"),
             {call.userId, QStringLiteral("%@") + name + u'%'}, "count", 20,
             [&mention](const Database::Row &row) {
                 return mention.match(row.at(SText).toString()).hasMatch();
             });
}

void TwitterApi::retweetedByMe(SandboxCall &call, const QRegularExpressionMatch &)
{
    timeline(call, QStringLiteral("s.deleted = 0 AND s.user_id = ? AND s.retweet_of IS NOT NULL"),
             {call.userId});
}

void TwitterApi::retweetedToMe(SandboxCall &call, const QRegularExpressionMatch &)
{
    timeline(call,
             QLatin1String(kVisible) +
                 QStringLiteral(" AND s.retweet_of IS NOT NULL AND s.user_id IN (SELECT followee "
                                "FROM follows WHERE follower = ?)"),
             {call.userId, call.userId});
}

void TwitterApi::retweetsOfMe(SandboxCall &call, const QRegularExpressionMatch &)
{
    timeline(call,
             QStringLiteral("s.deleted = 0 AND s.user_id = ? AND EXISTS (SELECT 1 FROM statuses "
                            "r WHERE r.retweet_of = s.id AND r.deleted = 0)"),
             {call.userId});
}

void TwitterApi::favorites(SandboxCall &call, const QRegularExpressionMatch &)
{
    timeline(call,
             QStringLiteral("s.deleted = 0 AND s.id IN (SELECT status_id FROM favorites WHERE "
                            "user_id = ?)"),
             {call.userId});
}

void TwitterApi::listStatuses(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 owner = userByName(m.captured(1));
    const QString listPart = m.captured(2);
    const qint64 listId =
        m_db.scalar("SELECT id FROM lists WHERE owner = ? AND (slug = ? OR CAST(id AS TEXT) = ?)",
                    {owner, listPart, listPart})
            .toLongLong();
    const bool isPrivate =
        m_db.scalar("SELECT mode FROM lists WHERE id = ?", {listId}).toString() != u"public";
    if (listId == 0 || (isPrivate && owner != call.userId))
        return error(call, 404, QStringLiteral("Not found"));
    timeline(call,
             QStringLiteral("s.deleted = 0 AND s.user_id IN (SELECT user_id FROM list_members "
                            "WHERE list_id = ?)"),
             {listId}, "per_page", 20);
}

// --- statuses -----------------------------------------------------------------------

void TwitterApi::showStatus(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 id = m.captured(1).toLongLong();
    const Database::Row row =
        m_db.query(sqlFor(QStringLiteral("s.id = ?")).toUtf8(), {id}).value(0);
    if (row.isEmpty() || row.at(SDeleted).toLongLong() != 0)
        return error(call, 404, QStringLiteral("No status found with that ID."));
    call.json(statusJson(row, call.userId, call.origin()));
}

void TwitterApi::updateStatus(SandboxCall &call, const QRegularExpressionMatch &)
{
    const QString text = call.param("status").trimmed();
    if (text.isEmpty())
        return error(call, 403, QStringLiteral("Status is empty."));
    if (text.toUcs4().size() > kMaxStatusLength)
        return error(call, 403, QStringLiteral("Status is over 140 characters."));
    const QVariant last = m_db.scalar(
        "SELECT text FROM statuses WHERE user_id = ? AND deleted = 0 ORDER BY id DESC LIMIT 1",
        {call.userId});
    if (last.isValid() && last.toString() == text)
        return error(call, 403, QStringLiteral("Status is a duplicate."));
    QVariant replyId, replyUser, replyName;
    if (call.has("in_reply_to_status_id")) {
        const Database::Row target =
            m_db.query("SELECT s.id, s.user_id, u.screen_name FROM statuses s JOIN users u ON "
                       "u.id = s.user_id WHERE s.id = ? AND s.deleted = 0",
                       {call.intParam("in_reply_to_status_id", 0)})
                .value(0);
        if (!target.isEmpty()) {
            replyId = target.at(0);
            replyUser = target.at(1);
            replyName = target.at(2);
        }
    }
    const QString app = call.param("source");
    const QString source =
        app.isEmpty() ? QStringLiteral("web")
                      : QStringLiteral("<a href=\"http://talvo.app\" rel=\"nofollow\">%1</a>")
                            .arg(app.toHtmlEscaped());
    const qint64 id = Seeder::nextStatusId(m_server);
    m_db.exec("INSERT INTO statuses (id, user_id, text, created_at, source, in_reply_to_status_id,"
              " in_reply_to_user_id, in_reply_to_screen_name) VALUES (?,?,?,?,?,?,?,?)",
              {id, call.userId, text, call.now, source, orNull(replyId), orNull(replyUser),
               orNull(replyName)});
    call.json(statusById(id, call.userId, call.origin()));
}

void TwitterApi::destroyStatus(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 id = m.captured(1).toLongLong();
    const Database::Row row =
        m_db.query(sqlFor(QStringLiteral("s.id = ?")).toUtf8(), {id}).value(0);
    if (row.isEmpty() || row.at(SDeleted).toLongLong() != 0)
        return error(call, 404, QStringLiteral("No status found with that ID."));
    if (row.at(SUser).toLongLong() != call.userId)
        return error(call, 403, QStringLiteral("You may not delete another user's status."));
    m_db.exec("UPDATE statuses SET deleted = 1 WHERE id = ?", {id});
    call.json(statusJson(row, call.userId, call.origin()));
}

void TwitterApi::retweet(SandboxCall &call, const QRegularExpressionMatch &m)
{
    qint64 id = m.captured(1).toLongLong();
    Database::Row row = m_db.query(sqlFor(QStringLiteral("s.id = ?")).toUtf8(), {id}).value(0);
    if (row.isEmpty() || row.at(SDeleted).toLongLong() != 0)
        return error(call, 404, QStringLiteral("No status found with that ID."));
    if (!row.at(SRetweetOf).isNull()) { // retweeting a retweet retweets the original
        id = row.at(SRetweetOf).toLongLong();
        row = m_db.query(sqlFor(QStringLiteral("s.id = ?")).toUtf8(), {id}).value(0);
    }
    if (row.isEmpty() || row.at(SUser).toLongLong() == call.userId)
        return error(call, 403, QStringLiteral("You may not retweet your own status."));
    if (m_db.scalar("SELECT 1 FROM statuses WHERE user_id = ? AND retweet_of = ? AND deleted = 0",
                    {call.userId, id})
            .isValid())
        return error(call, 403, QStringLiteral("You have already retweeted this status."));
    const QString author =
        m_db.scalar("SELECT screen_name FROM users WHERE id = ?", {row.at(SUser)}).toString();
    const qint64 newId = Seeder::nextStatusId(m_server);
    m_db.exec(
        "INSERT INTO statuses (id, user_id, text, created_at, source, retweet_of) VALUES "
        "(?,?,?,?,?,?)",
        {newId, call.userId,
         QStringLiteral("RT @%1: %2").arg(author, row.at(SText).toString()).left(kMaxStatusLength),
         call.now, QStringLiteral("web"), id});
    call.json(statusById(newId, call.userId, call.origin()));
}

void TwitterApi::favorite(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 id = m.captured(2).toLongLong();
    const Database::Row row =
        m_db.query(sqlFor(QStringLiteral("s.id = ?")).toUtf8(), {id}).value(0);
    if (row.isEmpty() || row.at(SDeleted).toLongLong() != 0)
        return error(call, 404, QStringLiteral("No status found with that ID."));
    if (m.captured(1) == u"create") {
        if (m_db.exec("INSERT OR IGNORE INTO favorites (user_id, status_id) VALUES (?, ?)",
                      {call.userId, id}) == 0)
            return error(call, 403, QStringLiteral("You have already favorited this status."));
    } else {
        m_db.exec("DELETE FROM favorites WHERE user_id = ? AND status_id = ?", {call.userId, id});
    }
    call.json(statusJson(row, call.userId, call.origin()));
}

// --- direct messages ------------------------------------------------------------------

void TwitterApi::directMessages(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const bool sent = !m.captured(1).isEmpty();
    QString sql = QStringLiteral("SELECT id, sender, recipient, text, created_at FROM "
                                 "direct_messages s WHERE s.deleted = 0 AND ") +
                  (sent ? QStringLiteral("s.sender = ?") : QStringLiteral("s.recipient = ?"));
    QVariantList args = {call.userId};
    const qint64 since = call.intParam("since", call.intParam("since_id", 0));
    if (since > 0) {
        sql += QStringLiteral(" AND s.id > ?");
        args << since;
    }
    const qint64 maxId = call.intParam("max_id", 0);
    if (maxId > 0) {
        sql += QStringLiteral(" AND s.id <= ?");
        args << maxId;
    }
    const qint64 count = boundInt(1, call.intParam("count", 20), kMaxCount);
    const qint64 page = boundInt(1, call.intParam("page", 1), 3200);
    sql += QStringLiteral(" ORDER BY s.id DESC LIMIT ? OFFSET ?");
    args << count << (page - 1) * count;
    SandboxJson out = SandboxJson::array();
    for (const Database::Row &row : m_db.query(sql.toUtf8(), args))
        out.append(messageJson(row, call.origin()));
    call.json(out);
}

void TwitterApi::newDirectMessage(SandboxCall &call, const QRegularExpressionMatch &)
{
    const qint64 to = targetUser(call, QString());
    const QString text = call.param("text").trimmed();
    if (to == 0)
        return error(call, 404, QStringLiteral("Not found"));
    if (text.isEmpty() || text.toUcs4().size() > kMaxStatusLength)
        return error(call, 403, QStringLiteral("Text is empty or over 140 characters."));
    if (!follows(to, call.userId))
        return error(
            call, 403,
            QStringLiteral("You cannot send messages to users who are not following you."));
    const qint64 id = Seeder::nextMessageId(m_server);
    m_db.exec("INSERT INTO direct_messages (id, sender, recipient, text, created_at) VALUES "
              "(?,?,?,?,?)",
              {id, call.userId, to, text, call.now});
    call.json(messageJson({id, call.userId, to, text, call.now}, call.origin()));
}

void TwitterApi::destroyDirectMessage(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 id = m.captured(1).toLongLong();
    const Database::Row row =
        m_db.query("SELECT id, sender, recipient, text, created_at FROM direct_messages WHERE "
                   "id = ? AND deleted = 0 AND (sender = ? OR recipient = ?)",
                   {id, call.userId, call.userId})
            .value(0);
    if (row.isEmpty())
        return error(call, 404, QStringLiteral("No direct message with that ID found."));
    m_db.exec("UPDATE direct_messages SET deleted = 1 WHERE id = ?", {id});
    call.json(messageJson(row, call.origin()));
}

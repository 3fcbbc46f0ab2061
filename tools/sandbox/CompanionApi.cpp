#include "CompanionApi.h"

#include "SandboxServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int kMaxReportRecords = 1000;
constexpr qint64 kMaxDurationSecs = 777600000; // "Forever"

QString shortenerHost(const QString &name)
{
    return name + QStringLiteral(".localhost");
}

} // namespace

CompanionApi::CompanionApi(SandboxServer &server)
    : m_server(server)
    , m_db(server.db())
{
}

qint64 CompanionApi::basicUser(const SandboxCall &call, QString *name)
{
    const QByteArray auth = call.header("Authorization");
    if (!auth.startsWith("Basic "))
        return 0;
    const QByteArray decoded = QByteArray::fromBase64(auth.mid(6).trimmed());
    const qsizetype colon = decoded.indexOf(':');
    if (colon <= 0)
        return -1;
    const Database::Row row =
        m_db.query("SELECT id, screen_name, password FROM users WHERE screen_name = ?",
                   {QString::fromUtf8(decoded.left(colon))})
            .value(0);
    if (row.isEmpty() || row.at(2).toString() != QString::fromUtf8(decoded.mid(colon + 1)))
        return -1;
    *name = row.at(1).toString();
    return row.at(0).toLongLong();
}

void CompanionApi::status(SandboxCall &call, int code, const QString &message, SandboxJson body)
{
    SandboxJson st = SandboxJson::object();
    st.set(QStringLiteral("code"), code);
    st.set(QStringLiteral("result"), code == 200 ? "OK" : "ERROR");
    if (!message.isEmpty())
        st.set(QStringLiteral("message"), message);
    body.set(QStringLiteral("status"), st);
    call.json(body, code);
}

bool CompanionApi::handle(SandboxCall &call)
{
    const QStringList parts = call.path.mid(4).split(u'/', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return false;
    const QString &head = parts.first();

    // The epoch and the shortener list are the answers our client asks for without the
    // API key.
    if (head == u"epoch") {
        SandboxJson out = SandboxJson::object();
        out.set(QStringLiteral("epoch"), call.now);
        call.json(out);
        return true;
    }
    if (head == u"static" && parts.value(1) == u"shorteners" && call.method == "GET") {
        shorteners(call);
        return true;
    }
    if (call.param("api_key").toUtf8() != m_server.options().apiKey) {
        status(call, 401, QStringLiteral("Invalid API key"));
        return true;
    }
    QString userName;
    const qint64 user = basicUser(call, &userName);
    if (user < 0) {
        status(call, 401, QStringLiteral("Wrong user name or password"));
        return true;
    }
    call.account = userName;
    const QString guid = call.param("guid");
    // Filters belong to the companion account when one signed in, else to the installation.
    const QString owner =
        user > 0 ? QStringLiteral("user:") + userName : QStringLiteral("guid:") + guid;

    const QString second = parts.value(1);
    if (head == u"static" && second == u"setups" && call.method == "GET") {
        setups(call);
    } else if (head == u"configurations" && call.method == "GET") {
        configurations(call, owner);
    } else if (head == u"search" && second == u"trends" && call.method == "GET") {
        trends(call);
    } else if (head == u"report" && call.method == "POST" &&
               (second == u"urls" || second == u"shares")) {
        report(call, second);
    } else if (head == u"guid" && second == u"heartbeat") {
        if (guid.isEmpty())
            return status(call, 400, QStringLiteral("guid missing")), true;
        m_db.exec("INSERT OR REPLACE INTO heartbeats (guid, build, last_seen) VALUES (?, ?, ?)",
                  {guid, call.param("build"), call.now});
        status(call, 200);
    } else if (head == u"user" && (second == u"verify" || second == u"groups")) {
        if (user == 0)
            return status(call, 401, QStringLiteral("Authentication required")), true;
        if (second == u"verify") {
            SandboxJson u = SandboxJson::object();
            u.set(QStringLiteral("id"), user);
            u.set(QStringLiteral("username"), userName);
            SandboxJson body = SandboxJson::object();
            body.set(QStringLiteral("user"), u);
            status(call, 200, QString(), body);
        } else {
            return groups(call, owner, parts);
        }
    } else if (head == u"mute" || head == u"highlight") {
        return filters(call, owner, parts);
    } else if (head == u"translate") {
        return translates(call, owner, parts);
    } else if (head == u"group") {
        if (user == 0)
            return status(call, 401, QStringLiteral("Authentication required")), true;
        return groups(call, owner, parts);
    } else {
        return false;
    }
    return true;
}

void CompanionApi::shorteners(SandboxCall &call)
{
    const int port = m_server.tlsPort();
    SandboxJson list = SandboxJson::array();
    for (const QString &name : SandboxServer::shortenerNames())
        list.append(shortenerHost(name));
    // Two picture hosts: one names its full picture, the other only a page that holds it in
    // <img id="photo">, for the client's page resolver.
    SandboxJson pics = SandboxJson::object();
    pics.set(QStringLiteral("thumbnail_url"),
             QStringLiteral("https://pics.localhost:%1/thumb/[hash]").arg(port));
    pics.set(QStringLiteral("inline_url"),
             QStringLiteral("https://pics.localhost:%1/full/[hash]").arg(port));
    pics.set(QStringLiteral("inline_logo"), "logo_sandbox");
    SandboxJson photos = SandboxJson::object();
    photos.set(QStringLiteral("thumbnail_url"),
               QStringLiteral("https://photos.localhost:%1/thumb/[hash]").arg(port));
    photos.set(QStringLiteral("inline_logo"), "logo_sandbox");
    photos.set(QStringLiteral("inline_id"), "photo-display");
    photos.set(QStringLiteral("domain"), "photos.localhost");
    SandboxJson imagers = SandboxJson::object();
    imagers.set(QStringLiteral("pics.localhost"), pics);
    imagers.set(QStringLiteral("photos.localhost"), photos);
    SandboxJson framer = SandboxJson::object();
    framer.set(QStringLiteral("domain"), "frame.localhost");
    framer.set(QStringLiteral("method"), "IFRAME");
    framer.set(QStringLiteral("frame_id"), "talvo_frame");
    SandboxJson frameset = SandboxJson::object();
    frameset.set(QStringLiteral("domain"), "frameset.localhost");
    frameset.set(QStringLiteral("method"), "FRAMESET");
    frameset.set(QStringLiteral("frame_id"), "");
    SandboxJson framers = SandboxJson::object();
    framers.set(QStringLiteral("sandboxframe"), framer);
    framers.set(QStringLiteral("sandboxframeset"), frameset);
    SandboxJson body = SandboxJson::object();
    body.set(QStringLiteral("shorteners"), list);
    body.set(QStringLiteral("imagers"), SandboxJson::array().append(imagers));
    body.set(QStringLiteral("customs"), SandboxJson::array());
    body.set(QStringLiteral("framers"), SandboxJson::array().append(framers));
    status(call, 200, QString(), body);
}

void CompanionApi::setups(SandboxCall &call)
{
    auto named = [](std::initializer_list<const char *> names) {
        SandboxJson list = SandboxJson::array();
        int id = 1;
        for (const char *n : names) {
            SandboxJson r = SandboxJson::object();
            r.set(QStringLiteral("id"), id++);
            r.set(QStringLiteral("name"), n);
            list.append(r);
        }
        return list;
    };
    SandboxJson sources = SandboxJson::array();
    struct Source
    {
        const char *key, *name, *url, *watermark;
    };
    const Source known[] = {{"web", "Twitter Website", "http://twitter.com", "watermark_twitter"},
                            {"txt", "Twitter SMS", "http://twitter.com", "watermark_sms"},
                            {"Talvo", "Talvo", "http://talvo.app", "watermark_talvo"}};
    int id = 1;
    for (const Source &s : known) {
        SandboxJson r = SandboxJson::object();
        r.set(QStringLiteral("id"), id++);
        r.set(QStringLiteral("name"), s.name);
        r.set(QStringLiteral("substring"), s.key);
        r.set(QStringLiteral("url"), s.url);
        r.set(QStringLiteral("watermark"), s.watermark);
        sources.append(r);
    }
    SandboxJson body = SandboxJson::object();
    body.set(QStringLiteral("filter_categories"), named({"user", "hashtag"}));
    body.set(QStringLiteral("filter_actions"), named({"mute", "highlight", "translate"}));
    body.set(QStringLiteral("filter_predicates"), named({"USER", "HASHTAG"}));
    body.set(QStringLiteral("filter_conditions"), named({"equals", "contains"}));
    body.set(QStringLiteral("filters"), named({"mute_user", "mute_hashtag", "highlight_user"}));
    body.set(QStringLiteral("sources"), sources);
    status(call, 200, QString(), body);
}

SandboxJson CompanionApi::filterJson(const Database::Row &row)
{
    // id, factor, predicate, network, duration, created_at, updated_at, started_at, extended_at
    SandboxJson j = SandboxJson::object();
    j.set(QStringLiteral("id"), row.at(0).toLongLong());
    j.set(QStringLiteral("factor"), row.at(1).toString());
    j.set(QStringLiteral("predicate"), row.at(2).toString());
    j.set(QStringLiteral("network"), row.at(3).toString());
    j.set(QStringLiteral("duration"), row.at(4).toLongLong());
    j.set(QStringLiteral("created_at"), row.at(5).toLongLong());
    j.set(QStringLiteral("updated_at"), row.at(6).toLongLong());
    j.set(QStringLiteral("started_at"), row.at(7).toLongLong());
    j.set(QStringLiteral("extended_at"), row.at(8).toLongLong());
    return j;
}

SandboxJson CompanionApi::translateJson(const Database::Row &row)
{
    // id, factor, network, is_active
    SandboxJson j = SandboxJson::object();
    j.set(QStringLiteral("id"), row.at(0).toLongLong());
    j.set(QStringLiteral("factor"), row.at(1).toString());
    j.set(QStringLiteral("network"), row.at(2).toString());
    j.set(QStringLiteral("is_active"), row.at(3).toLongLong() != 0);
    return j;
}

namespace {
constexpr char kFilterColumns[] = "SELECT id, factor, predicate, network, duration, created_at, "
                                  "updated_at, started_at, extended_at FROM dated_filters ";
}

void CompanionApi::configurations(SandboxCall &call, const QString &owner)
{
    SandboxJson body = SandboxJson::object();
    for (const char *kind : {"mute", "highlight"}) {
        SandboxJson list = SandboxJson::array();
        for (const Database::Row &row :
             m_db.query((QByteArray(kFilterColumns) +
                         "WHERE owner = ? AND kind = ? AND deleted = 0 ORDER BY id"),
                        {owner, QString::fromLatin1(kind)}))
            list.append(filterJson(row));
        body.set(QString::fromLatin1(kind) + u's', list);
    }
    SandboxJson translates = SandboxJson::array();
    for (const Database::Row &row : m_db.query(
             "SELECT id, factor, network, is_active FROM translates WHERE owner = ? ORDER BY id",
             {owner}))
        translates.append(translateJson(row));
    body.set(QStringLiteral("translates"), translates);
    status(call, 200, QString(), body);
}

bool CompanionApi::filters(SandboxCall &call, const QString &owner, const QStringList &parts)
{
    const QString kind = parts.first(); // "mute" or "highlight"
    const QByteArray k = kind.toLatin1();
    if (parts.size() == 1 && call.method != "POST")
        return false;
    if (parts.size() == 1) {
        const QString factor = call.param((k + "[factor]").constData());
        const QString predicate = call.param((k + "[predicate]").constData());
        const qint64 duration = call.intParam((k + "[duration]").constData(), -1);
        if (factor.isEmpty() || factor.size() > 200 ||
            (predicate != u"USER" && predicate != u"HASHTAG") || duration < 0 ||
            duration > kMaxDurationSecs)
            return status(call, 400, QStringLiteral("Bad %1").arg(kind)), true;
        m_db.exec("INSERT INTO dated_filters (kind, owner, factor, predicate, network, duration, "
                  "created_at, updated_at, started_at, extended_at) VALUES (?,?,?,?,?,?,?,?,?,?)",
                  {kind, owner, factor, predicate, QStringLiteral("twitter"), duration, call.now,
                   call.now, call.now, call.now});
    }
    bool numeric = false;
    const qint64 id = parts.value(1).toLongLong(&numeric);
    const qint64 target = parts.size() == 1 ? m_db.lastInsertId() : id;
    if (parts.size() > 1 && !numeric)
        return false;
    const Database::Row row =
        m_db.query(QByteArray(kFilterColumns) + "WHERE id = ? AND kind = ? AND deleted = 0",
                   {target, kind})
            .value(0);
    if (row.isEmpty())
        return status(call, 404, QStringLiteral("No such %1").arg(kind)), true;
    if (parts.size() == 3 && parts.at(2) == u"extend" && call.method == "PUT") {
        const qint64 extension = call.intParam((k + "[extension]").constData(), -1);
        if (extension < 0 || extension > kMaxDurationSecs)
            return status(call, 400, QStringLiteral("Bad extension")), true;
        // An extension of 0 ends the filter now; otherwise it runs on from now.
        const qint64 started = row.at(7).toLongLong();
        const qint64 duration =
            extension == 0 ? qMax<qint64>(0, call.now - started) : (call.now - started) + extension;
        m_db.exec(
            "UPDATE dated_filters SET duration = ?, updated_at = ?, extended_at = ? WHERE id = ?",
            {qMin(duration, kMaxDurationSecs), call.now, call.now, id});
    } else if (parts.size() == 2 && call.method == "DELETE") {
        m_db.exec("UPDATE dated_filters SET deleted = 1, updated_at = ? WHERE id = ?",
                  {call.now, id});
        return status(call, 200), true;
    } else if (!(parts.size() == 1 || (parts.size() == 2 && call.method == "GET"))) {
        return false;
    }
    SandboxJson body = SandboxJson::object();
    body.set(kind, filterJson(
                       m_db.query(QByteArray(kFilterColumns) + "WHERE id = ?", {target}).value(0)));
    status(call, 200, QString(), body);
    return true;
}

bool CompanionApi::translates(SandboxCall &call, const QString &owner, const QStringList &parts)
{
    if (parts.size() == 1 && call.method == "POST") {
        const QString factor = call.param("translate[factor]");
        if (factor.isEmpty() || factor.size() > 200)
            return status(call, 400, QStringLiteral("Bad translate")), true;
        m_db.exec("INSERT INTO translates (owner, factor, network, is_active) VALUES (?, ?, ?, 1)",
                  {owner, factor, QStringLiteral("twitter")});
        SandboxJson body = SandboxJson::object();
        body.set(QStringLiteral("translate"),
                 translateJson(m_db.query("SELECT id, factor, network, is_active FROM translates "
                                          "WHERE id = ?",
                                          {m_db.lastInsertId()})
                                   .value(0)));
        status(call, 200, QString(), body);
        return true;
    }
    if (parts.size() == 2 && call.method == "DELETE") {
        if (m_db.exec(
                "UPDATE translates SET is_active = 0 WHERE id = ? AND owner = ? AND is_active = 1",
                {parts.at(1).toLongLong(), owner}) <= 0)
            return status(call, 404, QStringLiteral("No such translate")), true;
        status(call, 200);
        return true;
    }
    return false;
}

SandboxJson CompanionApi::groupJson(qint64 id)
{
    const Database::Row row = m_db.query("SELECT id, name FROM groups WHERE id = ?", {id}).value(0);
    SandboxJson j = SandboxJson::object();
    j.set(QStringLiteral("id"), id);
    j.set(QStringLiteral("name"), row.value(1).toString());
    SandboxJson members = SandboxJson::array();
    for (const Database::Row &m :
         m_db.query("SELECT member FROM group_members WHERE group_id = ? ORDER BY member", {id}))
        members.append(m.at(0).toString());
    j.set(QStringLiteral("members"), members);
    return j;
}

bool CompanionApi::groups(SandboxCall &call, const QString &owner, const QStringList &parts)
{
    auto setMembers = [this](qint64 id, const QString &joined) {
        m_db.exec("DELETE FROM group_members WHERE group_id = ?", {id});
        for (const QString &member : joined.split(u',', Qt::SkipEmptyParts).mid(0, 5000))
            m_db.exec("INSERT OR IGNORE INTO group_members (group_id, member) VALUES (?, ?)",
                      {id, member.trimmed()});
    };
    if (parts.first() == u"user") { // GET /v1/user/groups
        SandboxJson result = SandboxJson::array();
        for (const Database::Row &acct :
             m_db.query("SELECT DISTINCT network, remote_id, remote_username FROM groups WHERE "
                        "owner = ? ORDER BY remote_username",
                        {owner})) {
            SandboxJson a = SandboxJson::object();
            a.set(QStringLiteral("network"), acct.at(0).toString());
            a.set(QStringLiteral("remote_id"), acct.at(1).toString());
            a.set(QStringLiteral("username"), acct.at(2).toString());
            SandboxJson list = SandboxJson::array();
            for (const Database::Row &g :
                 m_db.query("SELECT id FROM groups WHERE owner = ? AND network = ? AND remote_id = "
                            "? ORDER BY id",
                            {owner, acct.at(0), acct.at(1)}))
                list.append(groupJson(g.at(0).toLongLong()));
            a.set(QStringLiteral("groups"), list);
            result.append(a);
        }
        SandboxJson body = SandboxJson::object();
        body.set(QStringLiteral("result"), result);
        status(call, 200, QString(), body);
        return true;
    }
    if (parts.size() == 1 && call.method == "POST") {
        const QString name = call.param("group[name]").trimmed();
        if (name.isEmpty() || name.size() > 100 || call.param("remote[id]").isEmpty())
            return status(call, 400, QStringLiteral("Bad group")), true;
        m_db.exec(
            "INSERT INTO groups (owner, network, remote_id, remote_username, name) VALUES "
            "(?,?,?,?,?)",
            {owner,
             call.param("network").isEmpty() ? QStringLiteral("twitter") : call.param("network"),
             call.param("remote[id]"), call.param("remote[username]"), name});
        const qint64 id = m_db.lastInsertId();
        setMembers(id, call.param("group[members]"));
        SandboxJson body = SandboxJson::object();
        body.set(QStringLiteral("group"), groupJson(id));
        status(call, 200, QString(), body);
        return true;
    }
    bool numeric = false;
    const qint64 id = parts.value(1).toLongLong(&numeric);
    if (!numeric)
        return false;
    if (!m_db.scalar("SELECT 1 FROM groups WHERE id = ? AND owner = ?", {id, owner}).isValid())
        return status(call, 404, QStringLiteral("No such group")), true;
    if (parts.size() == 2 && call.method == "PUT") {
        const QString name = call.param("group[name]").trimmed();
        if (!name.isEmpty())
            m_db.exec("UPDATE groups SET name = ? WHERE id = ?", {name.left(100), id});
        if (call.has("group[members]"))
            setMembers(id, call.param("group[members]"));
        SandboxJson body = SandboxJson::object();
        body.set(QStringLiteral("group"), groupJson(id));
        status(call, 200, QString(), body);
    } else if (parts.size() == 2 && call.method == "DELETE") {
        m_db.exec("DELETE FROM group_members WHERE group_id = ?", {id});
        m_db.exec("DELETE FROM groups WHERE id = ?", {id});
        status(call, 200);
    } else if (parts.size() == 4 && parts.at(2) == u"member" &&
               (call.method == "PUT" || call.method == "DELETE")) {
        if (call.method == "PUT")
            m_db.exec("INSERT OR IGNORE INTO group_members (group_id, member) VALUES (?, ?)",
                      {id, parts.at(3)});
        else
            m_db.exec("DELETE FROM group_members WHERE group_id = ? AND member = ?",
                      {id, parts.at(3)});
        status(call, 200);
    } else {
        return false;
    }
    return true;
}

void CompanionApi::trends(SandboxCall &call)
{
    // Hashtags of the last three days with details; ids stay stable for a given term.
    QHash<QString, QPair<int, qint64>> seen; // term -> (count, first seen)
    static const QRegularExpression tag(QStringLiteral("#\\w+"));
    for (const Database::Row &row :
         m_db.query("SELECT text, created_at FROM statuses WHERE deleted = 0 AND created_at > ? "
                    "ORDER BY id",
                    {call.now - 3 * 86400})) {
        auto it = tag.globalMatch(row.at(0).toString());
        while (it.hasNext()) {
            auto &entry = seen[it.next().captured(0).toLower()];
            if (entry.first++ == 0)
                entry.second = row.at(1).toLongLong();
        }
    }
    SandboxJson list = SandboxJson::array();
    for (auto it = seen.cbegin(); it != seen.cend(); ++it) {
        const qint64 started = it.value().second;
        SandboxJson t = SandboxJson::object();
        t.set(QStringLiteral("id"), qint64(qHash(it.key(), 7) % 1000000000));
        t.set(QStringLiteral("term"), it.key());
        t.set(QStringLiteral("current"), call.now - started < 86400);
        t.set(QStringLiteral("duration"), QString::number((call.now - started) / 60));
        t.set(QStringLiteral("count"), QString::number(it.value().first));
        t.set(QStringLiteral("appearances"), QString::number(1 + it.value().first / 5));
        t.set(QStringLiteral("started_at"), QString::number(started));
        t.set(QStringLiteral("started"), twitterDate(started));
        list.append(t);
    }
    SandboxJson body = SandboxJson::object();
    body.set(QStringLiteral("twitter"), list);
    body.set(QStringLiteral("return_in"), 300);
    status(call, 200, QString(), body);
}

void CompanionApi::report(SandboxCall &call, const QString &kind)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(call.param("report").toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isArray() ||
        doc.array().size() > kMaxReportRecords)
        return status(call, 400, QStringLiteral("Bad report"));
    for (const QJsonValue &v : doc.array()) {
        const QJsonObject r = v.toObject();
        m_db.exec("INSERT INTO link_reports (kind, guid, shortener, url, destination, created_at) "
                  "VALUES (?,?,?,?,?,?)",
                  {kind, call.param("guid"),
                   r.value(QLatin1String("shortener")).toString().left(200),
                   r.value(QLatin1String("url")).toString().left(2000),
                   r.value(QLatin1String("destination")).toString().left(2000), call.now});
    }
    status(call, 200);
}

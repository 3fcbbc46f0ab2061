// Lists as their owners change them: create, rename, delete, members and subscribers.
#include "TwitterApi.h"

#include <QRegularExpression>

namespace {
constexpr int kMaxListsPerUser = 20;
constexpr int kMaxMembersPerList = 500;
constexpr int kMaxListName = 25;
constexpr int kMaxDescription = 100;
constexpr int kMaxMembersPage = 100;

// "Tea & Biscuits!" -> "tea-biscuits"
QString slugFor(const QString &name)
{
    static const QRegularExpression other(QStringLiteral("[^a-z0-9]+"));
    QString slug = name.toLower();
    slug.replace(other, QStringLiteral("-"));
    while (slug.startsWith(QLatin1Char('-')))
        slug.remove(0, 1);
    while (slug.endsWith(QLatin1Char('-')))
        slug.chop(1);
    return slug;
}

bool isDelete(const SandboxCall &call)
{
    return call.method == "DELETE" || call.param("_method").compare(u"DELETE") == 0;
}
} // namespace

qint64 TwitterApi::listOf(const QString &ownerName, const QString &listPart)
{
    const qint64 owner = userByName(ownerName);
    if (owner == 0)
        return 0;
    return m_db
        .scalar("SELECT id FROM lists WHERE owner = ? AND (slug = ? OR CAST(id AS TEXT) = ?)",
                {owner, listPart, listPart})
        .toLongLong();
}

SandboxJson TwitterApi::listJson(qint64 id, qint64 viewer, const QString &origin)
{
    const Database::Row row =
        m_db.query("SELECT id, owner, slug, name, mode FROM lists WHERE id = ?", {id}).value(0);
    if (row.isEmpty())
        return SandboxJson();
    const qint64 listOwner = row.at(1).toLongLong();
    const QString ownerName =
        m_db.scalar("SELECT screen_name FROM users WHERE id = ?", {listOwner}).toString();
    SandboxJson j = SandboxJson::object();
    j.set(QStringLiteral("mode"), row.at(4).toString());
    j.set(QStringLiteral("uri"), QStringLiteral("/%1/%2").arg(ownerName, row.at(2).toString()));
    j.set(QStringLiteral("member_count"),
          m_db.scalar("SELECT COUNT(*) FROM list_members WHERE list_id = ?", {id}).toLongLong());
    j.set(QStringLiteral("slug"), row.at(2).toString());
    j.set(
        QStringLiteral("subscriber_count"),
        m_db.scalar("SELECT COUNT(*) FROM list_subscribers WHERE list_id = ?", {id}).toLongLong());
    j.set(QStringLiteral("full_name"),
          QStringLiteral("@%1/%2").arg(ownerName, row.at(2).toString()));
    j.set(QStringLiteral("user"), userJson(listOwner, viewer, origin));
    j.set(QStringLiteral("name"), row.at(3).toString());
    j.set(QStringLiteral("description"),
          m_db.scalar("SELECT description FROM list_descriptions WHERE list_id = ?", {id})
              .toString());
    j.set(QStringLiteral("id"), id);
    return j;
}

// Twitter answered names it could not take with 403 and its own text.
bool TwitterApi::checkListFields(SandboxCall &call, QString *name, QString *mode,
                                 QString *description)
{
    *name = call.param("name").trimmed();
    *mode = call.param("mode").isEmpty() ? QStringLiteral("public") : call.param("mode");
    *description = call.param("description").trimmed();
    if (name->isEmpty() || name->size() > kMaxListName || slugFor(*name).isEmpty()) {
        error(call, 403, QStringLiteral("Name is invalid."));
        return false;
    }
    if (*mode != u"public" && *mode != u"private") {
        error(call, 403, QStringLiteral("Mode must be public or private."));
        return false;
    }
    if (description->size() > kMaxDescription) {
        error(call, 403, QStringLiteral("Description is too long."));
        return false;
    }
    return true;
}

void TwitterApi::createList(SandboxCall &call, const QRegularExpressionMatch &m)
{
    if (!m.captured(2).isEmpty() || userByName(m.captured(1)) != call.userId)
        return error(call, 403, QStringLiteral("You can only create lists of your own."));
    QString name, mode, description;
    if (!checkListFields(call, &name, &mode, &description))
        return;
    if (m_db.scalar("SELECT COUNT(*) FROM lists WHERE owner = ?", {call.userId}).toLongLong() >=
        kMaxListsPerUser)
        return error(call, 403,
                     QStringLiteral("You may not have more than %1 lists.").arg(kMaxListsPerUser));
    const QString slug = slugFor(name);
    if (m_db.scalar("SELECT 1 FROM lists WHERE owner = ? AND slug = ?", {call.userId, slug})
            .isValid())
        return error(call, 403, QStringLiteral("You already have a list named %1.").arg(slug));
    const qint64 id =
        qMax<qint64>(1130000, m_db.scalar("SELECT MAX(id) FROM lists").toLongLong()) + 1;
    m_db.exec("INSERT INTO lists (id, owner, slug, name, mode) VALUES (?,?,?,?,?)",
              {id, call.userId, slug, name, mode});
    m_db.exec("INSERT OR REPLACE INTO list_descriptions (list_id, description) VALUES (?,?)",
              {id, description});
    call.json(listJson(id, call.userId, call.origin()));
}

void TwitterApi::changeList(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 id = listOf(m.captured(1), m.captured(2));
    if (id == 0)
        return error(call, 404, QStringLiteral("Not found"));
    if (m_db.scalar("SELECT owner FROM lists WHERE id = ?", {id}).toLongLong() != call.userId)
        return error(call, 403, QStringLiteral("You can only change lists you own."));
    if (isDelete(call)) {
        const SandboxJson gone = listJson(id, call.userId, call.origin());
        m_db.exec("DELETE FROM list_members WHERE list_id = ?", {id});
        m_db.exec("DELETE FROM list_subscribers WHERE list_id = ?", {id});
        m_db.exec("DELETE FROM list_descriptions WHERE list_id = ?", {id});
        m_db.exec("DELETE FROM lists WHERE id = ?", {id});
        return call.json(gone);
    }
    QString name, mode, description;
    if (!checkListFields(call, &name, &mode, &description))
        return;
    const QString slug = slugFor(name);
    if (m_db.scalar("SELECT 1 FROM lists WHERE owner = ? AND slug = ? AND id <> ?",
                    {call.userId, slug, id})
            .isValid())
        return error(call, 403, QStringLiteral("You already have a list named %1.").arg(slug));
    m_db.exec("UPDATE lists SET name = ?, slug = ?, mode = ? WHERE id = ?", {name, slug, mode, id});
    m_db.exec("INSERT OR REPLACE INTO list_descriptions (list_id, description) VALUES (?,?)",
              {id, description});
    call.json(listJson(id, call.userId, call.origin()));
}

void TwitterApi::listMembers(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 id = listOf(m.captured(1), m.captured(2));
    const qint64 owner = m_db.scalar("SELECT owner FROM lists WHERE id = ?", {id}).toLongLong();
    const bool isPrivate =
        m_db.scalar("SELECT mode FROM lists WHERE id = ?", {id}).toString() != u"public";
    if (id == 0 || (isPrivate && owner != call.userId))
        return error(call, 404, QStringLiteral("Not found"));
    if (call.method == "GET") {
        SandboxJson users = SandboxJson::array();
        for (const Database::Row &row :
             m_db.query("SELECT user_id FROM list_members WHERE list_id = ? ORDER BY user_id "
                        "LIMIT ?",
                        {id, kMaxMembersPage}))
            users.append(userJson(row.at(0).toLongLong(), call.userId, call.origin(), true));
        SandboxJson out = SandboxJson::object();
        out.set(QStringLiteral("users"), users);
        out.set(QStringLiteral("next_cursor"), 0);
        out.set(QStringLiteral("previous_cursor"), 0);
        return call.json(out);
    }
    if (owner != call.userId)
        return error(call, 403, QStringLiteral("You can only change lists you own."));
    QString who = call.param("id");
    if (who.isEmpty())
        who = call.param("screen_name");
    qint64 member = userByName(who);
    if (member == 0 &&
        m_db.scalar("SELECT 1 FROM users WHERE id = ?", {who.toLongLong()}).isValid())
        member = who.toLongLong();
    if (member == 0)
        return error(call, 404, QStringLiteral("User not found."));
    if (isDelete(call)) {
        m_db.exec("DELETE FROM list_members WHERE list_id = ? AND user_id = ?", {id, member});
    } else {
        const bool already =
            m_db.scalar("SELECT 1 FROM list_members WHERE list_id = ? AND user_id = ?",
                        {id, member})
                .isValid();
        if (!already &&
            m_db.scalar("SELECT COUNT(*) FROM list_members WHERE list_id = ?", {id}).toLongLong() >=
                kMaxMembersPerList)
            return error(
                call, 403,
                QStringLiteral("Lists may not have more than %1 members.").arg(kMaxMembersPerList));
        m_db.exec("INSERT OR IGNORE INTO list_members (list_id, user_id) VALUES (?, ?)",
                  {id, member});
    }
    call.json(listJson(id, call.userId, call.origin()));
}

void TwitterApi::listSubscribers(SandboxCall &call, const QRegularExpressionMatch &m)
{
    const qint64 id = listOf(m.captured(1), m.captured(2));
    const qint64 owner = m_db.scalar("SELECT owner FROM lists WHERE id = ?", {id}).toLongLong();
    const bool isPrivate =
        m_db.scalar("SELECT mode FROM lists WHERE id = ?", {id}).toString() != u"public";
    if (id == 0 || (isPrivate && owner != call.userId))
        return error(call, 404, QStringLiteral("Not found"));
    if (owner == call.userId)
        return error(call, 403, QStringLiteral("You cannot subscribe to your own list."));
    if (isDelete(call))
        m_db.exec("DELETE FROM list_subscribers WHERE list_id = ? AND user_id = ?",
                  {id, call.userId});
    else
        m_db.exec("INSERT OR IGNORE INTO list_subscribers (list_id, user_id) VALUES (?, ?)",
                  {id, call.userId});
    call.json(listJson(id, call.userId, call.origin()));
}

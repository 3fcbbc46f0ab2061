#include "Database.h"

#include <QDebug>
#include <sqlite3.h>

namespace {

constexpr char kSchema[] = R"SQL(
CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT);
CREATE TABLE IF NOT EXISTS users (
    id INTEGER PRIMARY KEY, screen_name TEXT NOT NULL UNIQUE COLLATE NOCASE,
    name TEXT, password TEXT, description TEXT, location TEXT, url TEXT,
    created_at INTEGER, protected INTEGER DEFAULT 0, verified INTEGER DEFAULT 0,
    utc_offset INTEGER DEFAULT 0, time_zone TEXT,
    token TEXT UNIQUE, token_secret TEXT, image BLOB, image_type TEXT);
CREATE TABLE IF NOT EXISTS follows (
    follower INTEGER, followee INTEGER, notifications INTEGER DEFAULT 0,
    PRIMARY KEY (follower, followee));
CREATE TABLE IF NOT EXISTS blocks (blocker INTEGER, blocked INTEGER, PRIMARY KEY (blocker, blocked));
CREATE TABLE IF NOT EXISTS spam_reports (reporter INTEGER, reported INTEGER, created_at INTEGER);
CREATE TABLE IF NOT EXISTS statuses (
    id INTEGER PRIMARY KEY, user_id INTEGER NOT NULL, text TEXT NOT NULL, created_at INTEGER,
    source TEXT, in_reply_to_status_id INTEGER, in_reply_to_user_id INTEGER,
    in_reply_to_screen_name TEXT, retweet_of INTEGER, deleted INTEGER DEFAULT 0);
CREATE INDEX IF NOT EXISTS statuses_user ON statuses (user_id, id);
CREATE TABLE IF NOT EXISTS favorites (user_id INTEGER, status_id INTEGER, PRIMARY KEY (user_id, status_id));
CREATE TABLE IF NOT EXISTS direct_messages (
    id INTEGER PRIMARY KEY, sender INTEGER, recipient INTEGER, text TEXT, created_at INTEGER,
    deleted INTEGER DEFAULT 0);
CREATE TABLE IF NOT EXISTS lists (
    id INTEGER PRIMARY KEY, owner INTEGER, slug TEXT, name TEXT, mode TEXT DEFAULT 'public');
CREATE TABLE IF NOT EXISTS list_members (list_id INTEGER, user_id INTEGER, PRIMARY KEY (list_id, user_id));
CREATE TABLE IF NOT EXISTS list_descriptions (list_id INTEGER PRIMARY KEY, description TEXT);
CREATE TABLE IF NOT EXISTS list_subscribers (list_id INTEGER, user_id INTEGER, PRIMARY KEY (list_id, user_id));
CREATE TABLE IF NOT EXISTS saved_searches (
    id INTEGER PRIMARY KEY, user_id INTEGER, name TEXT, query TEXT, created_at INTEGER);
CREATE TABLE IF NOT EXISTS short_links (
    host TEXT, code TEXT, target TEXT, created_at INTEGER, PRIMARY KEY (host, code));
CREATE TABLE IF NOT EXISTS dated_filters (
    id INTEGER PRIMARY KEY, kind TEXT, owner TEXT, factor TEXT, predicate TEXT, network TEXT,
    duration INTEGER, created_at INTEGER, updated_at INTEGER, started_at INTEGER,
    extended_at INTEGER, deleted INTEGER DEFAULT 0);
CREATE TABLE IF NOT EXISTS translates (
    id INTEGER PRIMARY KEY, owner TEXT, factor TEXT, network TEXT, is_active INTEGER DEFAULT 1);
CREATE TABLE IF NOT EXISTS groups (
    id INTEGER PRIMARY KEY, owner TEXT, network TEXT, remote_id TEXT, remote_username TEXT,
    name TEXT);
CREATE TABLE IF NOT EXISTS group_members (group_id INTEGER, member TEXT, PRIMARY KEY (group_id, member));
CREATE TABLE IF NOT EXISTS link_reports (
    id INTEGER PRIMARY KEY, kind TEXT, guid TEXT, shortener TEXT, url TEXT, destination TEXT,
    created_at INTEGER);
CREATE TABLE IF NOT EXISTS heartbeats (guid TEXT PRIMARY KEY, build TEXT, last_seen INTEGER);
)SQL";

void bindAll(sqlite3_stmt *stmt, const QVariantList &binds)
{
    for (int i = 0; i < binds.size(); ++i) {
        const QVariant &v = binds.at(i);
        const int slot = i + 1;
        if (!v.isValid() || v.isNull()) {
            sqlite3_bind_null(stmt, slot);
        } else if (v.typeId() == QMetaType::QByteArray) {
            const QByteArray b = v.toByteArray();
            sqlite3_bind_blob64(stmt, slot, b.constData(), sqlite3_uint64(b.size()),
                                SQLITE_TRANSIENT);
        } else if (v.typeId() == QMetaType::QString) {
            const QByteArray s = v.toString().toUtf8();
            sqlite3_bind_text64(stmt, slot, s.constData(), sqlite3_uint64(s.size()),
                                SQLITE_TRANSIENT, SQLITE_UTF8);
        } else if (v.typeId() == QMetaType::Double) {
            sqlite3_bind_double(stmt, slot, v.toDouble());
        } else {
            sqlite3_bind_int64(stmt, slot, v.toLongLong());
        }
    }
}

QVariant columnValue(sqlite3_stmt *stmt, int col)
{
    switch (sqlite3_column_type(stmt, col)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(stmt, col)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, col));
    case SQLITE_TEXT:
        return QVariant(
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, col)),
                              sqlite3_column_bytes(stmt, col)));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, col)),
                                   sqlite3_column_bytes(stmt, col)));
    default:
        return QVariant();
    }
}

} // namespace

Database::~Database()
{
    close();
}

bool Database::open(const QString &path, QString *error)
{
    close();
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : "out of memory");
        close();
        return false;
    }
    sqlite3_busy_timeout(m_db, 2000);
    execScript("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
    m_created = !scalar("SELECT name FROM sqlite_master WHERE name = 'meta'").isValid();
    if (!execScript(kSchema)) {
        if (error)
            *error = m_lastError;
        close();
        return false;
    }
    return true;
}

void Database::close()
{
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool Database::execScript(const char *sql)
{
    char *message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        m_lastError = QString::fromUtf8(message ? message : "sqlite error");
        sqlite3_free(message);
        return false;
    }
    return true;
}

QList<Database::Row> Database::query(const char *sql, const QVariantList &binds)
{
    QList<Row> rows;
    sqlite3_stmt *stmt = nullptr;
    if (!m_db || sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        m_lastError = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : "not open");
        qWarning("sandbox: SQL error %s in %s", qPrintable(m_lastError), sql);
        return rows;
    }
    bindAll(stmt, binds);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        Row row;
        const int n = sqlite3_column_count(stmt);
        row.reserve(n);
        for (int c = 0; c < n; ++c)
            row.append(columnValue(stmt, c));
        rows.append(row);
    }
    if (rc != SQLITE_DONE) {
        m_lastError = QString::fromUtf8(sqlite3_errmsg(m_db));
        qWarning("sandbox: SQL error %s in %s", qPrintable(m_lastError), sql);
    }
    sqlite3_finalize(stmt);
    return rows;
}

QVariant Database::scalar(const char *sql, const QVariantList &binds)
{
    const QList<Row> rows = query(sql, binds);
    if (rows.isEmpty() || rows.first().isEmpty())
        return QVariant();
    return rows.first().first();
}

int Database::exec(const char *sql, const QVariantList &binds)
{
    sqlite3_stmt *stmt = nullptr;
    if (!m_db || sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        m_lastError = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : "not open");
        qWarning("sandbox: SQL error %s in %s", qPrintable(m_lastError), sql);
        return -1;
    }
    bindAll(stmt, binds);
    const int rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        m_lastError = QString::fromUtf8(sqlite3_errmsg(m_db));
        qWarning("sandbox: SQL error %s in %s", qPrintable(m_lastError), sql);
        return -1;
    }
    return sqlite3_changes(m_db);
}

qint64 Database::lastInsertId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

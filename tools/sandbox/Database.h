#pragma once

#include <QList>
#include <QString>
#include <QVariant>

struct sqlite3;

// A thin wrapper over one SQLite connection. Not thread-safe: the server serialises
// every request that touches state.
class Database
{
public:
    using Row = QVariantList;

    Database() = default;
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens (creating when missing) and brings the schema up to date.
    bool open(const QString &path, QString *error);
    void close();
    // True when open() created the schema (the database was empty).
    [[nodiscard]] bool wasCreated() const { return m_created; }

    QList<Row> query(const char *sql, const QVariantList &binds = {});
    // First column of the first row, or an invalid QVariant.
    QVariant scalar(const char *sql, const QVariantList &binds = {});
    // Runs a statement; returns the number of changed rows, -1 on error.
    int exec(const char *sql, const QVariantList &binds = {});
    [[nodiscard]] qint64 lastInsertId() const;
    bool execScript(const char *sql);

    [[nodiscard]] QString lastError() const { return m_lastError; }

private:
    sqlite3 *m_db = nullptr;
    bool m_created = false;
    QString m_lastError;
};

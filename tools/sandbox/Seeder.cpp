#include "Seeder.h"

#include "SandboxServer.h"

#include <QStringList>

namespace {

const char *const kNames[] = {"alice",  "bob",   "carol",  "dave",    "erin",    "frank",
                              "grace",  "heidi", "ivan",   "judy",    "mallory", "niaj",
                              "olivia", "peggy", "rupert", "sybil",   "trent",   "victor",
                              "walter", "yara",  "zoe",    "quentin", "uma",     "xavier"};
const char *const kWords[] = {"coffee", "release", "build", "weekend", "music", "train",
                              "rain",   "lunch",   "patch", "review",  "talk",  "garden",
                              "photo",  "city",    "book",  "game",    "snow",  "bike"};
const char *const kTags[] = {"#talvo", "#sandbox", "#qt", "#linux", "#coffee", "#music"};
const char *const kSources[] = {
    "web", "txt", "<a href=\"http://talvo.app\" rel=\"nofollow\">Talvo</a>",
    "<a href=\"http://www.example.com/client\" rel=\"nofollow\">Example Client</a>"};
const char *const kCities[] = {"Berlin", "Lisbon", "Oslo", "Austin", "Kyoto", ""};

// Ids of the era for the older half, above 2^53 for the newer half, so clients that read
// ids as doubles fail visibly.
constexpr qint64 kOldIdBase = 1441588944;
constexpr qint64 kBigIdBase = 9007199254740993LL; // 2^53 + 1
constexpr qint64 kUserIdBase = 14000;
constexpr qint64 kSeedSpanSecs = 10 * 86400;

} // namespace

Database::Row Seeder::retweetable(qint64 statusId, qint64 retweeter)
{
    const Database::Row row =
        m_server.db()
            .query("SELECT s.id, u.screen_name, s.text, s.user_id FROM statuses s JOIN users u ON "
                   "u.id = s.user_id WHERE s.id = (SELECT COALESCE(retweet_of, id) FROM statuses "
                   "WHERE id = ?)",
                   {statusId})
            .value(0);
    if (row.isEmpty() || row.at(3).toLongLong() == retweeter)
        return {};
    return row;
}

int Seeder::rand(int n)
{
    return n <= 1 ? 0 : int(m_server.rng()() % quint32(n));
}

qint64 Seeder::nextStatusId(SandboxServer &server)
{
    const qint64 top = server.db().scalar("SELECT MAX(id) FROM statuses").toLongLong();
    return qMax(top, kBigIdBase) + 1 + qint64(server.rng()() % 1000);
}

qint64 Seeder::nextMessageId(SandboxServer &server)
{
    const qint64 top = server.db().scalar("SELECT MAX(id) FROM direct_messages").toLongLong();
    return qMax(top, qint64(500000000)) + 1 + qint64(server.rng()() % 100);
}

qint64 Seeder::randomUser(qint64 except)
{
    const QList<Database::Row> rows = m_server.db().query("SELECT id FROM users ORDER BY id");
    for (int tries = 0; tries < 8; ++tries) {
        const qint64 id = rows.at(rand(int(rows.size()))).at(0).toLongLong();
        if (id != except)
            return id;
    }
    return rows.first().at(0).toLongLong();
}

QString Seeder::randomText(qint64 authorId, bool withLink)
{
    QStringList parts;
    const int words = 3 + rand(6);
    for (int i = 0; i < words; ++i)
        parts << QString::fromLatin1(kWords[rand(std::size(kWords))]);
    if (rand(3) == 0)
        parts << QString::fromLatin1(kTags[rand(std::size(kTags))]);
    if (rand(4) == 0) {
        const qint64 other = randomUser(authorId);
        parts.insert(rand(int(parts.size())),
                     QStringLiteral("@") +
                         m_server.db()
                             .scalar("SELECT screen_name FROM users WHERE id = ?", {other})
                             .toString());
    }
    if (withLink) {
        const QList<Database::Row> links =
            m_server.db().query("SELECT host, code FROM short_links ORDER BY host, code");
        if (!links.isEmpty()) {
            const Database::Row &l = links.at(rand(int(links.size())));
            parts << QStringLiteral("https://%1:%2/%3")
                         .arg(l.at(0).toString(), QLatin1String(kPortToken), l.at(1).toString());
        }
    }
    QString text = parts.join(u' ');
    text[0] = text[0].toUpper();
    return text.left(140);
}

void Seeder::seed(int userCount)
{
    Database &db = m_server.db();
    const qint64 now = m_server.now();
    db.execScript("BEGIN");
    db.exec("INSERT OR REPLACE INTO meta (key, value) VALUES ('created', ?)", {now});

    // Short links first, so statuses can carry them. Some redirect twice, some are framed.
    const QString www =
        QStringLiteral("https://www.localhost:%1/articles/").arg(QLatin1String(kPortToken));
    int article = 1;
    for (const QString &name : SandboxServer::shortenerNames()) {
        const QString host = name + QStringLiteral(".localhost");
        for (int i = 1; i <= 4; ++i)
            db.exec("INSERT INTO short_links (host, code, target, created_at) VALUES (?, ?, ?, ?)",
                    {host, QStringLiteral("%1%2").arg(name.left(1)).arg(i),
                     www + QString::number(article++), now - kSeedSpanSecs});
    }
    // A chain: j.mp -> bit.ly -> article.
    db.exec("INSERT INTO short_links (host, code, target, created_at) VALUES (?, ?, ?, ?)",
            {QStringLiteral("jmp.localhost"), QStringLiteral("chain1"),
             QStringLiteral("https://bitly.localhost:%1/b1").arg(QLatin1String(kPortToken)),
             now - kSeedSpanSecs});
    for (int i = 1; i <= 3; ++i)
        db.exec("INSERT INTO short_links (host, code, target, created_at) VALUES (?, ?, ?, ?)",
                {QStringLiteral("frame.localhost"), QStringLiteral("f%1").arg(i),
                 www + QString::number(article++), now - kSeedSpanSecs});
    for (int i = 1; i <= 2; ++i)
        db.exec("INSERT INTO short_links (host, code, target, created_at) VALUES (?, ?, ?, ?)",
                {QStringLiteral("frameset.localhost"), QStringLiteral("s%1").arg(i),
                 www + QString::number(article++), now - kSeedSpanSecs});

    userCount = qBound(2, userCount, 1000);
    QList<qint64> users;
    for (int i = 0; i < userCount; ++i) {
        const qint64 id = kUserIdBase + i * 7;
        users << id;
        const QString screen = i < int(std::size(kNames)) ? QString::fromLatin1(kNames[i])
                                                          : QStringLiteral("user%1").arg(i + 1);
        QString name = screen;
        name[0] = name[0].toUpper();
        db.exec("INSERT INTO users (id, screen_name, name, password, description, location, url,"
                " created_at, verified, utc_offset, time_zone) VALUES (?,?,?,?,?,?,?,?,?,?,?)",
                {id, screen, name + QStringLiteral(" Example"), QString::fromLatin1(kPassword),
                 QStringLiteral("Sandbox user number %1").arg(i + 1),
                 QString::fromLatin1(kCities[i % std::size(kCities)]),
                 i % 3 == 0 ? QVariant(QStringLiteral("http://www.example.com/%1").arg(screen))
                            : QVariant(),
                 now - 400 * 86400 + i * 86400, i == 1 ? 1 : 0, -18000 + 3600 * (i % 5),
                 QStringLiteral("UTC")});
    }
    // The first user follows everybody and everybody follows the first user, so every path
    // (home, mentions, direct messages both ways) has data for the demo account.
    for (qint64 a : users) {
        for (qint64 b : users) {
            if (a == b)
                continue;
            if (a == users.first() || b == users.first() || rand(2) == 0)
                db.exec("INSERT INTO follows (follower, followee) VALUES (?, ?)", {a, b});
        }
    }

    const int statusCount = userCount * 15;
    QList<qint64> statusIds, authors;
    for (int i = 0; i < statusCount; ++i) {
        const qint64 id = i < statusCount / 2
                              ? kOldIdBase + i * 997 + rand(900)
                              : kBigIdBase + (i - statusCount / 2) * 1009 + rand(900);
        const qint64 when = now - kSeedSpanSecs + (kSeedSpanSecs * i) / statusCount;
        const qint64 author = users.at(rand(int(users.size())));
        QVariant replyTo, replyUser, replyName, retweetOf;
        QString text;
        const int kind = statusIds.isEmpty() ? 0 : rand(10);
        if (kind == 1) { // a reply
            const int target = rand(int(statusIds.size()));
            const QString other =
                db.scalar("SELECT screen_name FROM users WHERE id = ?", {authors.at(target)})
                    .toString();
            replyTo = statusIds.at(target);
            replyUser = authors.at(target);
            replyName = other;
            text = QStringLiteral("@%1 %2").arg(other, randomText(author, false)).left(140);
        } else if (kind == 2 && !retweetable(statusIds.last(), author).isEmpty()) { // a retweet
            // Retweets always point at the original status, never at another retweet.
            const Database::Row row = retweetable(statusIds.last(), author);
            retweetOf = row.at(0);
            text = QStringLiteral("RT @%1: %2")
                       .arg(row.at(1).toString(), row.at(2).toString())
                       .left(140);
        } else {
            text = randomText(author, kind == 3 || kind == 4);
            if (kind == 5) // a picture
                text = QStringLiteral("%1 https://%2:%3/p%4")
                           .arg(text.left(100),
                                QLatin1String(i % 2 ? "pics.localhost" : "photos.localhost"),
                                QLatin1String(kPortToken))
                           .arg(i);
        }
        db.exec(
            "INSERT INTO statuses (id, user_id, text, created_at, source, in_reply_to_status_id,"
            " in_reply_to_user_id, in_reply_to_screen_name, retweet_of) VALUES (?,?,?,?,?,?,?,?,?)",
            {id, author, text, when, QString::fromLatin1(kSources[rand(std::size(kSources))]),
             replyTo, replyUser, replyName, retweetOf});
        statusIds << id;
        authors << author;
    }
    for (qint64 u : users) {
        for (int f = 0; f < 4; ++f)
            db.exec("INSERT OR IGNORE INTO favorites (user_id, status_id) VALUES (?, ?)",
                    {u, statusIds.at(rand(int(statusIds.size())))});
    }
    for (int i = 0; i < userCount * 4; ++i) {
        const qint64 sender = users.at(rand(int(users.size())));
        qint64 recipient = i % 2 == 0 ? users.first() : users.at(rand(int(users.size())));
        if (recipient == sender)
            recipient = sender == users.first() ? users.at(1) : users.first();
        db.exec("INSERT INTO direct_messages (id, sender, recipient, text, created_at) VALUES "
                "(?,?,?,?,?)",
                {qint64(500000000) + i * 13, sender, recipient, randomText(sender, i % 5 == 0),
                 now - kSeedSpanSecs + (kSeedSpanSecs * i) / (userCount * 4)});
    }
    for (int l = 0; l < qMin(3, userCount); ++l) {
        const qint64 owner = users.at(l);
        db.exec("INSERT INTO lists (id, owner, slug, name, mode) VALUES (?, ?, ?, ?, ?)",
                {qint64(1129440 + l), owner, QStringLiteral("friends"), QStringLiteral("Friends"),
                 QString::fromLatin1(l == 2 ? "private" : "public")});
        for (int m = 1; m <= qMin(4, userCount - 1); ++m)
            db.exec("INSERT OR IGNORE INTO list_members (list_id, user_id) VALUES (?, ?)",
                    {qint64(1129440 + l), users.at((l + m) % userCount)});
    }
    if (userCount > 1)
        db.exec("INSERT INTO list_subscribers (list_id, user_id) VALUES (?, ?)",
                {qint64(1129441), users.first()});
    db.exec("INSERT INTO saved_searches (id, user_id, name, query, created_at) VALUES (?,?,?,?,?)",
            {qint64(7095598), users.first(), QStringLiteral("#talvo"), QStringLiteral("#talvo"),
             now - 5 * 86400});
    db.exec("INSERT INTO saved_searches (id, user_id, name, query, created_at) VALUES (?,?,?,?,?)",
            {qint64(7095610), users.first(), QStringLiteral("coffee OR music"),
             QStringLiteral("coffee OR music"), now - 4 * 86400});
    db.execScript("COMMIT");
}

void Seeder::addActivity(qint64 now)
{
    Database &db = m_server.db();
    const qint64 first = db.scalar("SELECT MIN(id) FROM users").toLongLong();
    const qint64 author = randomUser(first);
    const int kind = rand(5);
    if (kind == 0) {
        db.exec("INSERT INTO direct_messages (id, sender, recipient, text, created_at) VALUES "
                "(?,?,?,?,?)",
                {nextMessageId(m_server), author, first, randomText(author, false), now});
        return;
    }
    QString text = randomText(author, kind == 1);
    if (kind == 2) {
        const QString name =
            db.scalar("SELECT screen_name FROM users WHERE id = ?", {first}).toString();
        text = QStringLiteral("@%1 %2").arg(name, text).left(140);
    }
    db.exec("INSERT INTO statuses (id, user_id, text, created_at, source) VALUES (?,?,?,?,?)",
            {nextStatusId(m_server), author, text, now,
             QString::fromLatin1(kSources[rand(std::size(kSources))])});
}

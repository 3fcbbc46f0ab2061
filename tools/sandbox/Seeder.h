#pragma once

#include "Database.h"

#include <QString>

class SandboxServer;

// Fills a new database with users, a follow graph, statuses (replies, retweets, links,
// hashtags, ids on both sides of 2^53), direct messages, favourites, lists, saved
// searches and short links; and adds new activity while the sandbox runs.
class Seeder
{
public:
    explicit Seeder(SandboxServer &server)
        : m_server(server)
    {
    }

    static constexpr char kPassword[] = "sandbox";
    // Placeholder in stored texts and link targets for the sandbox's HTTPS port.
    static constexpr char kPortToken[] = "%PORT%";

    void seed(int userCount);
    void addActivity(qint64 now);

    // The next status or direct-message id: above every id so far, so ids grow with time.
    static qint64 nextStatusId(SandboxServer &server);
    static qint64 nextMessageId(SandboxServer &server);

private:
    qint64 randomUser(qint64 except = 0);
    // The original behind statusId (id, author name, text, author id), or empty when
    // retweeter wrote it.
    Database::Row retweetable(qint64 statusId, qint64 retweeter);
    QString randomText(qint64 authorId, bool withLink);
    int rand(int n);

    SandboxServer &m_server;
};

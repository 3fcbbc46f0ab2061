#pragma once

#include "Database.h"
#include "SandboxCall.h"

#include <QRegularExpression>

#include <functional>

#include <vector>

class SandboxServer;

// The Twitter REST (version-1 paths), search and xAuth answers.
class TwitterApi
{
public:
    explicit TwitterApi(SandboxServer &server);
    // The picture of a user who uploaded none (a 1x1 PNG).
    [[nodiscard]] static QByteArray defaultProfilePicture();
    // False when the path is not a Twitter path.
    bool handle(SandboxCall &call);

private:
    enum class Auth
    {
        Signed,
        Unsigned,
        XAuth
    };
    using Handler = void (TwitterApi::*)(SandboxCall &, const QRegularExpressionMatch &);
    struct Route
    {
        QByteArray methods; // "GET", "POST" or "GET POST"
        QRegularExpression path;
        Auth auth;
        Handler handler;
    };

    // The OAuth check and the rate-limit accounting of a route; false when they answered
    // the call already (401, 400).
    bool passesChecks(SandboxCall &call, Auth auth);

    // Rendering
    SandboxJson userJson(qint64 id, qint64 viewer, const QString &origin, bool withStatus = false);
    SandboxJson statusJson(const Database::Row &row, qint64 viewer, const QString &origin,
                           bool withUser = true);
    SandboxJson statusById(qint64 id, qint64 viewer, const QString &origin);
    SandboxJson messageJson(const Database::Row &row, const QString &origin);
    QString expand(QString text) const;
    void error(SandboxCall &call, int status, const QString &message);

    // Queries
    // Statuses matching where, newest first, paged as the request asks; keep filters what
    // SQL cannot say.
    void timeline(SandboxCall &call, const QString &where, const QVariantList &binds,
                  const char *countParam = "count", int defaultCount = 20,
                  const std::function<bool(const Database::Row &)> &keep = {});
    qint64 userByName(const QString &screenName);
    // The id of an owner's list named by slug or id; 0 when there is none.
    qint64 listOf(const QString &ownerName, const QString &listPart);
    SandboxJson listJson(qint64 id, qint64 viewer, const QString &origin);
    bool checkListFields(SandboxCall &call, QString *name, QString *mode, QString *description);
    qint64 targetUser(SandboxCall &call, const QString &pathPart);
    bool follows(qint64 a, qint64 b);

    // Routes
    void home(SandboxCall &, const QRegularExpressionMatch &);
    void createList(SandboxCall &, const QRegularExpressionMatch &);
    void changeList(SandboxCall &, const QRegularExpressionMatch &);
    void listMembers(SandboxCall &, const QRegularExpressionMatch &);
    void listSubscribers(SandboxCall &, const QRegularExpressionMatch &);
    void userTimeline(SandboxCall &, const QRegularExpressionMatch &);
    void mentions(SandboxCall &, const QRegularExpressionMatch &);
    void showStatus(SandboxCall &, const QRegularExpressionMatch &);
    void updateStatus(SandboxCall &, const QRegularExpressionMatch &);
    void destroyStatus(SandboxCall &, const QRegularExpressionMatch &);
    void retweet(SandboxCall &, const QRegularExpressionMatch &);
    void retweetedByMe(SandboxCall &, const QRegularExpressionMatch &);
    void retweetedToMe(SandboxCall &, const QRegularExpressionMatch &);
    void retweetsOfMe(SandboxCall &, const QRegularExpressionMatch &);
    void favorites(SandboxCall &, const QRegularExpressionMatch &);
    void favorite(SandboxCall &, const QRegularExpressionMatch &);
    void directMessages(SandboxCall &, const QRegularExpressionMatch &);
    void newDirectMessage(SandboxCall &, const QRegularExpressionMatch &);
    void destroyDirectMessage(SandboxCall &, const QRegularExpressionMatch &);
    void friendship(SandboxCall &, const QRegularExpressionMatch &);
    void friendshipExists(SandboxCall &, const QRegularExpressionMatch &);
    void friendshipShow(SandboxCall &, const QRegularExpressionMatch &);
    void followList(SandboxCall &, const QRegularExpressionMatch &);
    void idList(SandboxCall &, const QRegularExpressionMatch &);
    void showUser(SandboxCall &, const QRegularExpressionMatch &);
    void verifyCredentials(SandboxCall &, const QRegularExpressionMatch &);
    void updateProfileImage(SandboxCall &, const QRegularExpressionMatch &);
    void notifications(SandboxCall &, const QRegularExpressionMatch &);
    void block(SandboxCall &, const QRegularExpressionMatch &);
    void blockExists(SandboxCall &, const QRegularExpressionMatch &);
    void blocking(SandboxCall &, const QRegularExpressionMatch &);
    void reportSpam(SandboxCall &, const QRegularExpressionMatch &);
    void savedSearches(SandboxCall &, const QRegularExpressionMatch &);
    void savedSearchShow(SandboxCall &, const QRegularExpressionMatch &);
    void savedSearchCreate(SandboxCall &, const QRegularExpressionMatch &);
    void savedSearchDestroy(SandboxCall &, const QRegularExpressionMatch &);
    void lists(SandboxCall &, const QRegularExpressionMatch &);
    void listStatuses(SandboxCall &, const QRegularExpressionMatch &);
    void trends(SandboxCall &, const QRegularExpressionMatch &);
    void search(SandboxCall &, const QRegularExpressionMatch &);
    void accessToken(SandboxCall &, const QRegularExpressionMatch &);
    void profileImage(SandboxCall &, const QRegularExpressionMatch &);

    SandboxServer &m_server;
    Database &m_db;
    std::vector<Route> m_routes;
};

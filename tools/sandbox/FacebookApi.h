#pragma once

#include "SandboxCall.h"

class SandboxServer;

// A stand-in for the Facebook Graph API on graph.facebook.localhost and its web site on
// facebook.localhost: the authorisation page with a code redirect to a loopback address,
// the code-for-token exchange checked against the S256 challenge, the news feed, people,
// post details and posting. The seeded users are its people (same names and password);
// everybody's posts are in everybody's feed.
class FacebookApi
{
public:
    static constexpr char kGraphHost[] = "graph.facebook.localhost";
    static constexpr char kWebHost[] = "facebook.localhost";
    // Graph user ids are the sandbox user ids plus this.
    static constexpr qint64 kUserIdBase = 100000000000000;

    FacebookApi(SandboxServer &server, QByteArray appId);
    bool handle(SandboxCall &call);

    // Adds posts when the tables are empty.
    void seedIfEmpty();

private:
    void authorizePage(SandboxCall &call);
    void authorizeSubmit(SandboxCall &call);
    void accessToken(SandboxCall &call);
    void newsFeed(SandboxCall &call, qint64 userId);
    void objects(SandboxCall &call, qint64 userId);
    void postStatus(SandboxCall &call, qint64 userId);
    void revokeAccess(SandboxCall &call, qint64 userId);
    // The web host's /pictures/<user name>: the user's picture.
    void picture(SandboxCall &call);

    // The sandbox user of the request's access token, or 0 after answering the error.
    qint64 authenticate(SandboxCall &call);
    // Empty when the authorisation request is acceptable, else the reason.
    QString authorizationProblem(const SandboxCall &call) const;
    [[nodiscard]] SandboxJson userRecord(qint64 userId, const SandboxCall &call);
    [[nodiscard]] SandboxJson postRecord(const QVariantList &row, const SandboxCall &call);
    [[nodiscard]] QString webOrigin(const SandboxCall &call) const;
    static void graphError(SandboxCall &call, int code, const QString &message,
                           int httpStatus = 400);

    SandboxServer &m_server;
    QByteArray m_appId;
};

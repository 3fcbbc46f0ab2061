#pragma once

#include "Database.h"
#include "SandboxCall.h"

class SandboxServer;

// Ping.fm (api.pingfm.localhost, short links on pingfm.localhost), Instapaper
// (www.instapaper.localhost), the text-shrinking service (api.shrink.localhost) and the
// translation service (api.translate.localhost). Posts and saved links are kept in the
// database.
//
// A seeded user's Ping.fm application key is "appkey-<screen name>"; the developer key
// may be any 32 hexadecimal digits. Instapaper takes the seeded users' screen names and
// passwords.
class TextServicesApi
{
public:
    explicit TextServicesApi(SandboxServer &server);
    bool handle(SandboxCall &call);

    static QStringList hostNames();

private:
    bool pingfm(SandboxCall &call);
    bool instapaper(SandboxCall &call);
    bool shrink(SandboxCall &call);
    bool translate(SandboxCall &call);
    // The screen name of a known user whose password matches; empty otherwise.
    QString instapaperUser(const SandboxCall &call);

    SandboxServer &m_server;
    Database &m_db;
};

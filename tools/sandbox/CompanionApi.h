#pragma once

#include "Database.h"
#include "SandboxCall.h"

class SandboxServer;

// The companion service: configuration, dated filters, groups, trends with details,
// link reports, epoch and heartbeat, all under "/v1/".
class CompanionApi
{
public:
    explicit CompanionApi(SandboxServer &server);
    bool handle(SandboxCall &call);

private:
    // The companion account from HTTP Basic credentials: 0 when absent, -1 when wrong.
    qint64 basicUser(const SandboxCall &call, QString *name);
    void status(SandboxCall &call, int code, const QString &message = QString(),
                SandboxJson body = SandboxJson::object());
    SandboxJson filterJson(const Database::Row &row);
    SandboxJson translateJson(const Database::Row &row);
    SandboxJson groupJson(qint64 id);

    void shorteners(SandboxCall &call);
    void setups(SandboxCall &call);
    void configurations(SandboxCall &call, const QString &owner);
    void trends(SandboxCall &call);
    void report(SandboxCall &call, const QString &kind);
    bool filters(SandboxCall &call, const QString &owner, const QStringList &parts);
    bool translates(SandboxCall &call, const QString &owner, const QStringList &parts);
    bool groups(SandboxCall &call, const QString &owner, const QStringList &parts);

    SandboxServer &m_server;
    Database &m_db;
};

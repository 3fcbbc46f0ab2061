#pragma once

#include "Database.h"
#include "SandboxCall.h"

class SandboxServer;

// The shorteners' APIs (on api.<name>.localhost), their short links (on <name>.localhost,
// answered with redirects), a framing host, two picture hosts and the pages long links
// point at.
class ShortLinks
{
public:
    explicit ShortLinks(SandboxServer &server);
    bool handle(SandboxCall &call);

private:
    bool api(SandboxCall &call, const QString &service);
    bool follow(SandboxCall &call, const QString &host);
    bool picture(SandboxCall &call, const QString &host);
    bool shapes(SandboxCall &call, const QString &host);
    static QByteArray picturePageHtml(const QString &host, const QString &id);
    static QByteArray goneHtml(const QString &host);
    QString shorten(const QString &service, const QString &longUrl, qint64 now);
    QString longFor(const QString &shortUrl);
    QString expand(QString text) const;

    SandboxServer &m_server;
    Database &m_db;
};

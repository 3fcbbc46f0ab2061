#include "ShortenerApi.h"

#include "SandboxServer.h"

#include <QUrl>

ShortenerApi::ShortenerApi(SandboxServer &server)
    : m_server(server)
{
}

bool ShortenerApi::handle(SandboxCall &call)
{
    if (call.host != u"api.trim.localhost")
        return false;
    const bool destination = call.path.startsWith(QLatin1String("/v1/trim_destination"));
    const bool accountUrls = call.path.startsWith(QLatin1String("/v1/account_urls"));
    const bool verify = call.path.startsWith(QLatin1String("/v1/verify"));
    if (!destination && !accountUrls && !verify)
        return false;
    SandboxJson out = SandboxJson::object();
    if (call.param("api_key").isEmpty()) {
        out.set(QStringLiteral("status"), "ERROR");
        out.set(QStringLiteral("message"), "An API key is required");
        call.json(out, 401);
        return true;
    }
    if ((accountUrls || verify) && !call.authorization.startsWith("Basic ")) {
        out.set(QStringLiteral("status"), "ERROR");
        out.set(QStringLiteral("message"), "Authentication required");
        call.json(out, 401);
        return true;
    }
    if (destination) {
        const QUrl shortUrl(call.param("trimpath"));
        const QVariant target =
            m_server.db().scalar("SELECT target FROM short_links WHERE host = ? AND code = ?",
                                 {shortUrl.host().toLower(), shortUrl.path().mid(1)});
        if (!target.isValid()) {
            out.set(QStringLiteral("status"), "ERROR");
            out.set(QStringLiteral("message"), "Not found");
            call.json(out, 404);
            return true;
        }
        out.set(QStringLiteral("destination"), target.toString());
    }
    if (accountUrls)
        out.set(QStringLiteral("urls"), SandboxJson::array());
    out.set(QStringLiteral("status"), "OK");
    call.json(out);
    return true;
}

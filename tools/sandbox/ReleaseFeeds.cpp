#include "ReleaseFeeds.h"

#include "SandboxCall.h"
#include "SandboxServer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QUuid>
#include <httplib.h>

namespace {

QByteArray generatedFeed(const SandboxCall &call, const char *version)
{
    const QByteArray v(version);
    const QByteArray notes = call.origin().toUtf8() + "/releases/" + v + ".html";
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:talvo=\"https://talvo.org/xml/appcast\">\n"
           "<channel>\n<title>Talvo</title>\n<language>en</language>\n"
           "<item>\n<title>Talvo " +
           v + "</title>\n<talvo:releaseNotesLink>" + notes +
           "</talvo:releaseNotesLink>\n"
           "<pubDate>" +
           httpDate(call.now).replace("GMT", "+0000") +
           "</pubDate>\n"
           "<enclosure url=\"" +
           call.origin().toUtf8() + "/downloads/talvo_" + v +
           "_amd64.deb\" length=\"1024\" type=\"application/octet-stream\" talvo:version=\"" + v +
           "\"/>\n</item>\n</channel>\n</rss>\n";
}

void feed(SandboxCall &call, const SandboxOptions &options, bool beta)
{
    const QString file = options.dataDir + (beta ? QLatin1String("/updates/beta/versions.rss")
                                                 : QLatin1String("/updates/versions.rss"));
    QFile f(file);
    if (f.open(QIODevice::ReadOnly)) {
        call.text(f.readAll(), 200, "application/rss+xml");
        return;
    }
    call.text(
        generatedFeed(call, beta ? ReleaseFeeds::kBetaVersion : ReleaseFeeds::kReleaseVersion), 200,
        "application/rss+xml");
}

void crashReport(SandboxCall &call, const SandboxOptions &options)
{
    if (call.param("api_key").toUtf8() != options.apiKey) {
        call.text("{\"error\":\"Invalid API key\"}", 401, "application/json");
        return;
    }
    const std::string &body = call.req->body;
    if (body.size() > size_t(ReleaseFeeds::kMaxReportBytes)) {
        call.text("{\"error\":\"Report too large\"}", 413, "application/json");
        return;
    }
    if (body.empty() || body.front() != '{') {
        call.text("{\"error\":\"Expected a JSON object\"}", 400, "application/json");
        return;
    }
    const QString dir = options.dataDir + QLatin1String("/crash-reports");
    QDir().mkpath(dir);
    QSaveFile out(dir + u'/' + QString::number(call.now) + u'-' +
                  QUuid::createUuid().toString(QUuid::WithoutBraces) + QLatin1String(".json"));
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(body.data(), qint64(body.size())) != qint64(body.size()) || !out.commit()) {
        call.text("{\"error\":\"Cannot store the report\"}", 500, "application/json");
        return;
    }
    call.text("{\"status\":\"ok\"}", 200, "application/json");
}

} // namespace

bool ReleaseFeeds::handle(SandboxCall &call, const SandboxOptions &options)
{
    if (call.method == "GET" && call.path == u"/v1/update/versions.rss") {
        feed(call, options, false);
        return true;
    }
    if (call.method == "GET" && call.path == u"/v1/update/beta/versions.rss") {
        feed(call, options, true);
        return true;
    }
    if (call.method == "POST" && call.path == u"/v1/report/crash") {
        crashReport(call, options);
        return true;
    }
    return false;
}

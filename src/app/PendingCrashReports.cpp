#include "app/PendingCrashReports.h"

#include "foundation/HostProfile.h"
#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "http/HttpRequest.h"
#include "platform/Alerts.h"
#include "json/JsonWriter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QUrlQuery>

namespace {
constexpr char kSuffix[] = ".crash";

QUrl reportUrl(const CrashReporter::Launch &launch)
{
    // The companion host of the installed profile, over its own scheme: a report carries
    // the API key and the installation id, which never travel in clear text.
    QUrl url = HostProfile::current().baseUrl(QStringLiteral("companion"));
    if (!url.isValid())
        return {};
    QString path = url.path();
    if (!path.endsWith(u'/'))
        path += u'/';
    url.setPath(path + launch.action);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("api_key"), launch.apiKey);
    query.addQueryItem(QStringLiteral("guid"), launch.guid);
    url.setQuery(query);
    return url;
}
} // namespace

PendingCrashReports::PendingCrashReports(QString folder)
    : m_folder(std::move(folder))
{
}

QStringList PendingCrashReports::pendingReports() const
{
    QDir dir(m_folder);
    if (!dir.exists())
        return {};
    // Names start with the crash time in seconds, so name order is age order.
    const QFileInfoList parts =
        dir.entryInfoList({QStringLiteral("*.part")}, QDir::Files, QDir::Name);
    for (const QFileInfo &part : parts) {
        // A part file is a report whose writing was cut off; give a live writer a minute.
        if (part.lastModified().secsTo(QDateTime::currentDateTime()) > 60)
            QFile::remove(part.absoluteFilePath());
    }
    QStringList reports;
    const QFileInfoList files =
        dir.entryInfoList({QLatin1String("*") + QLatin1String(kSuffix)}, QDir::Files, QDir::Name);
    for (const QFileInfo &file : files)
        reports.append(file.absoluteFilePath());
    while (reports.size() > kMaxReports)
        QFile::remove(reports.takeFirst());
    return reports;
}

QByteArray PendingCrashReports::requestBody(const Launch &launch, const QString &report)
{
    QVariantMap userInfo{{QStringLiteral("title"), launch.userInfoTitle},
                         {QStringLiteral("guid"), launch.guid}};
    QVariantMap body{
        {QStringLiteral("company"), launch.company},
        {QStringLiteral("platform"), launch.platform},
        {QStringLiteral("format"), launch.format},
        {QStringLiteral("version"), QCoreApplication::applicationVersion()},
        {QStringLiteral("user_info"), userInfo},
        {QStringLiteral("report"), report},
    };
    return JsonWriter().utf8WithObject(body);
}

void PendingCrashReports::launchReporter(const Launch &launch)
{
    const QStringList reports = pendingReports();
    // Without someone to ask, nothing is sent.
    if (reports.isEmpty() || !Alerts::hasShared())
        return;
    Alerts::Confirmation alert;
    alert.message = localizedString("##PendingCrashReports:0##");
    alert.informativeText = localizedString("##PendingCrashReports:1##");
    alert.defaultButton = localizedString("##PendingCrashReports:2##");
    alert.alternateButton = localizedString("##PendingCrashReports:3##");
    Alerts::shared().runConfirmation(alert, [this, launch, reports](bool send, bool) {
        if (send) {
            sendAll(launch, reports);
            return;
        }
        for (const QString &path : reports)
            QFile::remove(path);
    });
}

void PendingCrashReports::sendAll(const Launch &launch, const QStringList &paths)
{
    const QUrl url = reportUrl(launch);
    if (!url.isValid()) {
        qCInfo(lcApp) << "crash reports: no companion host in this profile";
        return;
    }
    for (const QString &path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString report = QString::fromUtf8(file.read(kMaxReportBytes));
        file.close();

        auto request = HttpRequest::requestWithURL(url);
        request->setRequestMethod(QStringLiteral("POST"));
        request->addRequestHeader("Content-Type", "application/json");
        request->setPostBody(requestBody(launch, report));
        request->setDidFinishSelector([path](HttpRequest *done) {
            const int status = done->responseStatusCode();
            if (status >= 200 && status < 300) {
                QFile::remove(path);
            } else {
                qCInfo(lcApp) << "crash report not accepted: HTTP" << status;
            }
        });
        request->setDidFailSelector([](HttpRequest *failed) {
            qCInfo(lcApp) << "crash report not sent:" << failed->error().localizedDescription();
        });
        request->startAsynchronous();
    }
}

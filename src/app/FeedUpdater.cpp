#include "app/FeedUpdater.h"

#include "foundation/HostProfile.h"
#include "foundation/Localization.h"
#include "foundation/Log.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "http/HttpRequest.h"
#include "platform/Alerts.h"
#include "platform/TAUtility.h"

#include <QPointer>

namespace {
QString companionUrl(const char *path)
{
    const QUrl base = HostProfile::current().baseUrl(QStringLiteral("companion"));
    if (!base.isValid())
        return {};
    QString url = base.toString(QUrl::StripTrailingSlash);
    return url + QLatin1String(path);
}
} // namespace

FeedUpdater::FeedUpdater(QString currentVersion, QObject *parent)
    : QObject(parent)
    , m_currentVersion(std::move(currentVersion))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { check(false); });
}

QString FeedUpdater::releaseFeedUrl()
{
    return companionUrl("/v1/update/versions.rss");
}

QString FeedUpdater::betaFeedUrl()
{
    return companionUrl("/v1/update/beta/versions.rss");
}

QString FeedUpdater::feedUrl() const
{
    const QString stored = SettingsStore::shared().stringForKey(TAUpdateFeedURLKey);
    return stored.isEmpty() ? releaseFeedUrl() : stored;
}

void FeedUpdater::setFeedUrl(const QString &url)
{
    SettingsStore::shared().setValue(TAUpdateFeedURLKey, url);
}

QDateTime FeedUpdater::lastUpdateCheckDate() const
{
    const QVariant value = SettingsStore::shared().objectForKey(TALastUpdateCheckDateKey);
    return value.isValid() ? value.toDateTime() : QDateTime();
}

void FeedUpdater::resetUpdateCycle()
{
    m_cycleStarted = true;
    scheduleNext();
}

void FeedUpdater::scheduleNext()
{
    const QDateTime last = lastUpdateCheckDate();
    qint64 wait = 0;
    if (last.isValid()) {
        const qint64 since = last.secsTo(QDateTime::currentDateTimeUtc());
        // A last check in the future (a clock set back) counts as due.
        if (since >= 0 && since < kCheckIntervalSecs)
            wait = kCheckIntervalSecs - since;
    }
    m_timer.start(std::chrono::seconds(wait));
}

void FeedUpdater::checkForUpdates()
{
    check(true);
}

void FeedUpdater::check(bool interactive)
{
    if (m_checking)
        return;
    const QUrl url(feedUrl());
    if (!url.isValid() || url.host().isEmpty()) {
        finish({}, QStringLiteral("no update feed in this profile"), interactive);
        return;
    }
    m_checking = true;
    auto request = HttpRequest::requestWithURL(url);
    request->setMaxResponseBodySize(AppcastParser::kMaxFeedBytes);
    // The answer may come after this updater is gone.
    const QPointer<FeedUpdater> self(this);
    request->setDidFinishSelector([self, interactive](HttpRequest *done) {
        if (!self)
            return;
        const int status = done->responseStatusCode();
        if (status != 200)
            self->finish({}, QStringLiteral("the feed answered HTTP %1").arg(status), interactive);
        else
            self->finish(done->responseData(), QString(), interactive);
    });
    request->setDidFailSelector([self, interactive](HttpRequest *failed) {
        if (self)
            self->finish({}, failed->error().localizedDescription(), interactive);
    });
    request->startAsynchronous();
}

void FeedUpdater::finish(const QByteArray &feed, const QString &failure, bool interactive)
{
    m_checking = false;
    SettingsStore &settings = SettingsStore::shared();
    QString error = failure;
    QList<AppcastParser::Item> items;
    if (error.isEmpty())
        items = AppcastParser::parse(feed, &error);
    if (error.isEmpty())
        settings.setValue(TALastUpdateCheckDateKey, QDateTime::currentDateTimeUtc());
    if (m_cycleStarted) {
        // Not at once: a failure would otherwise retry in a tight loop.
        if (error.isEmpty())
            scheduleNext();
        else
            m_timer.start(std::chrono::seconds(kRetryAfterFailureSecs));
    }

    const AppcastParser::Item *best = AppcastParser::newest(items);
    const bool newer = best && AppcastParser::compareVersions(best->version, m_currentVersion) > 0;
    if (!error.isEmpty())
        qCInfo(lcApp) << "update check failed:" << error;

    if (newer) {
        // A scheduled check tells about each release once; asking always tells.
        if (interactive || settings.stringForKey(TAAnnouncedUpdateVersionKey) != best->version) {
            settings.setValue(TAAnnouncedUpdateVersionKey, best->version);
            announce(*best);
        }
    } else if (interactive && Alerts::hasShared()) {
        if (error.isEmpty())
            Alerts::shared().runInformation(
                localizedString("##FeedUpdater:0##"),
                localizedString("##FeedUpdater:1##").arg(m_currentVersion),
                localizedString("##FeedUpdater:2##"));
        else
            Alerts::shared().runInformation(localizedString("##FeedUpdater:3##"),
                                            localizedString("##FeedUpdater:4##"),
                                            localizedString("##FeedUpdater:2##"));
    }
    emit checkFinished(newer ? best : nullptr, error);
}

void FeedUpdater::announce(const AppcastParser::Item &item)
{
    if (!Alerts::hasShared())
        return;
    Alerts::Confirmation alert;
    alert.message = localizedString("##FeedUpdater:5##");
    alert.informativeText =
        localizedString("##FeedUpdater:6##").arg(item.displayVersion, m_currentVersion);
    const bool hasNotes = !item.releaseNotesLink.isEmpty();
    alert.defaultButton = localizedString(hasNotes ? "##FeedUpdater:7##" : "##FeedUpdater:2##");
    alert.alternateButton = hasNotes ? localizedString("##FeedUpdater:8##") : QString();
    const QString notes = item.releaseNotesLink.toString();
    Alerts::shared().runConfirmation(alert, [notes](bool confirmed, bool) {
        if (confirmed && !notes.isEmpty())
            TAUtility::openURL(notes, false);
    });
}

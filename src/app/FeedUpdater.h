#pragma once

#include "app/AppcastParser.h"
#include "platform/UpdateFramework.h"

#include <QObject>
#include <QTimer>

// Reads the release (or beta) appcast from the companion host once a day and on request,
// and announces a release newer than the running one with a link to its notes. On Linux
// the package manager installs it: nothing is downloaded here.
class FeedUpdater : public QObject, public UpdateFramework
{
    Q_OBJECT
public:
    explicit FeedUpdater(QString currentVersion, QObject *parent = nullptr);

    void resetUpdateCycle() override;
    void checkForUpdates() override;
    [[nodiscard]] QString feedUrl() const override;
    void setFeedUrl(const QString &url) override;
    [[nodiscard]] QDateTime lastUpdateCheckDate() const override;

    // The two feeds on the installed profile's companion host.
    [[nodiscard]] static QString releaseFeedUrl();
    [[nodiscard]] static QString betaFeedUrl();

    static constexpr qint64 kCheckIntervalSecs = 24 * 3600;
    // After a failed check (offline, a broken feed) the next scheduled one waits this long.
    static constexpr qint64 kRetryAfterFailureSecs = 3600;

signals:
    // After every check; newer is null when nothing newer was found or the check failed.
    void checkFinished(const AppcastParser::Item *newer, const QString &error);

private:
    void check(bool interactive);
    void finish(const QByteArray &feed, const QString &failure, bool interactive);
    void announce(const AppcastParser::Item &item);
    void scheduleNext();

    QString m_currentVersion;
    QTimer m_timer;
    bool m_checking = false;
    bool m_cycleStarted = false;
};

#pragma once

#include "platform/CrashReporter.h"

#include <QString>
#include <QStringList>

// Offers the reports earlier crashes left and sends them to the companion host, only
// after the user said yes. Declined reports are deleted; reports that could not be
// sent stay for the next start.
class PendingCrashReports : public CrashReporter
{
public:
    explicit PendingCrashReports(QString folder);

    void launchReporter(const Launch &launch) override;

    // Finished reports, oldest first, at most kMaxReports (older ones are deleted, as
    // are reports a crash during writing left half-written).
    [[nodiscard]] QStringList pendingReports() const;
    // The JSON body sent for one report.
    [[nodiscard]] static QByteArray requestBody(const Launch &launch, const QString &report);

    static constexpr int kMaxReports = 10;
    static constexpr qint64 kMaxReportBytes = 256 * 1024;

private:
    void sendAll(const Launch &launch, const QStringList &paths);

    QString m_folder;
};

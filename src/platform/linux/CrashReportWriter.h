#pragma once

#include <QByteArray>
#include <QString>

// Leaves a plain-text report when the process dies of a fatal signal: version, build,
// signal, the stack of every thread and the last log lines. The handler uses only
// async-signal-safe calls; everything it needs is prepared by install().
class CrashReportWriter
{
public:
    // Creates the folder, installs the signal handlers and a log handler that keeps the
    // last lines (with secrets masked). Returns false when the folder cannot be made.
    static bool install(const QString &reportFolder, const QByteArray &version,
                        const QByteArray &build);
    // The folder reports go to: $XDG_STATE_HOME/Talvo/crashes.
    [[nodiscard]] static QString defaultReportFolder();
    // Reports end in this suffix; a report being written has ".part" appended.
    static constexpr char kSuffix[] = ".crash";

    // Masks the values of credentials (OAuth tokens and signatures, passwords, API keys,
    // Authorization headers) in a log line.
    [[nodiscard]] static QString redactSecrets(const QString &line);
    // Keeps a line for the next report (as the log handler does).
    static void recordLogLine(const QString &line);
};

#include "platform/linux/CrashReportWriter.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

TEST(CrashReportWriter, ACrashingChildLeavesAReadableReportWithoutSecrets)
{
    const struct
    {
        const char *kind;
        const char *signalLine;
    } cases[] = {
        {"segv", "Signal: SIGSEGV (11)"},
        {"abort", "Signal: SIGABRT (6)"},
        {"fpe", "Signal: SIGFPE (8)"},
        // Two threads crash at once: one report, and the process still dies.
        {"two", "Signal: SIG"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.kind);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString folder = dir.filePath(QStringLiteral("state/Talvo/crashes"));
        QProcess child;
        child.start(QStringLiteral(TALVO_CRASH_PROBE), {folder, QLatin1String(c.kind)});
        ASSERT_TRUE(child.waitForFinished(20000));
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << child.readAllStandardError().data();

        const QStringList files = QDir(folder).entryList(QDir::Files);
        ASSERT_EQ(files.size(), 1) << files.join(u' ').toStdString();
        EXPECT_TRUE(files.first().endsWith(QLatin1String(CrashReportWriter::kSuffix)));
        QFile file(QDir(folder).filePath(files.first()));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString report = QString::fromUtf8(file.readAll());

        for (const char *expected :
             {"Version: 9.8.7", "Build: probe-build", c.signalLine, "Crashed thread ",
              // Both threads' stacks, with the program's own function names.
              "talvoProbeCrashHere", "\nThread ", "talvoProbeWorker",
              "probe log line before the crash", "oauth_token=***"})
            EXPECT_TRUE(report.contains(QLatin1String(expected))) << expected << "\n"
                                                                  << report.toStdString();
        for (const char *secret : {"s3cr3t-token", "aHVudGVyMg=="})
            EXPECT_FALSE(report.contains(QLatin1String(secret))) << secret;
    }
}

TEST(CrashReportWriter, CredentialsInLogLinesAreMasked)
{
    const struct
    {
        const char *line;
        const char *expected;
    } cases[] = {
        {"GET /1/x?oauth_token=abc&count=5", "GET /1/x?oauth_token=***&count=5"},
        {"oauth_signature=\"k%2Bz\", oauth_nonce=\"n\"",
         "oauth_signature=\"***\", oauth_nonce=\"n\""},
        {"Authorization: OAuth oauth_consumer_key=\"c\"", "Authorization: ***"},
        {"x_auth_password=hunter2&x_auth_mode=client_auth",
         "x_auth_password=***&x_auth_mode=client_auth"},
        {"{\"api_key\": \"k123\", \"guid\": \"g\"}", "{\"api_key\": \"***\", \"guid\": \"g\"}"},
        {"PASSWORD=Secret", "PASSWORD=***"},
        // Words that merely contain a key stay as they are.
        {"3 tokens left; tokenizer ready", "3 tokens left; tokenizer ready"},
        {"no secrets here", "no secrets here"},
        {"token=", "token="},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CrashReportWriter::redactSecrets(QLatin1String(c.line)),
                  QLatin1String(c.expected))
            << c.line;
}

// The update feed and crash reports against a real sandbox companion host.
#include "app/FeedUpdater.h"
#include "app/PendingCrashReports.h"
#include "app/RTAppCastAddressTransformer.h"
#include "foundation/HostProfile.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "http/HttpRequest.h"
#include "platform/fake/FakeAlerts.h"
#include "support/SandboxFixture.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

SandboxFixture &sandbox()
{
    static SandboxFixture s;
    return s;
}

class UpdatesAndReports : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(sandbox().start()) << sandbox().errorString().toStdString();
        HostProfile::setCurrent(sandbox().profile());
        HttpRequest::setDefaultCaBundle(sandbox().caBundle());
    }
    static void TearDownTestSuite()
    {
        HostProfile::setCurrent(HostProfile::real());
        HttpRequest::setDefaultCaBundle(QString());
        sandbox().stop();
    }
    void SetUp() override
    {
        static int n = 0;
        SettingsStore::resetShared(testTempDir() + QStringLiteral("/updates-%1.conf").arg(++n));
        Alerts::setShared(&m_alerts);
    }
    void TearDown() override { Alerts::setShared(nullptr); }

    static void writeFeed(const QString &relative, const QByteArray &content)
    {
        const QString path = sandbox().dataDir() + u'/' + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

    static QByteArray feedWith(const char *version)
    {
        return QByteArray(
                   "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><item><title>T</title>"
                   "<link>https://talvo.example/notes</link><version>") +
               version + "</version></item></channel></rss>";
    }

    // Runs one check and answers whether a newer release was reported.
    static bool check(FeedUpdater &updater, QString *error)
    {
        QSignalSpy spy(&updater, &FeedUpdater::checkFinished);
        updater.checkForUpdates();
        if (!waitUntil([&] { return !spy.isEmpty(); }, 15000))
            return false;
        *error = spy.first().at(1).toString();
        return spy.first().at(0).value<const AppcastParser::Item *>() != nullptr;
    }

    FakeAlerts m_alerts;
};

} // namespace

TEST_F(UpdatesAndReports, OnlyANewerWellFormedReleaseIsAnnounced)
{
    QByteArray huge = feedWith("9.0");
    huge.append(QByteArray(AppcastParser::kMaxFeedBytes, ' '));
    const struct
    {
        const char *name;
        QByteArray feed;
        bool announced;
        bool failed;
    } cases[] = {
        {"newer", feedWith("0.2.0"), true, false},
        {"same", feedWith("0.1.0"), false, false},
        {"older", feedWith("0.0.9"), false, false},
        {"pre-release of the running version", feedWith("0.1.0b3"), false, false},
        {"malformed", "<rss><channel><item><version>9.0</version></item>", false, true},
        {"huge", huge, false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        writeFeed(QStringLiteral("updates/versions.rss"), c.feed);
        m_alerts.confirmations.clear();
        m_alerts.informations.clear();
        SettingsStore::resetShared(testTempDir() + QStringLiteral("/feed-%1.conf").arg(c.name));
        FeedUpdater updater(QStringLiteral("0.1.0"));
        QString error;
        EXPECT_EQ(check(updater, &error), c.announced);
        EXPECT_EQ(!error.isEmpty(), c.failed) << error.toStdString();
        // Asked by the user: either the announcement or a plain answer, never both.
        EXPECT_EQ(m_alerts.confirmations.size(), c.announced ? 1 : 0);
        EXPECT_EQ(m_alerts.informations.size(), c.announced ? 0 : 1);
        if (c.announced) {
            EXPECT_TRUE(m_alerts.confirmations.first().informativeText.contains(u"0.2.0"));
        }
        EXPECT_EQ(updater.lastUpdateCheckDate().isValid(), !c.failed);
    }
    QFile::remove(sandbox().dataDir() + QStringLiteral("/updates/versions.rss"));
}

TEST_F(UpdatesAndReports, TheBetaSwitchReadsTheBetaFeed)
{
    // The sandbox's own feeds: a release 1.0.0 and a beta 1.1.0b1.
    FeedUpdater updater(QStringLiteral("1.0.0"));
    QString error;
    EXPECT_FALSE(check(updater, &error)) << error.toStdString();
    updater.setFeedUrl(FeedUpdater::betaFeedUrl());
    EXPECT_TRUE(check(updater, &error)) << error.toStdString();
    EXPECT_TRUE(m_alerts.confirmations.last().informativeText.contains(u"1.1.0b1"));
}

TEST_F(UpdatesAndReports, AScheduledCheckAnnouncesEachReleaseOnceAndFailuresWait)
{
    writeFeed(QStringLiteral("updates/versions.rss"), feedWith("0.3.0"));
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        // Never checked: the first check of the cycle is due at once.
        SettingsStore::shared().removeObjectForKey(TALastUpdateCheckDateKey);
        FeedUpdater updater(QStringLiteral("0.1.0"));
        QSignalSpy spy(&updater, &FeedUpdater::checkFinished);
        updater.resetUpdateCycle();
        ASSERT_TRUE(waitUntil([&] { return !spy.isEmpty(); }, 15000));
        EXPECT_NE(spy.first().at(0).value<const AppcastParser::Item *>(), nullptr);
        // Told on the first start only; a scheduled check never says "up to date".
        EXPECT_EQ(m_alerts.confirmations.size(), 1);
        EXPECT_TRUE(m_alerts.informations.isEmpty());
    }

    writeFeed(QStringLiteral("updates/versions.rss"), "<rss>");
    SettingsStore::shared().removeObjectForKey(TALastUpdateCheckDateKey);
    FeedUpdater updater(QStringLiteral("0.1.0"));
    QSignalSpy spy(&updater, &FeedUpdater::checkFinished);
    updater.resetUpdateCycle();
    ASSERT_TRUE(waitUntil([&] { return !spy.isEmpty(); }, 15000));
    EXPECT_FALSE(spy.first().at(1).toString().isEmpty());
    // A failed check is not retried at once.
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(spy.size(), 1);
    QFile::remove(sandbox().dataDir() + QStringLiteral("/updates/versions.rss"));
}

TEST_F(UpdatesAndReports, TheBetaSwitchMapsToTheFeedAddress)
{
    const QString beta = FeedUpdater::betaFeedUrl();
    const QString release = FeedUpdater::releaseFeedUrl();
    // Both feeds live on the sandbox's companion host.
    EXPECT_TRUE(
        beta.startsWith(sandbox().profile().baseUrl(QStringLiteral("companion")).toString()));
    EXPECT_TRUE(beta.endsWith(QStringLiteral("/v1/update/beta/versions.rss")));
    EXPECT_TRUE(release.endsWith(QStringLiteral("/v1/update/versions.rss")));
    EXPECT_EQ(RTAppCastAddressTransformer::transformedValue(true), beta);
    EXPECT_EQ(RTAppCastAddressTransformer::transformedValue(false), release);

    const struct
    {
        QVariant feed;
        bool beta;
    } cases[] = {
        {beta, true},          {release, false},    {beta + u'/', false},
        {QString(), false},    {QVariant(), false}, {QVariant(QStringList{beta}), false},
        {QVariant(42), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RTAppCastAddressTransformer::reverseTransformedValue(c.feed), c.beta)
            << c.feed.toString().toStdString();
}

TEST_F(UpdatesAndReports, AReportIsSentOnlyAfterTheUserSaysYes)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString crashes = sandbox().dataDir() + QStringLiteral("/crash-reports");
    CrashReporter::Launch launch;
    launch.company = QStringLiteral("Talvo");
    launch.action = QStringLiteral("v1/report/crash");
    launch.format = QStringLiteral("json");
    launch.apiKey = QString::fromLatin1(TALVO_API_KEY);
    launch.guid = QStringLiteral("3F2504E0-4F89-11D3-9A0C-0305E82C3301");
    launch.platform = QStringLiteral("linux");
    launch.userInfoTitle = QStringLiteral("USER INFORMATION");
    auto writeReport = [&](const char *name) {
        QFile f(folder.filePath(QLatin1String(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Talvo crash report\nVersion: 0.1.0\nSignal: SIGSEGV (11)\n");
    };
    PendingCrashReports reports(folder.path());

    // No one to ask: nothing is sent and the report stays.
    Alerts::setShared(nullptr);
    writeReport("100-1.crash");
    reports.launchReporter(launch);
    EXPECT_EQ(reports.pendingReports().size(), 1);

    // Declined: deleted, not sent.
    Alerts::setShared(&m_alerts);
    m_alerts.confirmReply = false;
    reports.launchReporter(launch);
    EXPECT_EQ(m_alerts.confirmations.size(), 1);
    EXPECT_TRUE(reports.pendingReports().isEmpty());
    EXPECT_TRUE(QDir(crashes).entryList(QDir::Files).isEmpty());

    // Accepted: sent, and removed once the host took it.
    m_alerts.confirmReply = true;
    writeReport("200-2.crash");
    reports.launchReporter(launch);
    ASSERT_TRUE(waitUntil([&] { return reports.pendingReports().isEmpty(); }, 15000));
    const QStringList received = QDir(crashes).entryList(QDir::Files);
    ASSERT_EQ(received.size(), 1);
    QFile body(crashes + u'/' + received.first());
    ASSERT_TRUE(body.open(QIODevice::ReadOnly));
    const QByteArray json = body.readAll();
    for (const char *expected :
         {"\"company\":\"Talvo\"", "\"platform\":\"linux\"", "Signal: SIGSEGV (11)",
          "USER INFORMATION", "3F2504E0-4F89-11D3-9A0C-0305E82C3301"})
        EXPECT_TRUE(json.contains(expected)) << expected << "\n" << json.constData();
    EXPECT_FALSE(json.contains(TALVO_API_KEY));

    // A wrong API key is refused by the host: the report stays for the next start.
    launch.apiKey = QStringLiteral("wrong");
    writeReport("300-3.crash");
    reports.launchReporter(launch);
    EXPECT_TRUE(waitUntil([&] { return sandbox().log().contains(u"401"); }, 15000));
    EXPECT_EQ(reports.pendingReports().size(), 1);
}

TEST_F(UpdatesAndReports, OldAndHalfWrittenReportsAreDropped)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (int i = 0; i < PendingCrashReports::kMaxReports + 3; ++i) {
        QFile f(folder.filePath(QStringLiteral("%1-1.crash").arg(1000 + i)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QFile part(folder.filePath(QStringLiteral("999-1.crash.part")));
    ASSERT_TRUE(part.open(QIODevice::WriteOnly));
    part.close();
    ASSERT_TRUE(part.open(QIODevice::ReadWrite));
    part.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                     QFileDevice::FileModificationTime);
    part.close();

    const QStringList pending = PendingCrashReports(folder.path()).pendingReports();
    ASSERT_EQ(pending.size(), PendingCrashReports::kMaxReports);
    EXPECT_TRUE(pending.first().endsWith(QStringLiteral("1003-1.crash")));
    EXPECT_FALSE(QFile::exists(part.fileName()));
}

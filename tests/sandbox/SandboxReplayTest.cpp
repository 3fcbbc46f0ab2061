// Recorded answers of the real service replayed by the sandbox: they must pass the same
// OAuth check and rate-limit accounting as live answers before they are sent.
#include "Faults.h"
#include "SandboxTestClient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString samplesDir()
{
    return QStringLiteral(TALVO_SAMPLES_DIR);
}

QByteArray sample(const char *name)
{
    QFile file(QDir(samplesDir()).filePath(QString::fromLatin1(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string missingSamples()
{
    return "recorded answers not found at " + samplesDir().toStdString() +
           " (configure with -DTALVO_SAMPLES_DIR=...)";
}

} // namespace

TEST(Faults, ReplayRulesReadTheirFileAndRejectWhatTheyCannotSend)
{
    if (!QFileInfo(samplesDir()).isDir()) {
        GTEST_SKIP() << missingSamples();
    }
    Faults faults;
    QString error;
    ASSERT_TRUE(
        faults.parse(QStringLiteral("path /1/statuses/home_timeline* body=home_timeline.json\n"
                                    "path /1/account/* body=unauthorized.json status=401\n"
                                    "path /1/friendships/exists* body=friendship_exists.json "
                                    "type=text/plain\n"
                                    "path /1/trends body=trends_current.json delay=5\n"),
                     &error, samplesDir()))
        << error.toStdString();
    const struct
    {
        const char *path;
        const char *file;
        int status;
        const char *type;
    } cases[] = {
        {"/1/statuses/home_timeline.json", "home_timeline.json", 200, "application/json"},
        {"/1/account/verify_credentials.json", "unauthorized.json", 401, "application/json"},
        {"/1/friendships/exists.json", "friendship_exists.json", 200, "text/plain"},
        {"/1/trends", "trends_current.json", 200, "application/json"},
    };
    for (const auto &c : cases) {
        const auto rule = faults.ruleFor(QString::fromLatin1(c.path));
        ASSERT_TRUE(rule.has_value()) << c.path;
        EXPECT_TRUE(rule->replays()) << c.path;
        EXPECT_EQ(rule->body, sample(c.file)) << c.path;
        EXPECT_EQ(rule->status, c.status) << c.path;
        EXPECT_EQ(rule->contentType, QByteArray(c.type)) << c.path;
    }
    EXPECT_EQ(faults.ruleFor(QStringLiteral("/1/trends"))->delayMs, 5);

    for (const char *bad :
         {"path /x body=no-such-file.json", "path /x body=home_timeline.json type=json",
          "path /x body=home_timeline.json status=1000"}) {
        EXPECT_FALSE(faults.parse(QString::fromLatin1(bad), &error, samplesDir())) << bad;
        // The old rules stay.
        EXPECT_TRUE(faults.ruleFor(QStringLiteral("/1/trends")).has_value()) << bad;
    }
}

TEST_F(SandboxServer, RecordedAnswersAreReplayedOnlyAfterTheChecksOfALiveAnswer)
{
    if (!QFileInfo(samplesDir()).isDir()) {
        GTEST_SKIP() << missingSamples();
    }
    const Credentials heidi = login("heidi");
    const QByteArray dir = QDir(samplesDir()).absolutePath().toUtf8();
    ASSERT_TRUE(s_sandbox->writeFaults("path /1/statuses/home_timeline* body=" + dir +
                                       "/home_timeline.json\n"
                                       "path /1/statuses/mentions* body=" +
                                       dir +
                                       "/mentions.json\n"
                                       "path /1/direct_messages* body=" +
                                       dir +
                                       "/direct_messages.json\n"
                                       "path /1/statuses/user_timeline/* body=" +
                                       dir +
                                       "/unauthorized.json status=401\n"
                                       "path /1/statuses/public_timeline* body=" +
                                       dir + "/home_timeline.json\n"));

    const struct
    {
        const char *path;
        const char *file;
        int status;
    } cases[] = {
        {"/1/statuses/home_timeline.json", "home_timeline.json", 200},
        {"/1/statuses/mentions.json", "mentions.json", 200},
        {"/1/direct_messages.json", "direct_messages.json", 200},
        {"/1/statuses/user_timeline/sferik.json", "unauthorized.json", 401},
        // A path the sandbox does not serve itself.
        {"/1/statuses/public_timeline.json", "home_timeline.json", 200},
    };
    int before = -1;
    for (const auto &c : cases) {
        const Answer a = signedCall("GET", c.path, {}, {}, heidi);
        EXPECT_EQ(a.status, c.status) << c.path;
        EXPECT_EQ(QByteArray::fromStdString(a.body), sample(c.file)) << c.path;
        EXPECT_FALSE(a.header("Date").empty()) << c.path;
        // Counted like a live read.
        const std::string remaining = a.header("X-Ratelimit-Remaining");
        ASSERT_FALSE(remaining.empty()) << c.path;
        if (before >= 0) {
            EXPECT_EQ(std::stoi(remaining), before - 1) << c.path;
        }
        before = std::stoi(remaining);
        // Unsigned, or signed with a wrong secret: the sandbox's own 401, not the recording.
        const Answer unsigned_ = send("GET", c.path);
        EXPECT_EQ(unsigned_.status, 401) << c.path;
        EXPECT_NE(QByteArray::fromStdString(unsigned_.body), sample(c.file)) << c.path;
        const Answer forged = signedCall("GET", c.path, {}, {}, {heidi.token, "not-the-secret"});
        EXPECT_EQ(forged.status, 401) << c.path;
        EXPECT_NE(QByteArray::fromStdString(forged.body), sample(c.file)) << c.path;
    }

    // An exhausted allowance wins over the recording.
    ASSERT_TRUE(s_sandbox->writeFaults(
        "rate_limit_remaining = 0\npath /1/statuses/mentions* body=" + dir + "/mentions.json\n"));
    const Answer limited = signedCall("GET", "/1/statuses/mentions.json", {}, {}, heidi);
    EXPECT_EQ(limited.status, 400);
    EXPECT_NE(QByteArray::fromStdString(limited.body), sample("mentions.json"));
    ASSERT_TRUE(s_sandbox->writeFaults(""));
}

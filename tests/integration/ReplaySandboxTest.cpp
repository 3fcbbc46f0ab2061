// Answers recorded from the real service, replayed by talvo-sandbox, go through the whole
// client as live ones: signed, judged, mapped into messages with their authors and flags.
#include "foundation/HostProfile.h"
#include "http/HttpRequest.h"
#include "model/RTMessageFlags.h"
#include "platform/fake/FakeAlerts.h"
#include "platform/fake/FakeKeychain.h"
#include "support/SandboxFixture.h"
#include "support/TestSupport.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/TwitterRegistration.h"
#include "json/Json.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

QString samplesDir()
{
    return QDir(QStringLiteral(TALVO_SAMPLES_DIR)).absolutePath();
}

JsonValue sample(const char *name)
{
    QFile file(QDir(samplesDir()).filePath(QString::fromLatin1(name)));
    return file.open(QIODevice::ReadOnly) ? objectFromJSON(file.readAll()) : JsonValue();
}

TEST(SandboxReplay, RecordedTimelinesBecomeMessagesWithTheirAuthors)
{
    if (!QFileInfo(samplesDir()).isDir()) {
        GTEST_SKIP() << "recorded answers not found at " << samplesDir().toStdString()
                     << " (configure with -DTALVO_SAMPLES_DIR=...)";
    }
    SandboxFixture sandbox;
    SandboxFixture::Options options;
    options.users = 4;
    ASSERT_TRUE(sandbox.start(options)) << sandbox.errorString().toStdString();
    const QByteArray dir = samplesDir().toUtf8();
    ASSERT_TRUE(sandbox.writeFaults("path /1/statuses/home_timeline* body=" + dir +
                                    "/home_timeline.json\n"
                                    "path /1/statuses/mentions* body=" +
                                    dir +
                                    "/mentions.json\n"
                                    "path /1/direct_messages.json body=" +
                                    dir + "/direct_messages.json\n"));
    registerTwitterRequestClasses();
    HostProfile::setCurrent(sandbox.profile());
    HttpRequest::setDefaultCaBundle(sandbox.caBundle());
    FakeKeychain keychain;
    FakeAlerts alerts;
    Keychain::setShared(&keychain);
    Alerts::setShared(&alerts);

    auto account = std::make_shared<RTServiceTwitter>();
    account->setServiceId(QStringLiteral("alice"));
    account->setServicePassword(QString::fromLatin1(SandboxFixture::kPassword));
    account->setShowListsNode(false);
    account->start();
    const bool started = waitUntil(
        [&] { return account->running() && account->startupPollSequence().isEmpty(); }, 20000);
    account->stop();
    ASSERT_TRUE(started);

    const struct
    {
        const char *file;
        const char *author; // the member naming the author
        quint32 flag;
    } answers[] = {
        {"home_timeline.json", "user", RTTemporaryFlag::IsHome},
        {"mentions.json", "user", RTTemporaryFlag::IsMention},
        {"direct_messages.json", "sender", RTTemporaryFlag::IsPrivate},
    };
    const auto messages = account->messagesDictionary();
    for (const auto &a : answers) {
        const JsonValue statuses = sample(a.file);
        ASSERT_TRUE(statuses.isArray()) << a.file;
        ASSERT_GT(statuses.size(), 0) << a.file;
        for (qsizetype i = 0; i < statuses.size(); ++i) {
            const JsonValue status = statuses.at(i);
            const QString id = status["id"].toString();
            SCOPED_TRACE(std::string(a.file) + " " + id.toStdString());
            const RTMessageTwitterPtr m = messages.value(id);
            ASSERT_TRUE(m);
            EXPECT_TRUE(m->temporaryFlags() & a.flag);
            ASSERT_TRUE(m->user());
            EXPECT_EQ(m->userId(), status[a.author]["id"].toString());
            EXPECT_EQ(std::dynamic_pointer_cast<RTUserTwitter>(m->user())->screenName(),
                      status[a.author]["screen_name"].toString());
            EXPECT_TRUE(m->createdAt().isValid());
        }
    }
    // Replayed answers were signed and counted like live ones.
    EXPECT_TRUE(sandbox.log().contains(QStringLiteral("/1/statuses/home_timeline.json -> 200")))
        << sandbox.log().toStdString();

    Alerts::setShared(nullptr);
    Keychain::setShared(nullptr);
    HttpRequest::setDefaultCaBundle(QString());
    HostProfile::setCurrent(HostProfile::real());
}

} // namespace

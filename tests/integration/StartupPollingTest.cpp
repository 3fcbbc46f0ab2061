// The startup poll sequence of a real Twitter account against talvo-sandbox: one request
// at a time, in the order of the polling objects, moving past a failing endpoint.
#include "foundation/HostProfile.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "http/HttpRequest.h"
#include "platform/fake/FakeAlerts.h"
#include "platform/fake/FakeKeychain.h"
#include "support/SandboxFixture.h"
#include "support/TestSupport.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/TwitterRegistration.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

// The real account, noting the request types in the order it sends them.
class SendOrderTwitter : public RTServiceTwitter
{
public:
    QList<qint32> sent;

protected:
    RTRequestOperationPtr queueRequest(qint32 requestType, RTRequestDelegatePtr delegate,
                                       const QVariantMap &parameters, const QVariantMap &userInfo,
                                       int operationType) override
    {
        sent.append(requestType);
        return RTServiceTwitter::queueRequest(requestType, std::move(delegate), parameters,
                                              userInfo, operationType);
    }
};

class StartupPolling : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_sandbox = new SandboxFixture;
        SandboxFixture::Options options;
        options.users = 4;
        // Mentions fail from the first request on: the sequence must go past them.
        options.faultsFile = testTempDir() + QStringLiteral("/startup-faults.conf");
        QFile faults(options.faultsFile);
        if (!faults.open(QIODevice::WriteOnly) ||
            faults.write("path /1/statuses/mentions* status=503\n") < 0)
            s_error = QStringLiteral("cannot write the faults file");
        faults.close();
        if (s_error.isEmpty() && !s_sandbox->start(options))
            s_error = s_sandbox->errorString();
        registerTwitterRequestClasses();
    }
    static void TearDownTestSuite()
    {
        delete s_sandbox;
        s_sandbox = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(s_error.isEmpty()) << s_error.toStdString();
        HostProfile::setCurrent(s_sandbox->profile());
        HttpRequest::setDefaultCaBundle(s_sandbox->caBundle());
        Keychain::setShared(&keychain);
        Alerts::setShared(&alerts);
        SettingsStore::shared().setBool(QString::fromLatin1(RTShowCombinedFavoritesKey), false);
    }
    void TearDown() override
    {
        HostProfile::setCurrent(HostProfile::real());
        HttpRequest::setDefaultCaBundle(QString());
        Alerts::setShared(nullptr);
        Keychain::setShared(nullptr);
    }

    // The Twitter API paths the sandbox has logged since `from` lines, in order.
    static QStringList twitterPathsSince(int from)
    {
        static const QRegularExpression path(QStringLiteral(R"((/1/[^ ?]*))"));
        QStringList paths;
        const QStringList lines = s_sandbox->log().split(QLatin1Char('\n'));
        for (int i = from; i < lines.size(); ++i) {
            const auto match = path.match(lines[i]);
            if (match.hasMatch())
                paths.append(match.captured(1));
        }
        return paths;
    }
    static int logLines() { return int(s_sandbox->log().split(QLatin1Char('\n')).size()) - 1; }

    static inline SandboxFixture *s_sandbox = nullptr;
    static inline QString s_error;
    FakeKeychain keychain;
    FakeAlerts alerts;
};

TEST_F(StartupPolling, RunsThePollsInOrderPastAFailingEndpointAndArmsTheTimer)
{
    const int from = logLines();

    auto account = std::make_shared<SendOrderTwitter>();
    account->setServiceId(QStringLiteral("alice"));
    account->setServiceName(QStringLiteral("alice"));
    account->setServicePassword(QString::fromLatin1(SandboxFixture::kPassword));
    account->setShowListsNode(false); // no list timelines: every poll then answers
    account->setShowSearchesNode(true);
    account->start(); // no tokens yet: the exchange first, then the start proper

    // Two polls of the sequence can be in flight at once: wait for the last two answers.
    ASSERT_TRUE(waitUntil(
        [&] {
            const QString log = s_sandbox->log();
            return account->running() && account->startupPollSequence().isEmpty() &&
                   account->timelinesPollingTimerIsActive() &&
                   log.contains(QStringLiteral("/1/saved_searches")) &&
                   log.contains(QStringLiteral("/1/statuses/retweeted_by_me"));
        },
        20000))
        << twitterPathsSince(from).join(QLatin1Char(' ')).toStdString();

    // The token, the own user, then the table order without the hidden retweets,
    // favourites and lists; the failing mentions do not hold the rest up.
    EXPECT_EQ(account->sent, QList<qint32>({56, 24, 55, 3, 11, 12, 4, 50, 36}));
    QStringList polls;
    for (const QString &path : twitterPathsSince(from))
        polls.append(path.section(QLatin1Char('.'), 0, 0));
    polls.sort();
    EXPECT_EQ(polls.join(QLatin1Char(' ')).toStdString(),
              "/1/direct_messages /1/direct_messages/sent /1/saved_searches "
              "/1/statuses/home_timeline /1/statuses/mentions /1/statuses/retweeted_by_me "
              "/1/statuses/user_timeline /1/users/show");
    EXPECT_TRUE(s_sandbox->log().contains(QStringLiteral(" 503 "))) << "the fault was not served";
    EXPECT_FALSE(account->messagesDictionary().isEmpty());
    // The sandbox allows 150 an hour and counts these few: the 121-155 row.
    EXPECT_EQ(account->pollingObjectForRequestType(55)->currentTimeInterval(), 120.0);
    EXPECT_EQ(account->pollingObjectForRequestType(51)->currentTimeInterval(), 300.0);
    EXPECT_EQ(account->pollingObjectForRequestType(12)->currentTimeInterval(), 900.0);
    account->stop();
    EXPECT_FALSE(account->timelinesPollingTimerIsActive());
}

TEST_F(StartupPolling, ReloadAllRunsOneSequenceEvenWithUnverifiedCredentials)
{
    const int start = logLines();
    auto account = std::make_shared<SendOrderTwitter>();
    account->setServiceId(QStringLiteral("bob"));
    account->setServiceName(QStringLiteral("bob"));
    account->setServicePassword(QString::fromLatin1(SandboxFixture::kPassword));
    account->setShowListsNode(false);
    account->start();
    // Let every answer of the startup sequence land first: two of its polls can be in
    // flight at once, so the last one sent is not always the last one answered.
    const QStringList startupPaths = {QStringLiteral("/1/statuses/user_timeline.json"),
                                      QStringLiteral("/1/statuses/retweeted_by_me.json"),
                                      QStringLiteral("/1/saved_searches.json")};
    ASSERT_TRUE(waitUntil(
        [&] {
            if (!account->running() || !account->startupPollSequence().isEmpty())
                return false;
            const QStringList logged = twitterPathsSince(start);
            return std::all_of(startupPaths.cbegin(), startupPaths.cend(),
                               [&](const QString &p) { return logged.contains(p); });
        },
        20000));

    // Unverified credentials hold ordinary requests back; a reload still goes out, all
    // of it, once however often it is pressed.
    account->setVerifiedCredentials(false);
    const int from = logLines();
    account->sent.clear();
    account->refreshTimelines();
    account->refreshTimelines();
    ASSERT_TRUE(waitUntil(
        [&] {
            return account->refreshPollSequence().isEmpty() &&
                   twitterPathsSince(from).contains(QStringLiteral("/1/saved_searches.json"));
        },
        20000))
        << account->refreshPollSequence().size() << " left; logged "
        << twitterPathsSince(from).join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(account->sent, QList<qint32>({55, 3, 51, 11, 12, 40, 41, 4, 50, 8, 36}));
    const QStringList paths = twitterPathsSince(from);
    EXPECT_EQ(paths.size(), 11) << paths.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(paths.count(QStringLiteral("/1/statuses/home_timeline.json")), 1);
    account->stop();
}

} // namespace

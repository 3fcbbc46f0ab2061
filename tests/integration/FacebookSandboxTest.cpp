// A Facebook account against a real talvo-sandbox: the browser log-in with a scripted
// browser, refused and malformed answers, the news feed with its authors, posting and
// the faults of the Graph API.
#include "CtlFacebookBrowser.h"

#include "accounts/AccountsRegistration.h"
#include "accounts/RTServiceRegistry.h"
#include "foundation/HostProfile.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/UrlKeys.h"
#include "http/HttpRequest.h"
#include "network/RTServiceRequests.h"
#include "networks/NetworksRegistration.h"
#include "networks/facebook/RTFacebookKeys.h"
#include "networks/facebook/RTFacebookLogin.h"
#include "networks/facebook/RTFacebookRequestTypes.h"
#include "networks/facebook/RTRequestOperationFacebook.h"
#include "networks/facebook/RTServiceFacebook.h"
#include "platform/fake/FakeKeychain.h"
#include "sharing/RTDirectInputLineViewController.h"
#include "store/TAAccounts.h"
#include "store/TADataManager.h"
#include "support/SandboxSuite.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QThread>
#include <gtest/gtest.h>
#include <thread>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

class Recorder : public RTRequestDelegate
{
public:
    void serviceRequestSuccess(const QVariantMap &r) override
    {
        success = true;
        result = r;
        done = true;
    }
    void serviceRequestFailure(const QVariantMap &r) override
    {
        success = false;
        result = r;
        done = true;
    }
    [[nodiscard]] QString failure() const
    {
        return result.value(key(kRTOperationFailureMessageKey)).toString();
    }
    bool done = false;
    bool success = false;
    QVariantMap result;
};

struct LoginRun
{
    bool finished = false;
    bool loggedIn = false;
    bool isNew = false;
    QString failure;
    std::shared_ptr<RTServiceFacebook> account;
    CtlFacebookBrowser::Outcome browser;
};

class FacebookSandboxTest : public SandboxSuite
{
protected:
    static void SetUpTestSuite() { startSandbox(6); }

    void SetUp() override
    {
        ASSERT_TRUE(useSandbox()) << sandbox->errorString().toStdString();
        registerAccountArchiveClasses();
        registerNetworksClasses();
        Keychain::setShared(&keychain);
    }
    void TearDown() override
    {
        waitUntil(
            [] {
                return OperationQueue::forType(OperationQueue::ServiceRequests).operationCount() ==
                           0 &&
                       OperationQueue::forType(OperationQueue::ImmediateRequests)
                               .operationCount() == 0;
            },
            20000);
        Keychain::setShared(nullptr);
        leaveSandbox();
    }

    static LoginRun logIn(const CtlFacebookBrowser &script, int timeoutSeconds = 30,
                          const QString &accountToRenew = QString())
    {
        LoginRun run;
        RTFacebookLogin login;
        login.setTimeoutSeconds(timeoutSeconds);
        login.setAccountToRenew(accountToRenew);
        std::thread browser;
        login.setUrlOpener([&](const QUrl &url) {
            browser = std::thread([&run, script, url] { run.browser = script.run(url); });
            return true;
        });
        QObject::connect(&login, &RTFacebookLogin::loggedIn,
                         [&](const std::shared_ptr<RTServiceFacebook> &account, bool isNew) {
                             run.finished = run.loggedIn = true;
                             run.account = account;
                             run.isNew = isNew;
                         });
        QObject::connect(&login, &RTFacebookLogin::failed, [&](const QString &sentence) {
            run.finished = true;
            run.failure = sentence;
        });
        if (login.begin())
            waitUntil([&] { return run.finished; }, (timeoutSeconds + 10) * 1000);
        if (browser.joinable())
            browser.join();
        return run;
    }

    static std::shared_ptr<RTServiceFacebook> loggedInAccount(const char *user = "alice")
    {
        const LoginRun run =
            logIn({QString::fromLatin1(user), QStringLiteral("sandbox"), false, {}});
        EXPECT_TRUE(run.loggedIn) << run.failure.toStdString() << " / "
                                  << run.browser.error.toStdString();
        return run.account;
    }

    // Lines of the sandbox's log for one Graph path ("/", "/me/home", ...).
    static int graphRequests(const QString &path)
    {
        const QString needle =
            QStringLiteral("graph.facebook.localhost:%1%2 ->").arg(sandbox->tlsPort()).arg(path);
        return int(sandbox->log().count(needle));
    }

    static bool writeReplay(const QByteArray &body, const QByteArray &rule)
    {
        // A new file each time: the sandbox reloads its rules only when their text changes.
        static int serial = 0;
        const QString path =
            sandbox->dataDir() + QStringLiteral("/token-answer-%1.txt").arg(++serial);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size())
            return false;
        file.close();
        return sandbox->writeFaults(rule + " body=" + path.toUtf8() + "\n");
    }

    static Recorder &poll(const std::shared_ptr<RTServiceFacebook> &account,
                          std::shared_ptr<Recorder> &holder)
    {
        holder = std::make_shared<Recorder>();
        RTServiceRequests::doRequest(account, RTFacebookRequestNewsFeed, holder, {}, {}, 0);
        waitUntil([&] { return holder->done; }, 60000);
        return *holder;
    }

    // The user takes the program's access away on the Graph stand-in: every token of
    // theirs is refused from then on.
    static bool revokeAccess(const QString &token)
    {
        QUrl url = RTRequestOperationFacebook::graphBaseUrl();
        url.setPath(QStringLiteral("/me/permissions"));
        url.setQuery(QStringLiteral("access_token=") + token);
        HttpRequest request(url);
        request.setRequestMethod(QStringLiteral("DELETE"));
        request.startSynchronous();
        return request.responseStatusCode() == 200;
    }

    // Lines of the sandbox's log for one path of the Facebook web host, or for every path
    // under a folder ("/pictures/").
    static int webRequests(const QString &path)
    {
        const QString needle =
            QStringLiteral(" facebook.localhost:%1%2%3")
                .arg(sandbox->tlsPort())
                .arg(path, path.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral(" ->"));
        return int(sandbox->log().count(needle));
    }

    FakeKeychain keychain;
};

} // namespace

TEST_F(FacebookSandboxTest, LogsInThroughTheBrowserAndKeepsOnlyTheTokenInTheKeyring)
{
    const LoginRun run = logIn({QStringLiteral("alice"), QStringLiteral("sandbox"), false, {}});
    ASSERT_TRUE(run.loggedIn) << run.failure.toStdString() << run.browser.error.toStdString();
    EXPECT_TRUE(run.isNew);
    EXPECT_EQ(run.browser.redirectStatus, 200);
    EXPECT_TRUE(run.browser.redirectBody.contains(QStringLiteral("Logged in")));
    const auto account = run.account;
    ASSERT_TRUE(account->mySelf());
    EXPECT_EQ(account->serviceId(), account->mySelf()->userId());
    EXPECT_EQ(account->mySelf()->userName(), QStringLiteral("alice"));
    // The sandbox's answer carries "&expires=..." after the token; none of it is kept.
    const QString token = account->accessToken();
    EXPECT_FALSE(token.isEmpty());
    EXPECT_FALSE(token.contains(QLatin1Char('&')) || token.contains(QStringLiteral("expires")));
    ASSERT_EQ(keychain.items.size(), 1u);
    EXPECT_TRUE(keychain.items.begin()->second.contains(token));
    EXPECT_EQ(std::get<2>(keychain.items.begin()->first), account->serviceId());
    // The token is the one the service issued: a request with it is accepted.
    std::shared_ptr<Recorder> answer;
    EXPECT_TRUE(poll(account, answer).success) << answer->failure().toStdString();
}

TEST_F(FacebookSandboxTest, AnAnswerWithAnotherStateIsRefusedBeforeAnyCodeIsExchanged)
{
    const int exchangesBefore = graphRequests(QStringLiteral("/oauth/access_token"));
    CtlFacebookBrowser script{QStringLiteral("bob"), QStringLiteral("sandbox"), false, {}};
    script.rewriteRedirect = [](const QUrl &url) {
        QString text = url.toString(QUrl::FullyEncoded);
        text.replace(QRegularExpression(QStringLiteral("state=[^&]*")),
                     QStringLiteral("state=forged"));
        return QUrl(text);
    };
    const LoginRun run = logIn(script);
    EXPECT_FALSE(run.loggedIn);
    EXPECT_TRUE(run.failure.contains(QStringLiteral("does not belong to this log-in")))
        << run.failure.toStdString();
    EXPECT_EQ(run.browser.redirectStatus, 400);
    EXPECT_EQ(graphRequests(QStringLiteral("/oauth/access_token")), exchangesBefore);
    EXPECT_TRUE(keychain.items.empty());
}

TEST_F(FacebookSandboxTest, RefusedAndMalformedLogInsLeaveNothingBehind)
{
    const struct
    {
        const char *name;
        bool deny;
        const char *password;
        QByteArray tokenAnswer; // replayed for the token exchange when not null
        int timeoutSeconds;
        const char *because; // a part of the sentence the user reads
    } cases[] = {
        {"denied in the browser", true, "sandbox", QByteArray(), 30, "did not grant"},
        {"wrong password", false, "wrong", QByteArray(), 3, "not finished in the browser"},
        {"token answer is a page", false, "sandbox", "<html>Success access_token</html>", 30,
         "did not accept"},
        {"token cut off", false, "sandbox", "access_token=", 30, "did not accept"},
        {"token nobody issued", false, "sandbox", "access_token=forged&expires=1&x=y", 30,
         "Invalid OAuth access token."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        keychain.items.clear();
        ASSERT_TRUE(c.tokenAnswer.isNull()
                        ? sandbox->writeFaults(QByteArray())
                        : writeReplay(c.tokenAnswer, "path /oauth/access_token type=text/plain"));
        const LoginRun run =
            logIn({QStringLiteral("carol"), QString::fromLatin1(c.password), c.deny, {}},
                  c.timeoutSeconds);
        EXPECT_TRUE(run.finished);
        EXPECT_FALSE(run.loggedIn);
        EXPECT_TRUE(run.failure.contains(QString::fromLatin1(c.because)))
            << run.failure.toStdString();
        EXPECT_TRUE(keychain.items.empty());
    }
}

TEST_F(FacebookSandboxTest, NewsFeedArrivesWithItsAuthorsAndKnownAuthorsAreNotAskedAgain)
{
    const auto account = loggedInAccount();
    ASSERT_TRUE(account);
    const int lookupsBefore = graphRequests(QStringLiteral("/"));
    std::shared_ptr<Recorder> first;
    ASSERT_TRUE(poll(account, first).success) << first->failure().toStdString();
    const auto posts =
        first->result.value(key(kRTFacebookMessagesKey)).value<QList<RTMessageFacebookPtr>>();
    ASSERT_FALSE(posts.isEmpty());
    EXPECT_EQ(graphRequests(QStringLiteral("/")), lookupsBefore + 1);
    const auto stored = account->messagesDictionary();
    for (const RTMessageFacebookPtr &post : posts) {
        EXPECT_EQ(stored.value(post->messageId()), post);
        ASSERT_TRUE(post->sender()) << post->messageId().toStdString();
        EXPECT_EQ(account->userWithId(post->sender()->userId()), post->sender());
        EXPECT_TRUE(post->createdAt().isValid());
        for (const auto &comment : post->comments())
            EXPECT_TRUE(comment->sender()) << comment->commentId().toStdString();
    }

    std::shared_ptr<Recorder> second;
    ASSERT_TRUE(poll(account, second).success);
    EXPECT_EQ(graphRequests(QStringLiteral("/")), lookupsBefore + 1);
    EXPECT_EQ(account->messagesDictionary().size(), stored.size());
}

TEST_F(FacebookSandboxTest, APostComesBackAsAMessageOfTheAccount)
{
    const auto account = loggedInAccount("dave");
    ASSERT_TRUE(account);
    auto answer = std::make_shared<Recorder>();
    account->setUserStatusWithString(QStringLiteral("Hello & good night"), answer);
    ASSERT_TRUE(waitUntil([&] { return answer->done; }, 30000));
    ASSERT_TRUE(answer->success) << answer->failure().toStdString();
    const QString id = answer->result.value(key(kRTFacebookResultKey))
                           .toMap()
                           .value(QStringLiteral("id"))
                           .toString();
    ASSERT_FALSE(id.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return account->messageWithId(id) != nullptr; }, 30000));
    const auto post = account->messageWithId(id);
    EXPECT_EQ(post->body(), QStringLiteral("Hello & good night"));
    ASSERT_TRUE(post->sender());
    EXPECT_EQ(post->sender()->userId(), account->serviceId());

    auto empty = std::make_shared<Recorder>();
    account->setUserStatusWithString(QStringLiteral("  "), empty);
    ASSERT_TRUE(waitUntil([&] { return empty->done; }, 30000));
    EXPECT_FALSE(empty->success);
    EXPECT_EQ(empty->failure(), QStringLiteral("(#100) Missing message or attachment"));
}

TEST_F(FacebookSandboxTest, GraphFaultsBecomeFailureTextsAndARefusedTokenAsksForALogIn)
{
    const auto account = loggedInAccount("erin");
    ASSERT_TRUE(account);
    const struct
    {
        const char *rule;
        const char *failure;
        bool asksForLogIn;
    } cases[] = {
        {"path /me/home status=500", "Cannot Connect to Facebook", false},
        {"path /me/home status=401", "Authorization Failed", true},
        {"path /me/home status=503", "Facebook answered with HTTP status 503", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rule);
        ASSERT_TRUE(sandbox->writeFaults(QByteArray(c.rule) + "\n"));
        QSignalSpy loginRequired(account.get(), &RTServiceFacebook::loginRequired);
        std::shared_ptr<Recorder> answer;
        EXPECT_FALSE(poll(account, answer).success);
        EXPECT_EQ(answer->failure(), QString::fromLatin1(c.failure));
        EXPECT_EQ(loginRequired.count(), c.asksForLogIn ? 1 : 0);
    }

    ASSERT_TRUE(sandbox->writeFaults(QByteArray()));
    const QString good = account->accessToken();
    account->setAccessToken(QStringLiteral("revoked"));
    QSignalSpy loginRequired(account.get(), &RTServiceFacebook::loginRequired);
    std::shared_ptr<Recorder> answer;
    EXPECT_FALSE(poll(account, answer).success);
    EXPECT_EQ(answer->failure(), QStringLiteral("Invalid OAuth access token."));
    EXPECT_EQ(loginRequired.count(), 1);
    account->setAccessToken(good);
}

TEST_F(FacebookSandboxTest, AuthorLookupThatFailsThreeTimesStillDeliversThePosts)
{
    const auto account = loggedInAccount("frank");
    ASSERT_TRUE(account);
    ASSERT_TRUE(sandbox->writeFaults("path / status=503\n"));
    const int lookupsBefore = graphRequests(QStringLiteral("/"));
    std::shared_ptr<Recorder> answer;
    ASSERT_TRUE(poll(account, answer).success) << answer->failure().toStdString();
    EXPECT_EQ(graphRequests(QStringLiteral("/")), lookupsBefore + 3);
    const auto posts =
        answer->result.value(key(kRTFacebookMessagesKey)).value<QList<RTMessageFacebookPtr>>();
    ASSERT_FALSE(posts.isEmpty());
    int withoutSender = 0;
    for (const RTMessageFacebookPtr &post : posts)
        withoutSender += post->sender() ? 0 : 1;
    EXPECT_GT(withoutSender, 0);
    EXPECT_EQ(account->messagesDictionary().size(), posts.size());
}

TEST_F(FacebookSandboxTest, AStartedAccountPollsItsFeedAndTheNextPollAsksOnlyForNewerPosts)
{
    const auto account = loggedInAccount("bob");
    ASSERT_TRUE(account);
    QSignalSpy changed(account.get(), &RTServiceFacebook::messagesChanged);
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    account->start();
    ASSERT_TRUE(account->running());
    ASSERT_EQ(account->pollingObjects().size(), 1);
    ASSERT_TRUE(waitUntil([&] { return changed.count() > 0; }, 30000));
    EXPECT_FALSE(account->messagesDictionary().isEmpty());
    EXPECT_TRUE(account->mySelf());
    const QString since = account->pollingObjects().first()->sinceString();
    EXPECT_GE(since.toLongLong(), before);

    // A post written after that moment is all a poll since then brings.
    QThread::msleep(1100);
    auto posted = std::make_shared<Recorder>();
    account->setUserStatusWithString(QStringLiteral("Newer than the last poll"), posted);
    ASSERT_TRUE(waitUntil([&] { return posted->done; }, 30000));
    ASSERT_TRUE(posted->success) << posted->failure().toStdString();
    auto newer = std::make_shared<Recorder>();
    RTServiceRequests::doRequest(account, RTFacebookRequestNewsFeed, newer, {},
                                 {{key(kRTSinceKey), since}}, 0);
    ASSERT_TRUE(waitUntil([&] { return newer->done; }, 30000));
    ASSERT_TRUE(newer->success) << newer->failure().toStdString();
    const auto posts =
        newer->result.value(key(kRTFacebookMessagesKey)).value<QList<RTMessageFacebookPtr>>();
    ASSERT_EQ(posts.size(), 1);
    EXPECT_EQ(posts.first()->body(), QStringLiteral("Newer than the last poll"));

    account->stop();
    EXPECT_FALSE(account->running());
}

// The compose line of a Facebook account: a 255-character budget, and the text it sends
// comes back as a post of the account.
TEST_F(FacebookSandboxTest, TheComposeLinePostsAStatusWithinItsBudget)
{
    const auto account = loggedInAccount();
    ASSERT_TRUE(account);
    std::unique_ptr<RTDirectInputLineViewController> line(
        RTDirectInputLineViewController::newControllerForService(account));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->limitTextLenght(), 255);

    // As the text box does: the text is set, then counted.
    const auto type = [&line](const QString &text) {
        line->setText(text);
        line->dealWithMessage(text);
    };
    type(QString(256, QLatin1Char('x')));
    EXPECT_FALSE(line->isPostEnabled());
    type(QString(255, QLatin1Char('x')));
    EXPECT_TRUE(line->isPostEnabled());

    QSignalSpy posted(line.get(), &RTDirectInputLineViewController::posted);
    type(QStringLiteral("Written in the compose line"));
    line->send();
    EXPECT_TRUE(line->text().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return posted.count() == 1; }, 30000));
    EXPECT_EQ(posted.at(0).at(0).toString(), QStringLiteral("Written in the compose line"));
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto messages = account->messagesDictionary();
            return std::any_of(messages.cbegin(), messages.cend(), [](const auto &m) {
                return m && m->body() == QLatin1String("Written in the compose line");
            });
        },
        30000));
}

// A token the user took back marks the account; logging in again as the same person gives
// it a new token and nothing else, while a cancelled log-in or one as somebody else leaves
// the account marked with its old token.
TEST_F(FacebookSandboxTest, ARefusedTokenMarksTheAccountUntilItsPersonLogsInAgain)
{
    TADataManager::resetSharedManagerForTesting(sandbox->dataDir() + QStringLiteral("/relogin"));
    const auto account = loggedInAccount("dave");
    ASSERT_TRUE(account);
    RTServiceRegistry::shared().addService(account);
    account->setShowPopupNotifications(false);
    QSignalSpy changed(account.get(), &RTServiceFacebook::messagesChanged);
    account->start();
    ASSERT_TRUE(waitUntil([&] { return changed.count() > 0; }, 30000));
    const QList<QString> postIds = account->messagesDictionary().keys();
    ASSERT_FALSE(postIds.isEmpty());
    const QString oldToken = account->accessToken();
    const auto keyringHolds = [&](const QString &token) {
        for (const auto &[item, secret] : keychain.items)
            if (std::get<2>(item) == account->serviceId() && secret.contains(token))
                return true;
        return false;
    };

    ASSERT_TRUE(revokeAccess(oldToken));
    QSignalSpy marked(account.get(), &RTService::needsLogInChanged);
    account->refreshNewsFeed();
    ASSERT_TRUE(waitUntil([&] { return account->needsLogIn(); }, 30000));
    EXPECT_EQ(marked.count(), 1);
    // Polling stops instead of filling the error list with the same refusal.
    EXPECT_FALSE(account->running());

    {
        SCOPED_TRACE("cancelled");
        RTFacebookLogin login;
        login.setAccountToRenew(account->serviceId());
        login.setUrlOpener([](const QUrl &) { return true; });
        QSignalSpy loggedIn(&login, &RTFacebookLogin::loggedIn);
        ASSERT_TRUE(login.begin());
        login.cancel();
        QCoreApplication::processEvents();
        EXPECT_EQ(loggedIn.count(), 0);
    }
    {
        SCOPED_TRACE("another person");
        const LoginRun run = logIn({QStringLiteral("erin"), QStringLiteral("sandbox"), false, {}},
                                   30, account->serviceId());
        EXPECT_FALSE(run.loggedIn);
        EXPECT_TRUE(run.failure.contains(QStringLiteral("not as the person of this account")))
            << run.failure.toStdString();
        EXPECT_EQ(TAAccounts::userAccounts(RTServiceRegistry::shared().services()).size(), 1);
        for (const auto &[item, secret] : keychain.items)
            EXPECT_EQ(std::get<2>(item), account->serviceId());
    }
    EXPECT_TRUE(account->needsLogIn());
    EXPECT_EQ(account->accessToken(), oldToken);
    EXPECT_TRUE(keyringHolds(oldToken));

    const LoginRun run = logIn({QStringLiteral("dave"), QStringLiteral("sandbox"), false, {}}, 30,
                               account->serviceId());
    ASSERT_TRUE(run.loggedIn) << run.failure.toStdString() << run.browser.error.toStdString();
    EXPECT_FALSE(run.isNew);
    EXPECT_EQ(run.account, account);
    EXPECT_FALSE(account->needsLogIn());
    const QString newToken = account->accessToken();
    EXPECT_NE(newToken, oldToken);
    EXPECT_TRUE(keyringHolds(newToken));
    EXPECT_FALSE(keyringHolds(oldToken));
    // Only the token changed: the posts and the switches are those of before.
    for (const QString &id : postIds)
        EXPECT_TRUE(account->messageWithId(id)) << id.toStdString();
    EXPECT_FALSE(account->showPopupNotifications());
    EXPECT_EQ(TAAccounts::userAccounts(RTServiceRegistry::shared().services()).size(), 1);

    // Started again, the account reads its feed with the new token.
    const int changes = changed.count();
    account->start();
    ASSERT_TRUE(waitUntil([&] { return changed.count() > changes; }, 30000));
    EXPECT_FALSE(account->needsLogIn());
    account->stop();
    RTServiceRegistry::shared().removeService(account);
    TADataManager::resetSharedManagerForTesting();
}

// The authors of a polled feed get their pictures through the store's picture cache, each
// address fetched once; addresses that answer a page or nothing leave the default avatar
// and are not asked for again.
TEST_F(FacebookSandboxTest, APolledFeedsAuthorsGetTheirPicturesOnce)
{
    TADataManager::resetSharedManagerForTesting(sandbox->dataDir() + QStringLiteral("/pictures"));
    TADataManager &store = TADataManager::sharedManager();
    const int fetchedBefore = webRequests(QStringLiteral("/pictures/"));
    const auto account = loggedInAccount("carol");
    ASSERT_TRUE(account);
    std::shared_ptr<Recorder> answer;
    ASSERT_TRUE(poll(account, answer).success) << answer->failure().toStdString();
    const auto posts =
        answer->result.value(key(kRTFacebookMessagesKey)).value<QList<RTMessageFacebookPtr>>();
    QSet<QString> addresses;
    for (const RTMessageFacebookPtr &post : posts) {
        ASSERT_TRUE(post->sender());
        EXPECT_EQ(post->user()->pictureUrl(), post->sender()->picUrl());
        addresses.insert(post->sender()->picUrl());
    }
    ASSERT_GE(addresses.size(), 2);
    // The log-in asked for the user's own picture.
    ASSERT_TRUE(account->mySelf());
    addresses.insert(account->mySelf()->picUrl());
    ASSERT_TRUE(waitUntil(
        [&] {
            for (const QString &url : addresses)
                if (store.imageCache().picture(dotlessUrl(url)).isEmpty())
                    return false;
            return true;
        },
        30000));
    for (const RTMessageFacebookPtr &post : posts)
        EXPECT_TRUE(post->sender()->profileImage().startsWith("\x89PNG"));
    EXPECT_TRUE(waitUntil(
        [&] {
            return webRequests(QStringLiteral("/pictures/")) - fetchedBefore >= addresses.size();
        },
        5000));
    const int fetched = webRequests(QStringLiteral("/pictures/"));
    EXPECT_EQ(fetched - fetchedBefore, addresses.size());
    ASSERT_TRUE(poll(account, answer).success) << answer->failure().toStdString();
    QCoreApplication::processEvents();
    EXPECT_EQ(webRequests(QStringLiteral("/pictures/")), fetched);

    const QString web = QStringLiteral("https://facebook.localhost:%1").arg(sandbox->tlsPort());
    const struct
    {
        const char *path;
    } bad[] = {{"/carol"}, {"/pictures/nobody-here"}};
    for (const auto &c : bad) {
        SCOPED_TRACE(c.path);
        RTUserFacebook user(QStringLiteral("1"));
        user.setPicUrl(web + QString::fromLatin1(c.path));
        EXPECT_TRUE(user.profileImage().isEmpty());
        ASSERT_TRUE(
            waitUntil([&] { return webRequests(QString::fromLatin1(c.path)) == 1; }, 30000));
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
            EXPECT_TRUE(user.profileImage().isEmpty());
        }
        QThread::msleep(200);
        QCoreApplication::processEvents();
        EXPECT_EQ(webRequests(QString::fromLatin1(c.path)), 1);
    }
    TADataManager::resetSharedManagerForTesting();
}

// Ping.fm, Instapaper, shrinking and translation against a real talvo-sandbox, with the
// faults and wrong answers that must end as failures and keep what the user wrote.
#include "accounts/AccountsRegistration.h"
#include "accounts/RTServiceInstapaper.h"
#include "accounts/RTServicePingfm.h"
#include "accounts/RTServiceRegistry.h"
#include "foundation/HostProfile.h"
#include "foundation/Localization.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "http/HttpRequest.h"
#include "model/RTMessageTwitter.h"
#include "networks/PingfmInstapaperRegistration.h"
#include "networks/instapaper/RTInstapaperClient.h"
#include "networks/pingfm/RTPingfmClient.h"
#include "networks/pingfm/RTPingfmDirectInputViewController.h"
#include "networks/pingfm/RTRequestOperationPingfm.h"
#include "platform/fake/FakeKeychain.h"
#include "sharing/RTRequestCallback.h"
#include "sharing/RTShortenerClient.h"
#include "sharing/RTTweetShrinkRequestOperation.h"
#include "sharing/RTTwitterDirectInputLineViewController.h"
#include "sharing/SharingRegistration.h"
#include "support/SandboxSuite.h"
#include "support/TestSupport.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/TwitterRegistration.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

struct Answer
{
    bool done = false;
    bool success = false;
    QVariantMap result;
    [[nodiscard]] QString failure() const
    {
        return result.value(key(kRTOperationFailureMessageKey)).toString();
    }
};

RTRequestDelegatePtr recorder(const std::shared_ptr<Answer> &answer)
{
    return RTRequestCallback::make(
        [answer](const QVariantMap &r) {
            *answer = {true, true, r};
        },
        [answer](const QVariantMap &r) {
            *answer = {true, false, r};
        });
}

class TextServicesSandboxTest : public SandboxSuite
{
protected:
    static void SetUpTestSuite() { startSandbox(4); }

    void SetUp() override
    {
        ASSERT_TRUE(useSandbox()) << sandbox->errorString().toStdString();
        registerAccountArchiveClasses();
        registerTwitterRequestClasses();
        registerSharingClasses();
        registerPingfmAndInstapaper();
        Keychain::setShared(&keychain);
        SettingsStore::shared().setBool(key(RTAlwaysShortenLinksInMessagesKey), false);
        SettingsStore::shared().setBool(key(RTCloseDirectInputAfterPostingKey), false);
    }
    void TearDown() override
    {
        waitUntil([] {
            return OperationQueue::forType(OperationQueue::ImmediateRequests).operationCount() ==
                       0 &&
                   OperationQueue::forType(OperationQueue::ServiceRequests).operationCount() == 0;
        });
        for (const RTServicePtr &s : added)
            RTServiceRegistry::shared().removeService(s);
        added.clear();
        leaveSandbox();
        Keychain::setShared(nullptr);
    }

    std::shared_ptr<RTServicePingfm> pingfm(const QString &appKey)
    {
        auto account = std::make_shared<RTServicePingfm>();
        account->setServiceId(u"alice"_s);
        account->setServicePassword(appKey);
        return account;
    }
    std::shared_ptr<RTServiceInstapaper> instapaper(const QString &password)
    {
        auto account = std::make_shared<RTServiceInstapaper>();
        account->setServiceId(u"bob"_s);
        account->setServicePassword(password);
        return account;
    }
    static bool wait(const std::shared_ptr<Answer> &a)
    {
        return waitUntil([a] { return a->done; }, 15000);
    }
    // Faults with a replayed answer file beside them.
    static void replay(const char *pathGlob, const QByteArray &body, const char *type)
    {
        QFile file(QDir(sandbox->dataDir()).filePath(u"answer.txt"_s));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(body);
        file.close();
        ASSERT_TRUE(sandbox->writeFaults(QByteArray("path ") + pathGlob + " body=" +
                                         file.fileName().toUtf8() + " type=" + type + "\n"));
    }

    FakeKeychain keychain;
    RTServiceList added;
};

TEST_F(TextServicesSandboxTest, PingfmRequestsWithRightAndWrongKeys)
{
    struct Case
    {
        const char *name;
        QString appKey;
        qint32 type;
        bool succeeds;
        QString failure;
    };
    const QList<Case> cases = {
        {"validate", u"appkey-alice"_s, 1, true, {}},
        {"validate with a wrong key", u"appkey-nobody"_s, 1, false, u"FAIL"_s},
        {"latest", u"appkey-alice"_s, 4, true, {}},
        {"post", u"appkey-alice"_s, 6, true, {}},
        {"post with a wrong key", u"wrong"_s, 6, false, u"FAIL"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto account = pingfm(c.appKey);
        auto answer = std::make_shared<Answer>();
        RTRequestOperationPtr op;
        if (c.type == 1)
            op = RTPingfmClient::verifyCredentials(account, recorder(answer));
        else if (c.type == 4)
            op = RTPingfmClient::getLatest(account, recorder(answer));
        else
            op = RTPingfmClient::postItem(account, RTPingfmClient::PostStatus, u"Hello there"_s,
                                          recorder(answer));
        ASSERT_TRUE(op);
        ASSERT_TRUE(wait(answer));
        EXPECT_EQ(answer->success, c.succeeds);
        EXPECT_EQ(answer->failure(), c.failure);
        // The application key is a secret: it does not stay with the finished operation.
        EXPECT_FALSE(op->postParameters().contains(u"user_app_key"_s));
    }
    // The post arrived with the method of the account's switch.
    EXPECT_TRUE(sandbox->log().contains(u"/v1/user.post"_s));
}

TEST_F(TextServicesSandboxTest, PingfmShortensAndExpandsAndAWrongKeyKeepsTheLongLink)
{
    const QString longUrl = u"https://www.localhost/articles/42?x=1&y=2"_s;
    QString gotLong, gotShort;
    bool done = false;
    const auto finished = [&](const QString &l, const QString &s) {
        gotLong = l;
        gotShort = s;
        done = true;
    };
    ASSERT_TRUE(
        RTShortenerClient::shortByLongStringURL(pingfm(u"appkey-alice"_s), longUrl, finished));
    ASSERT_TRUE(waitUntil([&] { return done; }, 15000));
    EXPECT_EQ(gotLong, longUrl);
    EXPECT_TRUE(gotShort.startsWith(u"https://pingfm.localhost:"_s)) << gotShort.toStdString();
    const QString shortUrl = gotShort;

    done = false;
    ASSERT_TRUE(
        RTShortenerClient::longByShortStringURL(pingfm(u"appkey-alice"_s), shortUrl, finished));
    ASSERT_TRUE(waitUntil([&] { return done; }, 15000));
    EXPECT_EQ(gotLong, longUrl);
    EXPECT_EQ(gotShort, shortUrl);
    // A link of another host is not Ping.fm's to expand.
    EXPECT_FALSE(RTShortenerClient::longByShortStringURL(
        pingfm(u"appkey-alice"_s), u"https://bitly.localhost/abc"_s, finished));

    // An answer whose short link is no web link leaves the long one.
    replay("/v1/url.create",
           "<rsp status=\"OK\"><transaction>1</transaction>"
           "<short_url>javascript:alert(1)</short_url></rsp>",
           "text/xml");
    done = false;
    ASSERT_TRUE(
        RTShortenerClient::shortByLongStringURL(pingfm(u"appkey-alice"_s), longUrl, finished));
    ASSERT_TRUE(waitUntil([&] { return done; }, 15000));
    EXPECT_EQ(gotLong, longUrl);
    EXPECT_TRUE(gotShort.isEmpty()) << gotShort.toStdString();
    ASSERT_TRUE(sandbox->writeFaults(QByteArray()));

    done = false;
    ASSERT_TRUE(RTShortenerClient::shortByLongStringURL(pingfm(u"wrong"_s), longUrl, finished));
    ASSERT_TRUE(waitUntil([&] { return done; }, 15000));
    EXPECT_EQ(gotLong, longUrl);
    EXPECT_TRUE(gotShort.isEmpty());
}

TEST_F(TextServicesSandboxTest, PingfmLinePostsAndAFailedPostComesBack)
{
    for (const auto &[appKey, succeeds] :
         {std::pair{u"appkey-alice"_s, true}, std::pair{u"appkey-nobody"_s, false}}) {
        SCOPED_TRACE(appKey.toStdString());
        const auto account = pingfm(appKey);
        account->setPostStatus(true);
        RTPingfmDirectInputViewController line(account);
        QSignalSpy posted(&line, &RTDirectInputLineViewController::posted);
        QSignalSpy failed(&line, &RTDirectInputLineViewController::postFailed);
        const QString text = u"Relayed to every network"_s;
        line.textDidChange(text, text.size());
        line.send();
        EXPECT_TRUE(line.text().isEmpty());
        ASSERT_TRUE(waitUntil([&] { return posted.size() + failed.size() > 0; }, 15000));
        EXPECT_EQ(posted.size(), succeeds ? 1 : 0);
        EXPECT_EQ(line.text(), succeeds ? QString() : text);
    }
}

TEST_F(TextServicesSandboxTest, InstapaperStatuses)
{
    struct Case
    {
        const char *name;
        QString password;
        QString url;
        QByteArray fault; // rule for /api/add, empty for none
        bool succeeds;
        QString failure;
    };
    const QList<Case> cases = {
        {"saved (201)", u"sandbox"_s, u"https://www.localhost/read?a=1&b=2"_s, {}, true, {}},
        {"wrong password (403)",
         u"nope"_s,
         u"https://www.localhost/x"_s,
         {},
         false,
         u"Invalid Instapaper Username or Password"_s},
        {"not a link (400)",
         u"sandbox"_s,
         u"not a link"_s,
         {},
         false,
         u"Badly Formatted Instapaper Request"_s},
        {"plain 200", u"sandbox"_s, u"https://www.localhost/y"_s, "status=200", true, {}},
        {"server error", u"sandbox"_s, u"https://www.localhost/z"_s, "status=500", false,
         u"Instapaper answered HTTP 500"_s},
        {"dropped connection", u"sandbox"_s, u"https://www.localhost/z"_s, "drop", false,
         localizedString("##RTRequestOperation:0##")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(sandbox->writeFaults(c.fault.isEmpty() ? QByteArray()
                                                           : "path /api/add " + c.fault + "\n"));
        const auto account = instapaper(c.password);
        auto answer = std::make_shared<Answer>();
        ASSERT_TRUE(RTInstapaperClient::addUrl(account, c.url, recorder(answer)));
        ASSERT_TRUE(wait(answer));
        EXPECT_EQ(answer->success, c.succeeds);
        EXPECT_EQ(answer->failure(), c.failure);
        // The password never reaches the recorded request.
        EXPECT_FALSE(answer->result.value(key(kRTUrlStringKey)).toString().contains(c.password));
    }
    // The link arrived with its query intact.
    const auto list =
        HttpRequest::requestWithURL(QUrl(sandbox->profile().baseUrl(u"instapaper"_s).toString() +
                                         u"/api/saved?username=bob&password=sandbox"_s));
    list->startSynchronous();
    EXPECT_TRUE(list->responseString().contains(u"read?a=1&b=2"_s))
        << list->responseString().toStdString();
}

TEST_F(TextServicesSandboxTest, InstapaperLogInCheckAndPasswordsWithQueryCharacters)
{
    auto answer = std::make_shared<Answer>();
    ASSERT_TRUE(RTInstapaperClient::verifyCredentials(instapaper(u"sandbox"_s), recorder(answer)));
    ASSERT_TRUE(wait(answer));
    EXPECT_TRUE(answer->success);
    // "&password=sandbox" inside a password must not pass for the real one.
    answer = std::make_shared<Answer>();
    ASSERT_TRUE(RTInstapaperClient::verifyCredentials(instapaper(u"x&password=sandbox"_s),
                                                      recorder(answer)));
    ASSERT_TRUE(wait(answer));
    EXPECT_FALSE(answer->success);
}

TEST_F(TextServicesSandboxTest, ShrinkReplacesTheTextOrKeepsItOnEveryFailure)
{
    auto account = std::make_shared<RTServiceTwitter>();
    account->setServiceId(u"alice"_s);
    RTTwitterDirectInputLineViewController line(account);
    const QString text = u"Thanks, you are great and see you tomorrow"_s;
    struct Case
    {
        const char *name;
        QByteArray faults;
        QByteArray replayBody; // answer given instead, when not empty
        QString expected;
    };
    const QList<Case> cases = {
        {"shrunk", {}, {}, u"Thx, u r gr8 & see u tmrw"_s},
        {"server error", "path /shrink status=503\n", {}, text},
        {"dropped connection", "path /shrink drop\n", {}, text},
        {"answer without text", {}, R"({"difference": 3})", text},
        {"text of the wrong type", {}, R"({"text": 12, "difference": 3})", text},
        {"empty text", {}, R"({"text": "  ", "difference": 40})", text},
        {"not JSON", {}, "<html>busy</html>", text},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.replayBody.isEmpty())
            replay("/shrink", c.replayBody, "application/json");
        else
            ASSERT_TRUE(sandbox->writeFaults(c.faults));
        line.textDidChange(text, text.size());
        QSignalSpy changed(&line, &RTDirectInputLineViewController::shrinkingChanged);
        QSignalSpy failed(&line, &RTDirectInputLineViewController::shrinkFailed);
        ASSERT_TRUE(line.shrinkPost());
        EXPECT_TRUE(line.isShrinking());
        EXPECT_FALSE(line.isReadyToPost()); // no post while the service has the text
        EXPECT_FALSE(line.shrinkPost());    // one request at a time
        ASSERT_TRUE(waitUntil([&] { return !line.isShrinking(); }, 15000));
        EXPECT_EQ(line.text(), c.expected);
        EXPECT_EQ(failed.size(), c.expected == text ? 1 : 0);
        EXPECT_EQ(changed.size(), 2);
    }
    // The service's own error answer for a text it will not take.
    ASSERT_TRUE(sandbox->writeFaults(QByteArray()));
    auto op = std::make_shared<RTTweetShrinkRequestOperation>();
    op->setTextToShrink(QString(2500, u'a'));
    bool called = false;
    op->setFinished([&called](const RTTweetShrinkRequestOperation &) { called = true; });
    op->main();
    EXPECT_TRUE(called); // a failure is told to the caller too
    EXPECT_TRUE(op->shrunkenText().isNull());
    EXPECT_EQ(op->failureReason(), u"The service answered HTTP 400"_s);
}

TEST_F(TextServicesSandboxTest, CancelledShrinkSendsNothingAndCallsNobody)
{
    const qsizetype before = sandbox->log().count(u"/shrink"_s);
    auto op = std::make_shared<RTTweetShrinkRequestOperation>();
    op->setTextToShrink(u"you are great"_s);
    bool called = false;
    op->setFinished([&called](const RTTweetShrinkRequestOperation &) { called = true; });
    op->cancel();
    OperationQueue::forType(OperationQueue::ImmediateRequests).addOperation(op);
    op->waitUntilFinished();
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
    EXPECT_EQ(sandbox->log().count(u"/shrink"_s), before);
}

TEST_F(TextServicesSandboxTest, TweetTranslationKeepsTokensAndFailuresLeaveItUntranslated)
{
    struct Case
    {
        const char *name;
        QString body;
        QString language; // the user's preferred language
        QByteArray faults;
        QByteArray replayBody;
        QString expected; // null: no translation
    };
    const QList<Case> cases = {
        {"hashtag and mention back as written",
         u"Good morning #Coffee @Bob and hello world"_s,
         u"de"_s,
         {},
         {},
         u"Gut morgen #Coffee @Bob und hallo welt"_s},
        {"stock symbol and entities",
         u"Hello $AAPL &amp; friends"_s,
         u"fr"_s,
         {},
         {},
         u"Bonjour $AAPL &amp; amis"_s},
        {"language the service refuses", u"Hello world"_s, u"xx"_s, {}, {}, QString()},
        {"server error",
         u"Hello world"_s,
         u"de"_s,
         "path /ajax/services/language/translate status=502\n",
         {},
         QString()},
        {"answer without responseData",
         u"Hello world"_s,
         u"de"_s,
         {},
         R"({"responseStatus": 200})",
         QString()},
        {"translatedText of the wrong type",
         u"Hello world"_s,
         u"de"_s,
         {},
         R"({"responseData": {"translatedText": ["Hallo"]}, "responseStatus": 200})",
         QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.replayBody.isEmpty())
            replay("/ajax/services/language/translate", c.replayBody, "application/json");
        else
            ASSERT_TRUE(sandbox->writeFaults(c.faults));
        SettingsStore::shared().setValue(key(AppleLanguagesKey), QStringList{c.language});
        auto message = RTMessageTwitter::create(u"9001"_s);
        message->setBody(c.body);
        const qsizetype before = sandbox->log().count(u"/ajax/services/language/translate"_s);
        message->translate();
        EXPECT_TRUE(message->isTranslated());
        ASSERT_TRUE(waitUntil(
            [&] {
                return sandbox->log().count(u"/ajax/services/language/translate"_s) > before &&
                       OperationQueue::forType(OperationQueue::ImmediateRequests)
                               .operationCount() == 0;
            },
            15000));
        QCoreApplication::processEvents();
        EXPECT_EQ(message->translatedBody(), c.expected);
        EXPECT_EQ(message->translatedBody().isNull(), c.expected.isNull());
    }
    SettingsStore::shared().setValue(key(AppleLanguagesKey), QStringList());
}

TEST_F(TextServicesSandboxTest, TranslateOnAndOffSendsOneRequest)
{
    SettingsStore::shared().setValue(key(AppleLanguagesKey), QStringList{u"de"_s});
    auto message = RTMessageTwitter::create(u"9002"_s);
    message->setBody(u"Hello world"_s);
    const auto requests = [] {
        return sandbox->log().count(u"/ajax/services/language/translate"_s);
    };
    const qsizetype before = requests();
    message->translate(); // on: asks
    message->translate(); // off before the answer: asks nothing
    message->translate(); // on again while the first is out: asks nothing more
    ASSERT_TRUE(waitUntil([&] { return !message->translatedBody().isEmpty(); }, 15000));
    EXPECT_EQ(requests(), before + 1);
    EXPECT_TRUE(message->isTranslated());
    EXPECT_EQ(message->translatedBody(), u"Hallo welt"_s);
    // Off and on again: the known translation is shown without a new request.
    message->translate();
    message->translate();
    QCoreApplication::processEvents();
    EXPECT_EQ(requests(), before + 1);
    SettingsStore::shared().setValue(key(AppleLanguagesKey), QStringList());
}

TEST(PingfmAnswers, StatusDecidesAndAFailureSaysWhy)
{
    struct Case
    {
        const char *name;
        QString xml;
        bool readable;
        QString failure; // null: success
    };
    const QList<Case> cases = {
        {"OK", u"<rsp status=\"OK\"><transaction>12</transaction></rsp>"_s, true, {}},
        {"FAIL", u"<rsp status=\"FAIL\"><message>bad key</message></rsp>"_s, true, u"FAIL"_s},
        {"no status", u"<rsp><transaction>12</transaction></rsp>"_s, true,
         u"Ping.fm gave no status"_s},
        {"not XML", u"Bad Gateway"_s, false, {}},
        {"cut short", u"<rsp status=\"OK\"><transac"_s, false, {}},
    };
    class Probe : public RTRequestOperationPingfm
    {
    public:
        using RTRequestOperationPingfm::failureStringFromServerWithObjCResponse;
    } probe;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QVariant answer = RTRequestOperationPingfm::readAnswer(c.xml);
        ASSERT_EQ(answer.isValid(), c.readable);
        if (!c.readable)
            continue;
        const QString failure = probe.failureStringFromServerWithObjCResponse(answer);
        EXPECT_EQ(failure, c.failure);
        EXPECT_EQ(failure.isNull(), c.failure.isNull());
    }
}

TEST(PingfmLine, BudgetAndPostTypeFollowTheSwitches)
{
    auto account = std::make_shared<RTServicePingfm>();
    RTPingfmDirectInputViewController line(account);
    struct Step
    {
        const char *name;
        std::function<void()> change;
        int budget;
        int postType;
    };
    const QList<Step> steps = {
        {"new account posts micro-blog", [] {}, 140, RTPingfmClient::PostMicroBlog},
        {"status on", [&] { account->setPostStatus(true); }, 200, RTPingfmClient::PostStatus},
        {"micro-blog on turns status off", [&] { account->setPostMicroBlog(true); }, 140,
         RTPingfmClient::PostMicroBlog},
        {"both off keeps the budget", [&] { account->setPostMicroBlog(false); }, 140,
         RTPingfmClient::PostDefault},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.name);
        s.change();
        EXPECT_EQ(line.limitTextLenght(), s.budget);
        EXPECT_EQ(RTPingfmClient::postTypeForAccount(*account), s.postType);
    }
    EXPECT_EQ(RTPingfmClient::postMethodForType(RTPingfmClient::PostStatus), u"status"_s);
    EXPECT_EQ(RTPingfmClient::postMethodForType(RTPingfmClient::PostBlog), u"blog"_s);
    EXPECT_EQ(RTPingfmClient::postMethodForType(RTPingfmClient::PostDefault), u"default"_s);
}

} // namespace

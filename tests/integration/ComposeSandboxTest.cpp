// Posting through the compose line against a real talvo-sandbox: a post, a reply, a
// direct message, a picture with its link in the post, every shortener and every
// picture host, and the failures that must leave the text in place.
#include "accounts/AccountsRegistration.h"
#include "accounts/RTServiceBudurl.h"
#include "accounts/RTServiceImager.h"
#include "accounts/RTShortenerService.h"
#include "foundation/HostProfile.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "http/HttpRequest.h"
#include "network/OAuthClock.h"
#include "platform/fake/FakeAlerts.h"
#include "platform/fake/FakeKeychain.h"
#include "platform/fake/FakePlatform.h"
#include "sharing/RTImageUploader.h"
#include "sharing/RTRequestCallback.h"
#include "sharing/RTShortenerClient.h"
#include "sharing/RTTwitterDirectInputLineViewController.h"
#include "sharing/SharingRegistration.h"
#include "support/SandboxSuite.h"
#include "support/TestSupport.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterRequestTypes.h"
#include "twitter/TwitterRegistration.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// Enough of a JPEG for the hosts, which look at the first bytes.
QByteArray fakeJpeg(qsizetype size = 2048)
{
    QByteArray bytes("\xFF\xD8\xFF\xE0", 4);
    bytes.append(QByteArray(size - 4, '\x11'));
    return bytes;
}

class ComposeSandboxTest : public SandboxSuite
{
protected:
    static void SetUpTestSuite() { startSandbox(6); }

    void SetUp() override
    {
        ASSERT_TRUE(useSandbox()) << sandbox->errorString().toStdString();
        registerTwitterRequestClasses();
        registerAccountArchiveClasses();
        registerSharingClasses();
        Keychain::setShared(&keychain);
        Alerts::setShared(&alerts);
        for (const char *k : {RTAlwaysShortenLinksInMessagesKey, RTLimitInputLengthKey,
                              RTCloseDirectInputAfterPostingKey})
            SettingsStore::shared().setBool(key(k), false);
        account = std::make_shared<RTServiceTwitter>();
        account->setServiceId(u"alice"_s);
        account->setServicePassword(QString::fromLatin1(SandboxFixture::kPassword));
        QObject::connect(account.get(), &RTServiceTwitter::requestFinished,
                         [this](const QVariantMap &result, bool success) {
                             answers.append({result, success});
                         });
        account->setRunning(true);
        account->requestOAuthTokenWithDelegate(nullptr);
        ASSERT_TRUE(waitUntil([this] { return !account->oauthToken().isEmpty(); }, 10000));
        line = std::make_unique<RTTwitterDirectInputLineViewController>(account);
    }
    void TearDown() override
    {
        line.reset();
        if (account) {
            account->stop();
            QObject::disconnect(account.get(), nullptr, nullptr, nullptr);
            account->setIsDeleted(true);
        }
        waitUntil([] {
            return OperationQueue::forType(OperationQueue::ImmediateRequests).operationCount() ==
                       0 &&
                   OperationQueue::forType(OperationQueue::UrlFollowing).operationCount() == 0;
        });
        account.reset();
        leaveSandbox();
        Alerts::setShared(nullptr);
        Keychain::setShared(nullptr);
    }

    struct Answer
    {
        QVariantMap result;
        bool success = false;
    };
    std::optional<Answer> answerOf(qint32 type, int timeoutMs = 10000)
    {
        std::optional<Answer> found;
        waitUntil(
            [&] {
                for (qsizetype i = 0; i < answers.size(); ++i) {
                    if (answers.at(i).result.value(key(kRTRequestType)).toInt() == type) {
                        found = answers.takeAt(i);
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
        return found;
    }
    static RTMessageTwitterPtr firstMessage(const Answer &answer)
    {
        const auto op = std::dynamic_pointer_cast<RTRequestOperationTwitter>(
            answer.result.value(key(kRTRequestOperationKey)).value<RTRequestOperationPtr>());
        return op && !op->allMessages().isEmpty() ? op->allMessages().first() : nullptr;
    }
    void write(const QString &text) { line->textDidChange(text, text.size()); }

    FakeKeychain keychain;
    FakeAlerts alerts;
    FakePlatform platform;
    std::shared_ptr<RTServiceTwitter> account;
    std::unique_ptr<RTTwitterDirectInputLineViewController> line;
    QList<Answer> answers;
};

TEST_F(ComposeSandboxTest, PostReplyAndDirectMessageArrive)
{
    QSignalSpy posted(line.get(), &RTDirectInputLineViewController::posted);
    write(u"Hello from the compose line"_s);
    line->send();
    auto answer = answerOf(RTTwitterRequestUpdateStatus);
    ASSERT_TRUE(answer && answer->success);
    const RTMessageTwitterPtr tweet = firstMessage(*answer);
    ASSERT_NE(tweet, nullptr);
    EXPECT_EQ(tweet->body(), u"Hello from the compose line"_s);
    ASSERT_TRUE(waitUntil([&] { return posted.size() == 1; }));

    line->replyWithMessages({tweet});
    line->textDidChange(line->text() + u"answering myself"_s, 0);
    line->send();
    answer = answerOf(RTTwitterRequestUpdateStatus);
    ASSERT_TRUE(answer && answer->success);
    const RTMessageTwitterPtr reply = firstMessage(*answer);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->inReplyToMessageId(), tweet->messageId());
    EXPECT_EQ(reply->body(), u"@alice answering myself"_s);

    write(u"d @bob a private word"_s);
    line->send();
    answer = answerOf(RTTwitterRequestNewDirectMessage);
    ASSERT_TRUE(answer && answer->success);
    const RTMessageTwitterPtr dm = firstMessage(*answer);
    ASSERT_NE(dm, nullptr);
    EXPECT_EQ(dm->body(), u"a private word"_s);
    EXPECT_TRUE(dm->isPrivate());
    EXPECT_EQ(line->text(), QString());
}

TEST_F(ComposeSandboxTest, RefusedSendsKeepTheText)
{
    QSignalSpy failed(line.get(), &RTDirectInputLineViewController::postFailed);
    ASSERT_TRUE(sandbox->writeFaults("path /1/statuses/update* status=503\n"));
    write(u"this must not be lost"_s);
    line->send();
    ASSERT_TRUE(waitUntil([&] { return failed.size() == 1; }));
    EXPECT_EQ(line->text(), u"this must not be lost"_s);

    // The sandbox refuses messages to someone who does not follow the sender.
    ASSERT_TRUE(sandbox->writeFaults(QByteArray()));
    write(u"d @nobody_at_all hi"_s);
    line->send();
    ASSERT_TRUE(waitUntil([&] { return failed.size() == 2; }));
    EXPECT_EQ(line->text(), u"hi "_s);
    EXPECT_TRUE(line->isDirect());
    EXPECT_EQ(line->directMessageRecipient(), u"nobody_at_all"_s);

    write(u"this must not be lost"_s);
    line->send();
    auto answer = answerOf(RTTwitterRequestUpdateStatus);
    ASSERT_TRUE(answer);
    EXPECT_TRUE(waitUntil([&] { return line->text().isEmpty(); }));
}

TEST_F(ComposeSandboxTest, PictureLinkGoesIntoThePost)
{
    // The picture's link is short already: only the other link is shortened.
    SettingsStore::shared().setBool(key(RTAlwaysShortenLinksInMessagesKey), true);
    QSignalSpy uploaded(line.get(), &RTDirectInputLineViewController::uploadFinished);
    QSignalSpy progress(line.get(), &RTDirectInputLineViewController::uploadProgress);
    write(u"look at this"_s);
    ASSERT_TRUE(line->shareImageData(fakeJpeg(1024 * 1024)));
    EXPECT_TRUE(line->isUploading());
    ASSERT_TRUE(waitUntil([&] { return uploaded.size() == 1; }, 10000));
    EXPECT_TRUE(uploaded[0][0].toBool()) << uploaded[0][1].toString().toStdString();
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_GT(progress.last()[1].toLongLong(), 1024 * 1024); // the picture and the form
    EXPECT_EQ(progress.last()[0].toLongLong(), progress.last()[1].toLongLong());
    EXPECT_TRUE(line->text().startsWith(u"look at this https://pics.localhost:"_s))
        << line->text().toStdString();
    const QString text = line->text();
    line->textDidChange(text + u" https://www.localhost/more"_s, text.size() + 27);
    line->send();
    const auto answer = answerOf(RTTwitterRequestUpdateStatus);
    ASSERT_TRUE(answer && answer->success);
    const QString body = firstMessage(*answer)->body();
    EXPECT_TRUE(body.startsWith(text + u" https://bitly.localhost:"_s)) << body.toStdString();
}

TEST_F(ComposeSandboxTest, CancelledUploadChangesNothing)
{
    ASSERT_TRUE(sandbox->writeFaults("path /api/upload delay=1500\n"));
    QSignalSpy uploaded(line.get(), &RTDirectInputLineViewController::uploadFinished);
    write(u"words stay"_s);
    ASSERT_TRUE(line->shareImageData(fakeJpeg()));
    EXPECT_FALSE(line->shareImageData(fakeJpeg())); // one upload at a time
    line->cancelUpload();
    EXPECT_FALSE(line->isUploading());
    ASSERT_EQ(uploaded.size(), 1);
    EXPECT_FALSE(uploaded[0][0].toBool());
    // The answer the host would have given never arrives.
    QTest::qWait(2000);
    EXPECT_EQ(uploaded.size(), 1);
    EXPECT_EQ(line->text(), u"words stay"_s);
}

TEST_F(ComposeSandboxTest, EveryPictureHost)
{
    struct Case
    {
        QString hostClass;
        QByteArray picture;
        QString password;
        bool ok;
        QString failure;
    };
    const QList<Case> cases = {
        {u"RTServiceTwitpic"_s, fakeJpeg(), u"sandbox"_s, true, {}},
        {u"RTServiceYfrog"_s, fakeJpeg(), u"sandbox"_s, true, {}},
        {u"RTServiceTweetphoto"_s, fakeJpeg(4194305), u"sandbox"_s, true, {}},
        {u"RTServiceImgly"_s, fakeJpeg(), u"sandbox"_s, true, {}},
        {u"RTServiceTwitgoo"_s, fakeJpeg(), u"sandbox"_s, true, {}},
        {u"RTServiceTwicli"_s, fakeJpeg(), u"sandbox"_s, true, {}},
        {u"RTServiceMobypicture"_s, fakeJpeg(), u"sandbox"_s, true, {}},
        {u"RTServiceTwitpic"_s, "not a picture", u"sandbox"_s, false, u"fail"_s},
        {u"RTServiceTwitpic"_s, fakeJpeg(), u"wrong"_s, false, u"fail"_s},
        {u"RTServiceTwicli"_s, fakeJpeg(), u"wrong"_s, false, u"fail"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.hostClass.toStdString() + " " + c.password.toStdString());
        auto host = RTServiceImager::anonymousImagerService(c.hostClass);
        ASSERT_NE(host, nullptr);
        const RTServicePtr poster = account;
        if (c.hostClass == u"RTServiceMobypicture"_s) {
            host->setIsAnonymous(false);
            host->setServiceId(u"alice"_s);
            host->setServicePassword(c.password);
        }
        account->setServicePassword(c.password);
        std::optional<std::pair<bool, QVariantMap>> done;
        const auto callback = RTRequestCallback::make(
            [&](const QVariantMap &r) {
                done = std::pair{true, r};
            },
            [&](const QVariantMap &r) {
                done = std::pair{false, r};
            });
        ASSERT_NE(
            RTImageUploader::uploadImageWithTwitterService(host, poster, callback, 0, c.picture),
            nullptr);
        ASSERT_TRUE(waitUntil([&] { return done.has_value(); }, 10000));
        EXPECT_EQ(done->first, c.ok)
            << done->second.value(key(kRTOperationFailureMessageKey)).toString().toStdString();
        if (c.ok)
            EXPECT_TRUE(done->second.value(key(kRTImageURLKey))
                            .toString()
                            .startsWith(u"https://pics.localhost:"_s));
        else
            EXPECT_EQ(done->second.value(key(kRTOperationFailureMessageKey)).toString(), c.failure);
    }
    account->setServicePassword(u"sandbox"_s);

    // Over the host's limit: an alert, nothing sent.
    auto twitpic = RTServiceImager::anonymousImagerService(u"RTServiceTwitpic"_s);
    alerts.informations.clear();
    EXPECT_EQ(RTImageUploader::uploadImageWithTwitterService(twitpic, account, nullptr, 0,
                                                             fakeJpeg(4194305)),
              nullptr);
    ASSERT_EQ(alerts.informations.size(), 1);
    EXPECT_EQ(alerts.informations[0].informativeText,
              u"Twitpic only permits images under 4 MBs."_s);
    EXPECT_TRUE(platform.called(u"beep"_s));
}

TEST_F(ComposeSandboxTest, EveryShortener)
{
    QStringList classes = RTShortenerService::shortenersClasses();
    for (const QString &className : classes) {
        SCOPED_TRACE(className.toStdString());
        auto shortener = RTShortenerService::anonymousShortenerService(className);
        ASSERT_NE(shortener, nullptr);
        const QString longUrl = u"https://www.localhost/article?id=7&from="_s + className;
        std::optional<std::pair<QString, QString>> got;
        ASSERT_TRUE(RTShortenerClient::shortByLongStringURL(
            shortener, longUrl, [&](const QString &l, const QString &s) {
                got = std::pair{l, s};
            }));
        ASSERT_TRUE(waitUntil([&] { return got.has_value(); }, 10000));
        EXPECT_EQ(got->first, longUrl);
        EXPECT_TRUE(got->second.startsWith(u"https://"_s)) << got->second.toStdString();
        EXPECT_TRUE(got->second.contains(u".localhost:"_s)) << got->second.toStdString();
    }
    auto budurl = std::make_shared<RTServiceBudurl>();
    budurl->setServiceId(u"ann"_s);
    budurl->setServicePassword(u"budkey"_s);
    std::optional<QString> shortUrl;
    ASSERT_TRUE(RTShortenerClient::shortByLongStringURL(
        budurl, u"https://www.localhost/b"_s,
        [&](const QString &, const QString &s) { shortUrl = s; }));
    ASSERT_TRUE(waitUntil([&] { return shortUrl.has_value(); }, 10000));
    EXPECT_TRUE(shortUrl->contains(u"budurl.localhost"_s));

    // tr.im expands its own links: the account's host is the sandbox's link host here.
    auto trim = RTShortenerService::anonymousShortenerService(u"RTServiceTrim"_s);
    const QUrl trimLinks = sandbox->profile().baseUrl(u"trim-links"_s);
    trim->setHttpProtocol(trimLinks.scheme());
    trim->setHostname(trimLinks.authority());
    std::optional<QString> trimmed;
    ASSERT_TRUE(RTShortenerClient::shortByLongStringURL(
        trim, u"https://www.localhost/trimmed"_s,
        [&](const QString &, const QString &s) { trimmed = s; }));
    ASSERT_TRUE(waitUntil([&] { return trimmed.has_value(); }, 10000));
    std::optional<std::pair<QString, QString>> expanded;
    ASSERT_TRUE(RTShortenerClient::longByShortStringURL(trim, *trimmed,
                                                        [&](const QString &l, const QString &s) {
                                                            expanded = std::pair{l, s};
                                                        }));
    ASSERT_TRUE(waitUntil([&] { return expanded.has_value(); }, 10000));
    EXPECT_EQ(expanded->first, u"https://www.localhost/trimmed"_s);
    EXPECT_EQ(expanded->second, *trimmed);

    // A shortener that answers with an error: the long link comes back alone.
    ASSERT_TRUE(sandbox->writeFaults("path /api.php status=500\n"));
    auto isgd = RTShortenerService::anonymousShortenerService(u"RTServiceIsgd"_s);
    std::optional<std::pair<QString, QString>> failed;
    ASSERT_TRUE(RTShortenerClient::shortByLongStringURL(isgd, u"https://www.localhost/c"_s,
                                                        [&](const QString &l, const QString &s) {
                                                            failed = std::pair{l, s};
                                                        }));
    ASSERT_TRUE(waitUntil([&] { return failed.has_value(); }, 10000));
    EXPECT_EQ(failed->first, u"https://www.localhost/c"_s);
    EXPECT_TRUE(failed->second.isNull());
}

TEST_F(ComposeSandboxTest, LinksAreShortenedBeforeThePost)
{
    SettingsStore::shared().setBool(key(RTAlwaysShortenLinksInMessagesKey), true);
    write(u"read https://www.localhost/a/long/article and https://www.localhost/b"_s);
    line->send();
    EXPECT_TRUE(line->isShortening());
    const auto answer = answerOf(RTTwitterRequestUpdateStatus);
    ASSERT_TRUE(answer && answer->success);
    const QString body = firstMessage(*answer)->body();
    EXPECT_FALSE(body.contains(u"www.localhost"_s)) << body.toStdString();
    EXPECT_EQ(body.count(u"bitly.localhost"_s), 2) << body.toStdString();
    EXPECT_FALSE(answerOf(RTTwitterRequestUpdateStatus, 500).has_value());
}

} // namespace

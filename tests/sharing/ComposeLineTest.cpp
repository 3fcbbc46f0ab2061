// The Twitter compose line without a window: prefills, the budget, when a post may go,
// shortening before a post, and what happens to the text when a post fails.
#include "sharing/ComposeTestSupport.h"

#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "platform/fake/FakeAlerts.h"
#include "platform/fake/FakeKeychain.h"
#include "platform/fake/FakePlatform.h"
#include "sharing/SharingRegistration.h"
#include "twitter/RTTwitterRequestTypes.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

using Style = RTDirectInputLineViewController::CounterStyle;

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

class ComposeLineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Keychain::setShared(&keychain);
        Alerts::setShared(&alerts);
        for (const char *k : {RTLimitInputLengthKey, RTAlwaysShortenLinksInMessagesKey,
                              RTCloseDirectInputAfterPostingKey})
            SettingsStore::shared().setBool(key(k), false);
        SettingsStore::shared().setValue(key(RTMessageQuoteSyntaxKey), 0);
        account = std::make_shared<RecordingTwitter>();
        account->setServiceId(QStringLiteral("me"));
        account->setMyself(makeUser(QStringLiteral("1"), QStringLiteral("Me")));
        ann = makeUser(QStringLiteral("2"), QStringLiteral("ann"));
        bob = makeUser(QStringLiteral("3"), QStringLiteral("bob"));
        account->setUsersDictionary({{ann->userId(), ann}, {bob->userId(), bob}});
        line = std::make_unique<RecordingLine>(account);
    }
    void TearDown() override
    {
        line.reset();
        Alerts::setShared(nullptr);
        Keychain::setShared(nullptr);
    }

    void type(const QString &text) { line->textDidChange(text, text.size()); }

    FakeKeychain keychain;
    FakeAlerts alerts;
    FakePlatform platform;
    std::shared_ptr<RecordingTwitter> account;
    RTUserTwitterPtr ann;
    RTUserTwitterPtr bob;
    std::unique_ptr<RecordingLine> line;
};

TEST_F(ComposeLineTest, PrefillsForReplyQuoteCopyAndDirect)
{
    auto carol = makeUser(QStringLiteral("4"), QStringLiteral("carol"));
    const auto m1 = makeMessage(QStringLiteral("11"), ann, QStringLiteral("hi @bob #Tag"));
    const auto m2 =
        makeMessage(QStringLiteral("12"), bob, QStringLiteral("@ann @Me @carol #tag #x"));
    const auto m3 = makeMessage(QStringLiteral("13"), ann, QStringLiteral("again"));
    const auto dm = makeMessage(QStringLiteral("14"), carol, QStringLiteral("secret"), true);

    enum Action
    {
        Reply,
        ReplyAll,
        Quote,
        Copy,
        Direct
    };
    struct Case
    {
        const char *name;
        Action action;
        QList<RTMessageTwitterPtr> messages;
        int quoteSyntax;
        QString text;
        QString replyId;
        bool direct;
        QString recipient;
        qsizetype caret;
    };
    const QList<Case> cases = {
        {"one reply", Reply, {m3}, 0, u"@ann "_s, u"13"_s, false, {}, 5},
        {"reply with tags", Reply, {m1}, 0, u"@ann  #Tag"_s, u"11"_s, false, {}, 5},
        {"three authors, not de-duplicated",
         Reply,
         {m3, m2, m3},
         0,
         u"@ann @bob @ann  #tag #x"_s,
         {},
         false,
         {},
         15},
        {"reply all skips own name",
         ReplyAll,
         {m1, m2},
         0,
         u"@ann @bob @bob @ann @carol  #Tag #x"_s,
         {},
         false,
         {},
         27},
        {"reply to a direct message", Reply, {m3, dm}, 0, QString(), {}, true, u"carol"_s, 0},
        {"quote syntax 0", Quote, {m3}, 0, u"again /via @ann"_s, {}, false, {}, 15},
        {"quote syntax 1", Quote, {m3}, 1, u"again via @ann"_s, {}, false, {}, 14},
        {"quote syntax 2", Quote, {m3}, 2, u"again (via @ann)"_s, {}, false, {}, 16},
        {"quote unknown syntax", Quote, {m3}, 7, u"again"_s, {}, false, {}, 5},
        {"quote of a direct message",
         Quote,
         {dm},
         1,
         u"secret via @carol"_s,
         {},
         true,
         u"carol"_s,
         17},
        {"retweet by copy", Copy, {m3}, 0, u"RT @ann again "_s, {}, false, {}, 14},
        {"direct to the author", Direct, {m1}, 0, QString(), {}, true, u"ann"_s, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SettingsStore::shared().setValue(key(RTMessageQuoteSyntaxKey), c.quoteSyntax);
        type(u"left over"_s);
        switch (c.action) {
        case Reply:
            line->replyWithMessages(c.messages);
            break;
        case ReplyAll:
            line->replyAllWithMessages(c.messages);
            break;
        case Quote:
            line->quoteWithMessages(c.messages);
            break;
        case Copy:
            line->copyForwardWithMessages(c.messages);
            break;
        case Direct:
            line->directForMessages(c.messages);
            break;
        }
        EXPECT_EQ(line->text(), c.text);
        EXPECT_EQ(line->inReplyToStatusIdString(), c.replyId);
        EXPECT_EQ(line->isDirect(), c.direct);
        EXPECT_EQ(line->directMessageRecipient(), c.recipient);
        EXPECT_EQ(line->selectionStart(), c.caret);
        EXPECT_TRUE(line->isTemporary());
        line->clearDirectInputLine();
    }
}

TEST_F(ComposeLineTest, BudgetCounterAndPostButton)
{
    const QString emoji = QStringLiteral("\U0001F600"); // two code units
    const QString combined = QStringLiteral("e\u0301"); // e and a combining accent
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467"); // 8
    struct Case
    {
        const char *name;
        QString text;
        int remaining;
        Style style;
        bool enabled;
    };
    const QList<Case> cases = {
        {"empty", QString(), 140, Style::Normal, false},
        {"129 characters", QString(129, u'a'), 11, Style::Normal, true},
        {"130 characters", QString(130, u'a'), 10, Style::Warning, true},
        {"exactly at the limit", QString(140, u'a'), 0, Style::Warning, true},
        {"one over", QString(141, u'a'), -1, Style::Over, false},
        {"70 emoji fill the budget", emoji.repeated(70), 0, Style::Warning, true},
        {"71 emoji are over", emoji.repeated(71), -2, Style::Over, false},
        {"combining marks count", combined.repeated(70), 0, Style::Warning, true},
        {"joined emoji count every unit", family.repeated(17) + QString(4, u'a'), 0, Style::Warning,
         true},
        {"white space only is text", QStringLiteral("   "), 137, Style::Normal, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        type(c.text);
        EXPECT_EQ(line->remaining(), c.remaining);
        EXPECT_EQ(line->counterStyle(), c.style);
        EXPECT_EQ(line->isPostEnabled(), c.enabled);
        EXPECT_EQ(line->canSend(), !c.enabled);
    }
}

TEST_F(ComposeLineTest, EditFilterRefusesBeyondTheBudgetAndTheCeiling)
{
    RTDirectInputLineViewController unlimited(account);
    struct Case
    {
        const char *name;
        RTDirectInputLineViewController *target;
        bool limitSetting;
        qsizetype location;
        QString replacement;
        bool accepted;
    };
    const QList<Case> cases = {
        {"typing at 139", line.get(), true, 139, u"x"_s, true},
        {"typing at 140 with the limit on", line.get(), true, 140, u"x"_s, false},
        {"typing at 140 with the limit off", line.get(), false, 140, u"x"_s, true},
        {"pasting a link at 140", line.get(), true, 140, u" http://example.com/a/b"_s, true},
        {"deleting is always allowed", line.get(), true, 140, QString(), true},
        {"position 1500 on an unlimited line", &unlimited, true, 1500, u"x"_s, true},
        {"position 1501 on an unlimited line", &unlimited, true, 1501, u"x"_s, false},
        {"position 1501 with a link", line.get(), false, 1501, u"http://a.example/"_s, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SettingsStore::shared().setBool(key(RTLimitInputLengthKey), c.limitSetting);
        const QString text(c.location, u'a');
        c.target->textDidChange(text, text.size());
        platform.calls.clear();
        EXPECT_EQ(c.target->shouldChangeText(c.location, 0, c.replacement), c.accepted);
        EXPECT_EQ(platform.called(QStringLiteral("beep")), !c.accepted);
    }
}

TEST_F(ComposeLineTest, SendingPostsRepliesAndDirectMessages)
{
    struct Case
    {
        const char *name;
        QString text;
        QString replyTo;
        qint32 type;
        QVariantMap form;
    };
    const QList<Case> cases = {
        {"plain",
         u"hello world"_s,
         {},
         RTTwitterRequestUpdateStatus,
         {{u"status"_s, u"hello world"_s}}},
        {"reply",
         u"@ann yes"_s,
         u"13"_s,
         RTTwitterRequestUpdateStatus,
         {{u"status"_s, u"@ann yes"_s}, {u"in_reply_to_status_id"_s, u"13"_s}}},
        {"typed direct message",
         u"d @bob hello there"_s,
         {},
         RTTwitterRequestNewDirectMessage,
         {{u"text"_s, u"hello there"_s}, {u"screen_name"_s, u"bob"_s}}},
        {"upper-case D and tabs",
         u"D\t@bob hi"_s,
         {},
         RTTwitterRequestNewDirectMessage,
         {{u"text"_s, u"hi"_s}, {u"screen_name"_s, u"bob"_s}}},
        {"d without a name is a tweet",
         u"d is for dog"_s,
         {},
         RTTwitterRequestUpdateStatus,
         {{u"status"_s, u"d is for dog"_s}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        account->requests.clear();
        if (!c.replyTo.isEmpty())
            line->replyWithMessages({makeMessage(c.replyTo, ann, u"x"_s)});
        line->setText(c.text);
        line->setSelectedRange(c.text.size());
        line->RTDirectInputLineViewController::dealWithMessage(c.text);
        line->send();
        ASSERT_EQ(account->requests.size(), 1);
        EXPECT_EQ(account->requests[0].type, c.type);
        for (auto it = c.form.cbegin(); it != c.form.cend(); ++it)
            EXPECT_EQ(account->requests[0].form.value(it.key()).toString(), it.value().toString())
                << it.key().toStdString();
        EXPECT_EQ(line->text(), QString());
        EXPECT_FALSE(line->isDirect());
    }
}

TEST_F(ComposeLineTest, NothingIsSentBlockedOrTwice)
{
    type(QString());
    line->send();
    type(QString(141, u'a'));
    line->send();
    EXPECT_TRUE(account->requests.isEmpty());
    EXPECT_EQ(line->text().size(), 141);
    type(u"fine"_s);
    line->send();
    line->send();
    EXPECT_EQ(account->requests.size(), 1);
}

TEST_F(ComposeLineTest, TypedDirectMessagePrefixBecomesRecipient)
{
    type(u"d @bob"_s);
    EXPECT_FALSE(line->isDirect());
    type(u"d @BOB "_s);
    EXPECT_TRUE(line->isDirect());
    EXPECT_EQ(line->directMessageRecipient(), u"bob"_s);
    EXPECT_EQ(line->text(), QString());
    EXPECT_EQ(line->actionImage(), u"di_dm"_s);
    type(u"see you"_s);
    line->send();
    ASSERT_EQ(account->requests.size(), 1);
    EXPECT_EQ(account->requests[0].type, RTTwitterRequestNewDirectMessage);
    EXPECT_EQ(account->requests[0].form.value(u"screen_name"_s).toString(), u"bob"_s);
}

TEST_F(ComposeLineTest, SendWaitsForEveryShorteningThenPostsOnce)
{
    SettingsStore::shared().setBool(key(RTAlwaysShortenLinksInMessagesKey), true);
    const QString a = u"http://example.com/a/very/long/path"_s;
    const QString b = u"http://example.org/another?q=1"_s;
    type(u"see "_s + a + u" and "_s + b + u" and http://bit.ly/x"_s);
    line->send();
    EXPECT_EQ(line->shortenings, (QStringList{a, b}));
    EXPECT_TRUE(line->isShortening());
    EXPECT_TRUE(line->isPendingPost());
    line->send(); // pressed again while waiting
    line->shorteningFinishedWithShortener(nullptr, b, u"http://bit.ly/B"_s);
    EXPECT_TRUE(account->requests.isEmpty());
    line->shorteningFinishedWithShortener(nullptr, a, u" http://bit.ly/A "_s);
    ASSERT_EQ(account->requests.size(), 1);
    EXPECT_EQ(account->requests[0].form.value(u"status"_s).toString(),
              u"see http://bit.ly/A and http://bit.ly/B and http://bit.ly/x"_s);
    EXPECT_FALSE(line->isShortening());
    EXPECT_FALSE(line->isPendingPost());
}

TEST_F(ComposeLineTest, ShorteningOverTheBudget)
{
    const QString a = u"http://example.com/one/two/three/four/five/six/seven/eight"_s;
    const QString text = QString(120, u'x') + u" "_s + a;
    struct Case
    {
        const char *name;
        bool shortenerAvailable;
        QString reportedLong; // what the shortener says it shortened
        QString shortUrl;
        QString posted; // empty: nothing posted, the text stays
    };
    const QList<Case> cases = {
        {"shortened within the budget", true, a, u"http://bit.ly/s"_s,
         QString(120, u'x') + u" http://bit.ly/s"_s},
        {"failure names the link", true, a, QString(), QString()},
        {"failure names nothing", true, QString(), QString(), QString()},
        {"no shortener at all", false, QString(), QString(), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        account->requests.clear();
        line->shortenings.clear();
        line->shortenerAvailable = c.shortenerAvailable;
        type(text);
        EXPECT_EQ(line->counterStyle(), Style::Over);
        EXPECT_TRUE(line->isPostEnabled());
        line->send();
        if (c.shortenerAvailable) {
            ASSERT_EQ(line->shortenings.size(), 1);
            EXPECT_TRUE(account->requests.isEmpty());
            line->shorteningFinishedWithShortener(nullptr, c.reportedLong, c.shortUrl);
        }
        EXPECT_FALSE(line->isShortening());
        if (c.posted.isEmpty()) {
            EXPECT_TRUE(account->requests.isEmpty());
            EXPECT_EQ(line->text(), text);
        } else {
            ASSERT_EQ(account->requests.size(), 1);
            EXPECT_EQ(account->requests[0].form.value(u"status"_s).toString(), c.posted);
            EXPECT_EQ(line->text(), QString());
        }
    }
    type(QString(141, u'x'));
    EXPECT_FALSE(line->isPostEnabled());
    type(QString(130, u'x') + u" http://bit.ly/abc"_s);
    EXPECT_FALSE(line->isPostEnabled());
}

TEST_F(ComposeLineTest, FailedPostComesBackAndCanBeSentAgain)
{
    QSignalSpy failed(line.get(), &RTDirectInputLineViewController::postFailed);
    QSignalSpy posted(line.get(), &RTDirectInputLineViewController::posted);
    line->replyWithMessages({makeMessage(u"99"_s, ann, u"x"_s)});
    type(u"@ann sure"_s);
    line->send();
    ASSERT_EQ(account->requests.size(), 1);
    EXPECT_EQ(line->text(), QString());
    account->requests[0].delegate->serviceRequestFailure(
        {{key(kRTOperationFailureMessageKey), u"Over capacity"_s}});
    EXPECT_EQ(failed.size(), 1);
    EXPECT_EQ(failed[0][0].toString(), u"Over capacity"_s);
    EXPECT_EQ(line->text(), u"@ann sure"_s);
    EXPECT_EQ(line->inReplyToStatusIdString(), u"99"_s);

    line->send();
    ASSERT_EQ(account->requests.size(), 2);
    EXPECT_EQ(account->requests[1].form.value(u"in_reply_to_status_id"_s).toString(), u"99"_s);
    account->requests[1].delegate->serviceRequestSuccess({});
    EXPECT_EQ(posted.size(), 1);
    EXPECT_EQ(line->text(), QString());

    // A failure while the user writes something new does not overwrite it.
    type(u"first"_s);
    line->send();
    type(u"second draft"_s);
    account->requests.last().delegate->serviceRequestFailure({});
    EXPECT_EQ(line->text(), u"second draft"_s);
    EXPECT_EQ(line->failedPostText(), u"first"_s);
    line->clearDirectInputLine();
    line->restoreFailedPost();
    EXPECT_EQ(line->text(), u"first"_s);
}

TEST_F(ComposeLineTest, MentionPopupDecision)
{
    struct Case
    {
        QString text;
        qsizetype caret;
        bool show;
    };
    const QList<Case> cases = {
        {u"@"_s, 1, true},      {u"@an"_s, 3, true},   {u"hi @an"_s, 6, true},
        {u"hi@an"_s, 5, false}, {u"@an x"_s, 3, true}, {u"@anx"_s, 3, false},
        {u"hi an"_s, 5, false}, {u".@an"_s, 4, true},  {u"~@an"_s, 4, true},
        {u"x.@an"_s, 5, false}, {u"@an "_s, 4, false}, {QString(), 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        line->setText(c.text);
        line->setSelectedRange(c.caret);
        EXPECT_EQ(line->isShowingMentionsPopupNeeded(), c.show);
    }
    line->setText(u"@an"_s);
    line->setSelectedRange(3);
    line->setAvoidAutocompletePopup(true);
    EXPECT_FALSE(line->isShowingMentionsPopupNeeded());
}

TEST_F(ComposeLineTest, StateMovesToAnotherLine)
{
    line->replyWithMessages({makeMessage(u"42"_s, bob, u"x"_s)});
    type(u"@bob moved"_s);
    RecordingLine other(account);
    other.setupStateWithStateDictionary(line->stateDictionary());
    EXPECT_EQ(other.text(), u"@bob moved"_s);
    EXPECT_EQ(other.inReplyToStatusIdString(), u"42"_s);
    EXPECT_EQ(other.actionImage(), u"di_at"_s);
    EXPECT_FALSE(other.isDirect());

    line->directForMessages({makeMessage(u"43"_s, ann, u"x"_s)});
    type(u"psst"_s);
    other.setupStateWithStateDictionary(line->stateDictionary());
    EXPECT_TRUE(other.isDirect());
    EXPECT_EQ(other.directMessageRecipient(), u"ann"_s);
    EXPECT_EQ(other.actionImage(), u"di_dm"_s);
}

TEST_F(ComposeLineTest, AddedLinkGoesInFrontOfTheText)
{
    type(u"my words"_s);
    line->addAndShortenURL(u"  http://example.com/x \n"_s);
    EXPECT_EQ(line->text(), u" http://example.com/x my words"_s);
    EXPECT_EQ(line->selectionStart(), 0);
    line->addAndShortenURL(u"   "_s);
    EXPECT_EQ(line->text(), u" http://example.com/x my words"_s);
}

TEST_F(ComposeLineTest, EachAccountHasOneControllerMadeOnFirstUse)
{
    registerSharingClasses();
    auto *first = RTDirectInputLineViewController::directInputlineViewController(account);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(RTDirectInputLineViewController::directInputlineViewController(account), first);
    EXPECT_NE(qobject_cast<RTTwitterDirectInputLineViewController *>(first), nullptr);
    RTDirectInputLineViewController::releaseControllerForService(account.get());
}

} // namespace

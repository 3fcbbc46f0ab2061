#include "ModelFakes.h"

#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "platform/fake/FakeAlerts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {
class MessageTwitterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SettingsStore::resetShared(testTempDir() + QStringLiteral("/twitter.conf"));
        Alerts::setShared(&alerts);
        message = RTMessageTwitter::create(QStringLiteral("42"));
        auto author = RTUserTwitter::create(QStringLiteral("9"));
        author->setScreenName(QStringLiteral("alice"));
        message->setUser(author);
    }
    void TearDown() override { Alerts::setShared(nullptr); }

    FakeAlerts alerts;
    FakeDirectory directory;
    RTMessageTwitterPtr message;
};
} // namespace

TEST_F(MessageTwitterTest, SourceNameIsTheAnchorText)
{
    const QPair<QString, QString> cases[] = {
        {QStringLiteral("web"), QStringLiteral("web")},
        {QStringLiteral("<a href=\"http://x.example\" rel=\"nofollow\">Client</a>"),
         QStringLiteral("Client")},
        {QStringLiteral("<a href=\"x\">Unclosed"), QStringLiteral("Unclosed")},
        {QStringLiteral("<a href=\"x\"></a>"), QString()},
        {QString(), QString()},
    };
    for (const auto &[source, name] : cases) {
        message->setSource(source);
        message->generateSourceName();
        EXPECT_EQ(message->sourceName(), name) << source.toStdString();
    }
}

TEST_F(MessageTwitterTest, PermanentSetsHoldMentionsAndReceivedDirectMessages)
{
    struct Case
    {
        quint32 flags;
        bool expected;
    } cases[] = {
        {RTTemporaryFlag::IsPrivate | RTTemporaryFlag::IsSent, false},
        {RTTemporaryFlag::IsPrivate, true},
        {RTTemporaryFlag::IsMention, true},
        {RTTemporaryFlag::IsMention | RTTemporaryFlag::IsSent, true},
        {RTTemporaryFlag::IsHome | RTTemporaryFlag::IsSent, false},
        {0, false},
    };
    for (const Case &c : cases) {
        message->setTemporaryFlags(c.flags);
        EXPECT_EQ(message->shouldStoreInPermanentReadAndHiddenSet(), c.expected) << c.flags;
    }
    EXPECT_FALSE(RTMessage::create(QStringLiteral("1"))->shouldStoreInPermanentReadAndHiddenSet());
}

TEST_F(MessageTwitterTest, BodyLookupDependsOnListAndTranslation)
{
    const QString hl = QLatin1String(kRTAttributedBodyHighlighted);
    const QString un = QLatin1String(kRTAttributedBodyUnHighlighted);
    const QString tr = QLatin1String(kRTAttributedBodyTranslated);
    const QString untr = QLatin1String(kRTAttributedBodyUnHighlightedTransalated);
    struct Case
    {
        int type;
        quint32 flags;
        QStringList keys;
    } cases[] = {
        {1, 0, {hl}},
        {1, RTTemporaryFlag::IsTranslated, {tr, hl}},
        {1, RTTemporaryFlag::IsAutotranslated, {hl}},
        {3, 0, {un}},
        {3, RTTemporaryFlag::IsTranslated, {untr, un}},
        {35, RTTemporaryFlag::IsAutotranslated, {tr, hl}},
        {36, RTTemporaryFlag::IsAutotranslated, {tr, hl}},
        {36, 0, {hl}},
    };
    for (const Case &c : cases) {
        message->setTemporaryFlags(c.flags);
        EXPECT_EQ(message->preferredAttributedBodyLookupForRequestType(c.type), c.keys)
            << c.type << " " << c.flags;
    }
    message->setTemporaryFlags(RTTemporaryFlag::IsTranslated);
    message->setAttributedBodyDictionary({{hl, RTAttributedString(QStringLiteral("h"))}});
    EXPECT_EQ(message->attributedBodyForRequestType(1).string(), QStringLiteral("h"));
    EXPECT_TRUE(message->attributedBodyForRequestType(3).isEmpty());
}

TEST_F(MessageTwitterTest, TranslateTurnsAnAutomaticTranslationOff)
{
    message->setTranslatedBody(QStringLiteral("known"));
    message->autoTranslate();
    EXPECT_TRUE(message->isAutotranslated());
    message->translate();
    EXPECT_FALSE(message->isAutotranslated());
    EXPECT_FALSE(message->isTranslated());
    message->translate();
    EXPECT_TRUE(message->isTranslated());
}

TEST_F(MessageTwitterTest, RetweetAsksFirstUnlessTold)
{
    FakeAccount account;
    message->setService(&account);

    alerts.confirmReply = false;
    alerts.checkBoxReply = true;
    message->retweet();
    ASSERT_EQ(alerts.confirmations.size(), 1);
    EXPECT_EQ(alerts.confirmations[0].message,
              QStringLiteral("Are you sure that you want to retweet this tweet?"));
    EXPECT_EQ(alerts.confirmations[0].defaultButton, QStringLiteral("Yes"));
    EXPECT_EQ(alerts.confirmations[0].checkBoxTitle, QStringLiteral("Do not ask again"));
    EXPECT_FALSE(alerts.confirmations[0].checkBoxState);
    EXPECT_TRUE(account.calls.isEmpty());
    EXPECT_FALSE(SettingsStore::shared().boolForKey(RTDoNotConfirmRetweetsKey));

    alerts.confirmReply = true;
    alerts.checkBoxReply = false;
    message->retweet();
    EXPECT_EQ(account.calls, QStringList({"retweet 42"}));
    EXPECT_TRUE(SettingsStore::shared().hasUserValue(RTDoNotConfirmRetweetsKey));

    alerts.checkBoxReply = true;
    message->retweet();
    EXPECT_TRUE(SettingsStore::shared().boolForKey(RTDoNotConfirmRetweetsKey));
    message->retweet();
    EXPECT_EQ(alerts.confirmations.size(), 3);
    EXPECT_EQ(account.calls, QStringList({"retweet 42", "retweet 42", "retweet 42"}));
}

TEST_F(MessageTwitterTest, FavoriteAndFollowFindAnAccount)
{
    // No account anywhere: favouriting does nothing, following explains why not.
    message->favorite();
    message->follow();
    message->unfollow();
    ASSERT_EQ(alerts.informations.size(), 2);
    EXPECT_EQ(alerts.informations[0].message,
              QStringLiteral("You have no Twitter accounts configured"));
    EXPECT_TRUE(
        alerts.informations[0].informativeText.endsWith(QStringLiteral(" follow this user.")));
    EXPECT_TRUE(
        alerts.informations[1].informativeText.endsWith(QStringLiteral("unfollow this user.")));

    FakeAccount first, second;
    directory.accounts = {&first};
    message->favorite();
    message->follow();
    EXPECT_EQ(first.calls, QStringList({"favorite 42", "follow alice"}));
    EXPECT_TRUE(alerts.choices.isEmpty());

    directory.accounts = {&first, &second};
    alerts.chosenAccountIndex = 1;
    message->unfollow();
    alerts.chosenAccountIndex = -1;
    message->follow();
    ASSERT_EQ(alerts.choices.size(), 2);
    EXPECT_EQ(alerts.choices[0].userName, QStringLiteral("alice"));
    EXPECT_FALSE(alerts.choices[0].follow);
    EXPECT_EQ(second.calls, QStringList({"unfollow alice"}));

    // With an account of its own the message never asks.
    message->setService(&second);
    message->favorite();
    message->unfavorite();
    message->follow();
    EXPECT_EQ(second.calls,
              QStringList({"unfollow alice", "favorite 42", "unfavorite 42", "follow alice"}));
    EXPECT_EQ(first.calls.size(), 2);
}

TEST_F(MessageTwitterTest, SearchResultsFindTheirCopiesThroughTheSearcher)
{
    FakeAccount searcher;
    auto copy = RTMessage::create(QStringLiteral("42"));
    searcher.copies = {copy};
    directory.searcherStore = &searcher;
    message->setIsRepeated(true);
    message->markSeen(true);
    EXPECT_TRUE(copy->isSeen());
}

#include "MappingTestSupport.h"

#include "foundation/RTGlobalVariables.h"

#include "twitter/RTDatedFiltersInterface.h"
#include "twitter/RTListTwitter.h"
#include "twitter/RTSearchTwitter.h"
#include "twitter/RTTrendObject.h"
#include "twitter/RTTwitterDateParser.h"
#include "twitter/RTTwitterRequestTypes.h"

using namespace RTTemporaryFlag;
using RTMapper = RTTwitterResponseMapper;

namespace {

class MappingTest : public MappingTestBase
{
};

TEST(TwitterTextTest, LineFeedsAndWhiteSpaceRunsBecomeOneSpace)
{
    const struct
    {
        QString in;
        QString out;
    } cases[] = {
        {"word\n\n  other", "word other"},
        {"a\nb", "a b"},
        {"a \t\r\n b", "a b"},
        {"a\tb", "a\tb"}, // a single tab is not a run
        {"  lead and trail  ", " lead and trail "},
        {"\n", " "},
        {"", ""},
        {"a\rb", "a\rb"},
        {"end \n", "end "},
        {"plain text", "plain text"},
        {"caf\u00e9\u3000\u3000x", "caf\u00e9\u3000\u3000x"}, // only ASCII white space
    };
    for (const auto &c : cases)
        EXPECT_EQ(RTMapper::preprocessMessageText(c.in), c.out) << c.in.toStdString();
}

TEST(TwitterDateTest, BothPatternsParseAndAnythingElseGivesNoDate)
{
    using P = RTTwitterDateParser::Pattern;
    const QDateTime noon(QDate(2009, 8, 29), QTime(17, 12, 58), Qt::UTC);
    const struct
    {
        P pattern;
        QString text;
        QDateTime expected;
    } cases[] = {
        {P::Rest, "Sat Aug 29 17:12:58 +0000 2009", noon},
        {P::Rest, "Sat Aug 29 19:12:58 +0200 2009", noon},
        {P::Rest, "sat aug 29 12:12:58 -0500 2009", noon},
        {P::Search, "Sat, 29 Aug 2009 17:12:58 +0000", noon},
        {P::Search, "Sat, 29 Aug 2009 17:12:58 GMT", noon},
        {P::Rest, "Sat, 29 Aug 2009 17:12:58 +0000", {}}, // search form for a REST answer
        {P::Search, "Sat Aug 29 17:12:58 +0000 2009", {}},
        {P::Rest, "Sat Feb 30 17:12:58 +0000 2009", {}},
        {P::Rest, "Sat Aug 29 25:12:58 +0000 2009", {}},
        {P::Rest, "Sat Aug 29 17:12:58 +0000 2009 junk", {}},
        {P::Rest, "Xyz Aug 29 17:12:58 +0000 2009", {}},
        {P::Rest, "Sat Aug 29 17:12:58 +9999 2009", {}},
        {P::Rest, "", {}},
        {P::Rest, " Sat Aug 29 17:12:58 +0000 2009\u00a0", noon},
        {P::Rest, "Sat Aug 29 17:12:58 +0000 2009\u00e9", {}},
        {P::Rest, "Sat Aug 29 17:12:58 +0000 2009" + QString(40, ' '), noon},
    };
    for (const auto &c : cases) {
        // As text, and as the UTF-8 an answer holds.
        const QByteArray utf8 = c.text.toUtf8();
        for (const QDateTime &got : {RTTwitterDateParser(c.pattern).dateFromString(c.text),
                                     RTTwitterDateParser(c.pattern).dateFromUtf8(
                                         {utf8.constData(), size_t(utf8.size())})}) {
            EXPECT_EQ(got.isValid(), c.expected.isValid()) << c.text.toStdString();
            if (c.expected.isValid()) {
                EXPECT_EQ(got.toSecsSinceEpoch(), c.expected.toSecsSinceEpoch())
                    << c.text.toStdString();
            }
        }
    }
}

TEST_F(MappingTest, EachRequestTypeGivesItsFlags)
{
    const quint32 full = IsFullyDownloaded;
    const struct
    {
        int type;
        quint32 temporary;
        bool seen;
    } cases[] = {
        {RTTwitterRequestHomeTimeline, full | IsHome, false},
        {RTTwitterRequestFriendsTimeline, full | IsHome, false},
        {RTTwitterRequestMentions, full | IsMention | IsHome, false}, // mentions shown in Home
        {RTTwitterRequestSentTimeline, full | IsSent, true},
        {RTTwitterRequestUpdateStatus, full | IsSent | IsHome, true},
        {RTTwitterRequestFavorites, full | IsFavorite, false},
        {RTTwitterRequestCreateFavorite, full | IsFavorite, false},
        {RTTwitterRequestListStatuses, full | IsListed, false},
        {RTTwitterRequestRetweetedToMe, full | IsRetweet, false},
        {RTTwitterRequestRetweetedByMe, full | IsRetweet | IsSent, true},
        {RTTwitterRequestUserTimeline, full, false},
        {RTTwitterRequestShowStatus, full, false},
    };
    for (const auto &c : cases) {
        auto account = makeAccount();
        const auto result = feed(*account, c.type, {status("100", "2", "hello")});
        ASSERT_EQ(result.newMessages.size(), 1) << c.type;
        const auto &m = result.newMessages.first();
        EXPECT_EQ(m->temporaryFlags(), c.temporary) << "type " << c.type;
        EXPECT_EQ(m->isSeen(), c.seen) << "type " << c.type;
    }

    auto account = makeAccount();
    account->setShowMentionsInHome(false);
    const auto mention = feed(*account, RTTwitterRequestMentions, {status("7", "2", "x")});
    EXPECT_EQ(mention.newMessages.first()->temporaryFlags(), full | IsMention);
}

TEST_F(MappingTest, DirectMessagesSearchResultsAndDeletionsGetTheirFlags)
{
    auto account = makeAccount();
    const QString dm = R"({"id":50,"text":"psst","created_at":"%1",)"
                       R"("sender":{"id":2,"screen_name":"u2"},)"
                       R"("recipient":{"id":1,"screen_name":"me"}})";
    const auto inbox = feed(*account, RTTwitterRequestDirectInbox, {dm.arg(restDate())});
    ASSERT_EQ(inbox.newMessages.size(), 1);
    const auto &m = inbox.newMessages.first();
    EXPECT_EQ(m->temporaryFlags(), IsFullyDownloaded | IsPrivate);
    EXPECT_EQ(m->userId(), "2");
    ASSERT_TRUE(m->user());
    EXPECT_EQ(m->DMRecipient(), account->userWithId("1"));
    EXPECT_EQ(account->userWithId("1")->priority(), 1); // users of inbox answers come first

    const auto outbox =
        feed(*account, RTTwitterRequestDirectOutbox, {dm.arg(restDate()).replace("50", "51")});
    EXPECT_EQ(outbox.newMessages.first()->temporaryFlags(), IsFullyDownloaded | IsPrivate | IsSent);
    EXPECT_TRUE(outbox.newMessages.first()->isSeen());

    const auto destroyedDm = feed(*account, RTTwitterRequestDestroyDirectMessage,
                                  {dm.arg(restDate()).replace("50", "52")});
    EXPECT_TRUE(destroyedDm.newMessages.first()->isDeleted());
    EXPECT_TRUE(destroyedDm.newMessages.first()->isSent());

    const QString found =
        R"({"id":60,"text":"found","from_user_id":9,"from_user":"nine",)"
        R"("profile_image_url":"http://img/9.png","to_user_id":null,)"
        R"("iso_language_code":"en","created_at":"Fri, 01 Jan 2010 00:00:00 +0000"})";
    const auto search = feed(*account, RTTwitterRequestSearch, {found});
    ASSERT_EQ(search.newMessages.size(), 1);
    const auto &s = search.newMessages.first();
    EXPECT_EQ(s->temporaryFlags(), IsSearch); // not fully downloaded
    EXPECT_EQ(s->ISOLanguageCode(), "en");
    EXPECT_TRUE(s->createdAt().isValid());
    ASSERT_TRUE(s->user());
    const auto author = account->userWithId("9");
    EXPECT_TRUE(author->isPartialUser());
    EXPECT_EQ(author->screenName(), "nine");
    EXPECT_EQ(author->profileImageUrl(), "http://img/9.png");
    EXPECT_EQ(search.allUsers.size(), 1); // a null addressee is no user
}

TEST_F(MappingTest, HomeMarksMentionsOfTheAccountUserOnly)
{
    const struct
    {
        QString text;
        bool mention;
    } cases[] = {
        {"hi @ME there", true}, {"(@me)", true},          {"hi @meister", false},
        {"meet me", false},     {"mail x@me.com", false}, {"@someone else", false},
    };
    auto account = makeAccount();
    int id = 200;
    for (const auto &c : cases) {
        const auto r = feed(*account, RTTwitterRequestHomeTimeline,
                            {status(QString::number(++id), "2", c.text)});
        ASSERT_EQ(r.newMessages.size(), 1);
        EXPECT_EQ(r.newMessages.first()->isMention(), c.mention) << c.text.toStdString();
        EXPECT_TRUE(r.newMessages.first()->isHome());
    }
}

TEST_F(MappingTest, OwnStatusesAreSentAndSeenAndRepliesAreMarked)
{
    auto account = makeAccount();
    const auto r = feed(*account, RTTwitterRequestHomeTimeline,
                        {status("300", "1", "mine"),
                         status("301", "2", "answer",
                                R"("in_reply_to_status_id":300,"in_reply_to_user_id":1,)"
                                R"("in_reply_to_screen_name":"me")"),
                         status("302", "2", "plain", R"("in_reply_to_status_id":null)")});
    ASSERT_EQ(r.newMessages.size(), 3);
    const auto mine = account->twitterMessageWithId("300");
    EXPECT_TRUE(mine->isSent());
    EXPECT_TRUE(mine->isSeen());
    const auto reply = account->twitterMessageWithId("301");
    EXPECT_TRUE(reply->isReply());
    EXPECT_FALSE(reply->isSent());
    EXPECT_EQ(reply->inReplyToMessageId(), "300");
    EXPECT_EQ(reply->inReplyToUserId(), "1");
    EXPECT_EQ(reply->inReplyToUserName(), "me");
    const auto plain = account->twitterMessageWithId("302");
    EXPECT_FALSE(plain->isReply());
    EXPECT_TRUE(plain->inReplyToMessageId().isNull());
}

TEST_F(MappingTest, OldMessagesArriveSeenSoonerForANewAccount)
{
    const qint64 day = 24 * 3600;
    const struct
    {
        bool newAccount;
        qint64 age;
        bool seen;
    } cases[] = {
        {true, 1 * day, false},  {true, 2 * day - 1, false},  {true, 2 * day, true},
        {true, 3 * day, true},   {true, -3 * day, true}, // dated in the future
        {false, 3 * day, false}, {false, 7 * day - 1, false}, {false, 7 * day, true},
    };
    for (const auto &c : cases) {
        auto account = makeAccount(QStringLiteral("me"), c.newAccount);
        const auto r = feed(*account, RTTwitterRequestHomeTimeline,
                            {status("400", "2", "x", QString(), c.age)});
        ASSERT_EQ(r.newMessages.size(), 1);
        EXPECT_EQ(r.newMessages.first()->isSeen(), c.seen)
            << "new " << c.newAccount << " age " << c.age;
    }
}

TEST_F(MappingTest, RetweetShowsTheOriginalAuthorTextAndSource)
{
    auto account = makeAccount();
    const QString retweet = status(
        "500", "3", "RT @u4: original",
        QStringLiteral(R"("retweeted_status":{"id":499,"text":"original\n\ntext","source":"app",)"
                       R"("created_at":"%1","user":{"id":4,"screen_name":"u4"}})")
            .arg(restDate()));
    const auto r = feed(*account, RTTwitterRequestHomeTimeline, {retweet});
    ASSERT_EQ(r.newMessages.size(), 1);
    const auto &m = r.newMessages.first();
    EXPECT_TRUE(m->isRetweet());
    EXPECT_TRUE(m->isHome());
    EXPECT_EQ(m->userId(), "4");
    EXPECT_EQ(m->user(), account->userWithId("4"));
    EXPECT_EQ(m->retweeter(), account->userWithId("3"));
    EXPECT_EQ(m->retweetedStatusId(), "499");
    EXPECT_EQ(m->body(), "original text");
    EXPECT_EQ(m->source(), "app");
    EXPECT_EQ(r.allUsers.size(), 2);
}

TEST_F(MappingTest, UserRecordsFillEveryFieldAndTheBestRecordOfAnAnswerWins)
{
    auto account = makeAccount();
    const QString full =
        R"({"id":8,"screen_name":"eight","name":"Eight E","created_at":"Sat Aug 29 17:12:58 +0000 2009",)"
        R"("following":true,"favourites_count":3,"description":"d","verified":true,"utc_offset":-18000,)"
        R"("notifications":"true","profile_text_color":"333333","profile_image_url":"http://img/8b.png",)"
        R"("profile_background_image_url":"http://bg/8","time_zone":"Quito","url":"http://e.ight",)"
        R"("profile_background_tile":true,"followers_count":10,"protected":false,)"
        R"("profile_background_color":"fff","friends_count":11,"statuses_count":12,)"
        R"("location":"here","profile_sidebar_border_color":"eee"})";
    const QString older = R"({"id":8,"screen_name":"old","following":"true"})";
    // The older status comes later in the page; the newer record must win.
    feed(*account, RTTwitterRequestHomeTimeline,
         {QStringLiteral(R"({"id":600,"text":"a","created_at":"%1","user":%2})")
              .arg(restDate(10), full),
          QStringLiteral(R"({"id":601,"text":"b","created_at":"%1","user":%2})")
              .arg(restDate(500), older)});
    const auto u = account->userWithId("8");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->screenName(), "eight");
    EXPECT_EQ(u->longName(), "Eight E");
    EXPECT_TRUE(u->createdAt().isValid());
    EXPECT_TRUE(u->following());
    EXPECT_EQ(u->favoriteCount(), 3);
    EXPECT_EQ(u->descriptionText(), "d");
    EXPECT_TRUE(u->verifiedProfile());
    EXPECT_EQ(u->utcOffset(), "-18000");
    EXPECT_TRUE(u->notifications());
    EXPECT_EQ(u->profileTextColor(), "333333");
    EXPECT_EQ(u->profileImageUrl(), "http://img/8b.png");
    EXPECT_EQ(u->profileBackgroundImageUrl(), "http://bg/8");
    EXPECT_EQ(u->userTimezone(), "Quito");
    EXPECT_EQ(u->url(), "http://e.ight");
    EXPECT_TRUE(u->profileBackgroundTile());
    EXPECT_EQ(u->followersCount(), 10);
    EXPECT_FALSE(u->protectedProfile());
    EXPECT_EQ(u->profileBackgroundColor(), "fff");
    EXPECT_EQ(u->followingCount(), 11);
    EXPECT_EQ(u->messagesCount(), 12);
    EXPECT_EQ(u->location(), "here");
    EXPECT_EQ(u->profileSidebarBorderColor(), "eee");
    EXPECT_EQ(u->service(), account.get());
    EXPECT_FALSE(u->isPartialUser());

    // Same date: a record with a picture replaces one without.
    auto other = makeAccount(QStringLiteral("other"));
    const QString date = restDate(100);
    feed(*other, RTTwitterRequestHomeTimeline,
         {QStringLiteral(
              R"({"id":700,"text":"a","created_at":"%1","user":{"id":9,"screen_name":"bare"}})")
              .arg(date),
          QStringLiteral(
              R"({"id":701,"text":"b","created_at":"%1","user":{"id":9,"screen_name":"pic",)"
              R"("profile_image_url":"http://img/9.png"}})")
              .arg(date)});
    EXPECT_EQ(other->userWithId("9")->screenName(), "pic");
    // "following" as text is not taken.
    auto third = makeAccount(QStringLiteral("third"));
    feed(*third, RTTwitterRequestHomeTimeline,
         {QStringLiteral(R"({"id":800,"text":"a","created_at":"%1","user":%2})")
              .arg(restDate(), older)});
    EXPECT_FALSE(third->userWithId("8")->following());
}

TEST_F(MappingTest, MalformedElementsAreSkippedAndAnEmptyPageChangesNothing)
{
    auto account = makeAccount();
    const auto empty = feed(*account, RTTwitterRequestHomeTimeline, {});
    EXPECT_TRUE(empty.since.isNull());
    EXPECT_TRUE(account->messagesDictionary().isEmpty());
    EXPECT_TRUE(account->usersDictionary().isEmpty());

    // A status without a numeric id or an author record is no message.
    const auto r = feed(
        *account, RTTwitterRequestHomeTimeline,
        {status("903", "2", "first"), "42", "\"text\"", "null",
         R"({"id":null,"text":"no id","user":{"id":5}})", R"({"id":"","text":"empty id"})",
         R"({"id":904,"text":null,"created_at":"garbage","user":"nobody"})",
         R"({"id":"x","text":"x","user":{"id":5}})", R"({"id":1e400,"text":"big","user":{"id":5}})",
         R"({"id":-7,"text":"negative","user":{"id":5}})",
         R"({"id":18446744073709551616,"text":"past 64 bits","user":{"id":5}})",
         R"({"id":905,"text":"no author id","user":{"screen_name":"x"}})",
         R"({"id":906,"text":"bad retweet","user":{"id":5},"retweeted_status":{"id":"y"}})",
         R"({"id":907,"text":"odd date","created_at":"garbage","user":{"id":5}})",
         status("902", "2", "last")});
    EXPECT_EQ(r.since, "903");
    EXPECT_EQ(r.newMessages.size(), 3);
    for (const char *skipped : {"904", "905", "906", "x", "1e400", "-7", "18446744073709551616"})
        EXPECT_FALSE(account->twitterMessageWithId(QString::fromLatin1(skipped))) << skipped;
    const auto odd = account->twitterMessageWithId("907");
    ASSERT_TRUE(odd);
    EXPECT_FALSE(odd->createdAt().isValid());
    EXPECT_TRUE(odd->user());
    EXPECT_EQ(account->messagesDictionary().size(), 3);

    // Direct messages need their sender, search results their author's id.
    const auto messages = feed(*account, RTTwitterRequestDirectInbox,
                               {R"({"id":910,"text":"dm","sender":{"id":5},"recipient":{"id":1}})",
                                R"({"id":911,"text":"dm","sender":"me","recipient":{"id":1}})"});
    EXPECT_EQ(messages.newMessages.size(), 1);
    EXPECT_TRUE(account->twitterMessageWithId("910"));

    // Not an array at all.
    const auto notArray =
        RTMapper::parseMessages(parse(R"({"error":"x"})"), RTTwitterRequestHomeTimeline, *account);
    EXPECT_TRUE(notArray.allMessages.isEmpty());
}

class RecordingFilters : public RTDatedFiltersInterface
{
public:
    void applyDatedFiltersToMessages(const QList<RTMessagePtr> &messages) override
    {
        for (const RTMessagePtr &m : messages)
            ids << m->messageId();
    }
    QStringList ids;
};

TEST_F(MappingTest, DatedFiltersSeeEveryMessageOfTheAnswerAndResultKeysHoldTheLists)
{
    RecordingFilters filters;
    RTDatedFiltersInterface::setShared(&filters);
    auto account = makeAccount();
    feed(*account, RTTwitterRequestHomeTimeline, {status("1000", "2", "a")});
    const auto r = feed(*account, RTTwitterRequestMentions,
                        {status("1000", "2", "a"), status("1001", "2", "b")});
    RTDatedFiltersInterface::setShared(nullptr);
    EXPECT_EQ(filters.ids, QStringList({"1000", "1000", "1001"}));

    const QVariantMap messages = r.messagesDictionary();
    EXPECT_EQ(messages.value(kRTNewMessagesKey).value<RTTwitterDataSource::MessageList>().size(),
              1);
    EXPECT_EQ(
        messages.value(kRTAllRequestMessagesKey).value<RTTwitterDataSource::MessageList>().size(),
        2);
    EXPECT_EQ(r.usersDictionary()
                  .value(kRTAllRequestUsersKey)
                  .value<RTTwitterDataSource::UserList>()
                  .size(),
              1);
}

TEST_F(MappingTest, SearchesListsAndTrendsParseTheirRecords)
{
    EXPECT_FALSE(RTSearchTwitter::searchWithTerm(" \n\t "));
    const auto temporary = RTSearchTwitter::searchWithTerm("  talvo news\n");
    ASSERT_TRUE(temporary);
    EXPECT_EQ(temporary->searchName(), "talvo news");
    EXPECT_EQ(temporary->searchQuery(), "talvo news");
    EXPECT_TRUE(temporary->searchId().isEmpty());

    auto account = makeAccount();
    const auto saved = RTSearchTwitter::parseSavedSearchesList(
        parse(R"([{"id":11,"name":"Talvo","query":"talvo","position":null,)"
              R"("created_at":"Sat Aug 29 17:12:58 +0000 2009"},"junk",)"
              R"({"id":"12","name":"b","query":"q b","position":"2"}])"),
        account.get());
    ASSERT_EQ(saved.size(), 2);
    EXPECT_EQ(saved[0]->searchId(), "11");
    EXPECT_EQ(saved[0]->identificationString(), "talvo");
    EXPECT_TRUE(saved[0]->createdAt().isValid());
    EXPECT_EQ(saved[0]->service(), account.get());
    EXPECT_EQ(saved[1]->searchPosition(), 2);

    RTSearchTwitter sent;
    sent.setSinceId("777");
    const JsonValue one = parse(R"({"id":13,"name":"n","query":"q"})");
    EXPECT_EQ(
        RTSearchTwitter::parseSearch(one, RTTwitterRequestCreateSavedSearch, account.get(), &sent)
            ->sinceId(),
        "777");
    EXPECT_TRUE(
        RTSearchTwitter::parseSearch(one, RTTwitterRequestShowSavedSearch, account.get(), &sent)
            ->sinceId()
            .isEmpty());

    const auto lists = RTListTwitter::parseUserLists(
        parse(R"({"lists":[{"id":21,"full_name":"@u5/Friends","slug":"friends",)"
              R"("uri":"/u5/friends","mode":"public","member_count":4,"subscriber_count":"2",)"
              R"("user":{"id":5,"screen_name":"u5"}},)"
              R"({"id":22,"full_name":"@u5/secret","mode":"private","user":{"id":5}},)"
              R"({"full_name":"no id"}]})"),
        RTTwitterRequestUserLists, *account);
    ASSERT_EQ(lists.size(), 2);
    EXPECT_EQ(lists[0]->listId(), "21");
    EXPECT_EQ(lists[0]->slugName(), "friends");
    EXPECT_EQ(lists[0]->urlPath(), "/u5/friends");
    EXPECT_FALSE(lists[0]->isPrivate());
    EXPECT_TRUE(lists[1]->isPrivate());
    EXPECT_EQ(lists[0]->memberCount(), 4);
    EXPECT_EQ(lists[0]->subscriberCount(), 2);
    EXPECT_TRUE(lists[0]->isMine());
    ASSERT_TRUE(lists[0]->user());
    EXPECT_EQ(lists[0]->user()->screenName(), "u5");
    EXPECT_EQ(lists[0]->user(), account->userWithId("5"));
    EXPECT_EQ(lists[0]->identificationString(), "@u5/friends");
    const auto subscribed =
        RTListTwitter::parseUserLists(parse(R"([{"id":23,"full_name":"x","user":{"id":5}}])"),
                                      RTTwitterRequestListSubscriptions, *account);
    ASSERT_EQ(subscribed.size(), 1);
    EXPECT_FALSE(subscribed[0]->isMine());

    const auto trends = RTTrendObject::parseTrends(
        parse(R"({"trends":[{"name":"#talvo","url":"u"},{"name":""},{"url":"x"}]})"));
    ASSERT_EQ(trends.size(), 1);
    EXPECT_EQ(trends[0]->trendId(), "#talvo");
    EXPECT_EQ(trends[0]->term(), "#talvo");
    EXPECT_TRUE(trends[0]->isCurrent());
    const auto current = RTTrendObject::parseTrends(
        parse(R"({"trends":{"2010-01-01 00:00":[{"name":"a"},{"name":"b"}]}})"));
    EXPECT_EQ(current.size(), 2);
}

} // namespace

TEST_F(MappingTest, NullRetweetIsOrdinaryAndOutOfRangeCountsAreClamped)
{
    auto account = makeAccount();
    const auto r =
        feed(*account, RTTwitterRequestHomeTimeline,
             {status("950", "2", "plain", R"("retweeted_status":null)"),
              QStringLiteral(R"({"id":951,"text":"big","created_at":"%1","user":{"id":7,)"
                             R"("screen_name":"u7","followers_count":1e300,"friends_count":-1e300,)"
                             R"("statuses_count":4294967296,"favourites_count":2.5}})")
                  .arg(restDate())});
    ASSERT_EQ(r.newMessages.size(), 2);
    const auto plain = account->twitterMessageWithId("950");
    EXPECT_FALSE(plain->isRetweet());
    EXPECT_EQ(plain->body(), "plain");
    EXPECT_EQ(plain->userId(), "2");
    EXPECT_EQ(plain->user(), account->userWithId("2"));
    const auto big = account->userWithId("7");
    ASSERT_TRUE(big);
    const struct
    {
        qint64 value;
        qint64 expected;
    } counts[] = {
        {big->followersCount(), std::numeric_limits<qint32>::max()},
        {big->followingCount(), std::numeric_limits<qint32>::min()},
        {big->messagesCount(), std::numeric_limits<qint32>::max()},
        {big->favoriteCount(), 2},
    };
    for (const auto &c : counts)
        EXPECT_EQ(c.value, c.expected);
}

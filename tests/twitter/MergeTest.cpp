#include "MappingTestSupport.h"
#include "support/TestSupport.h"

#include "accounts/AccountsRegistration.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RTGlobalVariables.h"
#include "model/ModelRegistration.h"
#include "twitter/RTTwitterRequestTypes.h"
#include "twitter/TwitterRegistration.h"

#include <QThread>
#include <atomic>
#include <vector>

using namespace RTTemporaryFlag;

namespace {

class MergeTest : public MappingTestBase
{
};

TEST_F(MergeTest, TheSameStatusInHomeAndMentionsIsOneObjectWithBothFlags)
{
    auto account = makeAccount();
    const auto home = feed(*account, RTTwitterRequestHomeTimeline, {status("10", "2", "hi")});
    const auto mentions = feed(*account, RTTwitterRequestMentions, {status("10", "2", "hi")});
    EXPECT_EQ(home.newMessages.size(), 1);
    EXPECT_TRUE(mentions.newMessages.isEmpty());
    ASSERT_EQ(mentions.allMessages.size(), 1);
    EXPECT_EQ(mentions.allMessages.first(), home.newMessages.first());
    EXPECT_TRUE(mentions.allMessages.first()->isHome());
    EXPECT_TRUE(mentions.allMessages.first()->isMention());
    EXPECT_EQ(account->messagesDictionary().size(), 1);
}

TEST_F(MergeTest, AKnownIdKeepsItsBodyAndAuthorAndOnlyGainsFlags)
{
    auto account = makeAccount();
    feed(*account, RTTwitterRequestHomeTimeline, {status("20", "2", "first body")});
    const auto again =
        feed(*account, RTTwitterRequestFavorites, {status("20", "3", "edited body")});
    const auto m = account->twitterMessageWithId("20");
    EXPECT_EQ(m->body(), "first body");
    EXPECT_EQ(m->userId(), "2");
    EXPECT_EQ(m->user(), account->userWithId("2"));
    EXPECT_TRUE(m->isHome());
    EXPECT_TRUE(m->isFavorite());
    EXPECT_EQ(again.allMessages.first(), m);
}

TEST_F(MergeTest, UnfavoriteAndDeleteClearTheirBitsAndDeleteMarksTheStatus)
{
    auto account = makeAccount();
    feed(*account, RTTwitterRequestFavorites, {status("30", "2", "fav")});
    feed(*account, RTTwitterRequestSentTimeline, {status("31", "1", "mine")});
    ASSERT_TRUE(account->twitterMessageWithId("30")->isFavorite());

    feed(*account, RTTwitterRequestDestroyFavorite, {status("30", "2", "fav")});
    EXPECT_FALSE(account->twitterMessageWithId("30")->isFavorite());

    // The answer names the account user, yet the deleted status stops being sent.
    feed(*account, RTTwitterRequestDestroyStatus, {status("31", "1", "mine")});
    const auto deleted = account->twitterMessageWithId("31");
    EXPECT_FALSE(deleted->isSent());
    EXPECT_TRUE(deleted->isDeleted());
    EXPECT_TRUE(deleted->isSeen());
    EXPECT_EQ(account->messagesDictionary().size(), 2); // nothing is ever removed
}

TEST_F(MergeTest, StoredFlagsComeBackAfterTheAccountRestarts)
{
    registerAccountArchiveClasses();
    registerModelArchiveClasses();
    registerTwitterArchiveClasses();
    auto account = makeAccount();
    feed(*account, RTTwitterRequestHomeTimeline,
         {status("40", "2", "read"), status("41", "2", "hidden"), status("42", "2", "fresh")});
    account->twitterMessageWithId("40")->setIsSeen(true);
    account->twitterMessageWithId("41")->setIsHidden(true);

    const QByteArray bytes =
        KeyedArchiver::archivedData(KeyedArchiver::archiveObject(account.get()));
    QString error;
    auto errorText = std::make_shared<QString>();
    auto object =
        KeyedUnarchiver::unarchiveObject(KeyedUnarchiver::parseData(bytes, &error), errorText);
    auto *restarted = dynamic_cast<RTServiceTwitter *>(object.get());
    ASSERT_TRUE(restarted) << errorText->toStdString();
    accounts.append(restarted);
    EXPECT_TRUE(restarted->messagesDictionary().isEmpty());

    feed(*restarted, RTTwitterRequestHomeTimeline,
         {status("40", "2", "read"), status("41", "2", "hidden"), status("42", "2", "fresh")});
    EXPECT_TRUE(restarted->twitterMessageWithId("40")->isSeen());
    EXPECT_TRUE(restarted->twitterMessageWithId("41")->isHidden());
    EXPECT_FALSE(restarted->twitterMessageWithId("41")->isSeen());
    EXPECT_FALSE(restarted->twitterMessageWithId("42")->isSeen());
    EXPECT_TRUE(restarted->twitterMessageWithId("40")->isHome());
}

TEST_F(MergeTest, CopiesInOtherAccountsAndRetweetsAreMarkedRepeated)
{
    auto first = makeAccount(QStringLiteral("first"));
    auto second = makeAccount(QStringLiteral("second"));
    feed(*first, RTTwitterRequestHomeTimeline,
         {status("50", "2", "shared"), status("51", "2", "x")});
    EXPECT_FALSE(first->twitterMessageWithId("50")->isRepeated());
    feed(*second, RTTwitterRequestHomeTimeline, {status("50", "2", "shared")});
    EXPECT_TRUE(first->twitterMessageWithId("50")->isRepeated());
    EXPECT_TRUE(second->twitterMessageWithId("50")->isRepeated());
    EXPECT_FALSE(first->twitterMessageWithId("51")->isRepeated());

    // A retweet of a status the other account holds, and a later copy of the original.
    const QString retweet =
        status("60", "3", "RT",
               QStringLiteral(R"("retweeted_status":{"id":51,"text":"x","user":{"id":2}})"));
    feed(*second, RTTwitterRequestHomeTimeline, {retweet});
    EXPECT_TRUE(second->twitterMessageWithId("60")->isRepeated());
    EXPECT_TRUE(first->twitterMessageWithId("51")->isRepeated());

    const QString retweeted =
        status("70", "3", "RT",
               QStringLiteral(R"("retweeted_status":{"id":71,"text":"y","user":{"id":2}})"));
    feed(*first, RTTwitterRequestHomeTimeline, {retweeted});
    EXPECT_FALSE(first->twitterMessageWithId("70")->isRepeated());
    feed(*second, RTTwitterRequestHomeTimeline, {status("71", "2", "y")});
    EXPECT_TRUE(second->twitterMessageWithId("71")->isRepeated());
    EXPECT_TRUE(first->twitterMessageWithId("70")->isRepeated());

    const auto like = second->messagesLike(*second->twitterMessageWithId("50"));
    ASSERT_EQ(like.size(), 1);
    EXPECT_EQ(like.first(), first->twitterMessageWithId("50"));

    // Marking one copy read marks the other.
    second->twitterMessageWithId("50")->markSeen(true);
    EXPECT_TRUE(first->twitterMessageWithId("50")->isSeen());
}

TEST_F(MergeTest, KnownUsersChangeOnlyForNewerRecordsAndSearchesOnlyFillThePicture)
{
    auto account = makeAccount();
    auto page = [&](const QString &id, const QString &name, qint64 ago) {
        return QStringLiteral(R"({"id":%1,"text":"t","created_at":"%2",)"
                              R"("user":{"id":7,"screen_name":"%3"}})")
            .arg(id, restDate(ago), name);
    };
    feed(*account, RTTwitterRequestHomeTimeline, {page("80", "first", 100)});
    const auto user = account->userWithId("7");
    // New users carry no update date, so the next record always updates them.
    EXPECT_FALSE(user->updatedAt().isValid());
    feed(*account, RTTwitterRequestHomeTimeline, {page("81", "second", 200)});
    EXPECT_EQ(user->screenName(), "second");
    feed(*account, RTTwitterRequestHomeTimeline, {page("82", "older", 300)});
    EXPECT_EQ(user->screenName(), "second");
    feed(*account, RTTwitterRequestHomeTimeline, {page("83", "newer", 10)});
    EXPECT_EQ(user->screenName(), "newer");
    EXPECT_EQ(account->userWithId("7"), user); // one object throughout

    // From a worker the change waits for the main thread, where views read users.
    std::unique_ptr<QThread> worker(QThread::create(
        [&] { feed(*account, RTTwitterRequestHomeTimeline, {page("84", "fromworker", 5)}); }));
    worker->start();
    ASSERT_TRUE(worker->wait(5000));
    EXPECT_EQ(user->screenName(), "newer");
    EXPECT_TRUE(waitUntil([&] { return user->screenName() == "fromworker"; }));

    const QString found = R"({"id":90,"text":"s","from_user_id":7,"from_user":"searchname",)"
                          R"("profile_image_url":"http://img/7.png"})";
    feed(*account, RTTwitterRequestSearch, {found});
    EXPECT_EQ(user->screenName(), "fromworker");
    EXPECT_EQ(user->profileImageUrl(), "http://img/7.png");
    EXPECT_FALSE(user->isPartialUser());
}

TEST_F(MergeTest, ReadersKeepTheDictionaryTheyTookWhileMergesReplaceIt)
{
    auto account = makeAccount();
    feed(*account, RTTwitterRequestHomeTimeline, {status("95", "2", "a")});
    const auto before = account->messagesDictionary();
    feed(*account, RTTwitterRequestHomeTimeline, {status("96", "2", "b")});
    EXPECT_EQ(before.size(), 1);
    EXPECT_EQ(account->messagesDictionary().size(), 2);
}

TEST_F(MergeTest, ConcurrentMergesKeepEveryMessageExactlyOnce)
{
    auto account = makeAccount();
    constexpr int kThreads = 4;
    constexpr int kPages = 10;
    constexpr int kPerPage = 40;
    // Pages overlap by half, across threads and request types.
    std::vector<QStringList> pages(kThreads * kPages);
    for (int p = 0; p < int(pages.size()); ++p) {
        for (int i = 0; i < kPerPage; ++i)
            pages[p] << status(QString::number(1000 + p * kPerPage / 2 + i), "2", "m");
    }
    std::atomic<int> newCount{0};
    QHash<QString, RTMessageTwitterPtr> seen[kThreads];
    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back(QThread::create([&, t] {
            for (int p = t; p < int(pages.size()); p += kThreads) {
                const int type = (p % 2) ? RTTwitterRequestMentions : RTTwitterRequestHomeTimeline;
                const auto r = feed(*account, type, pages[p]);
                newCount += int(r.newMessages.size());
                for (const auto &m : r.allMessages)
                    seen[t].insert(m->messageId(), m);
            }
        }));
        threads.back()->start();
    }
    for (auto &thread : threads)
        ASSERT_TRUE(thread->wait(20000));

    const int distinct = (int(pages.size()) + 1) * kPerPage / 2;
    const auto stored = account->messagesDictionary();
    EXPECT_EQ(stored.size(), distinct);
    EXPECT_EQ(newCount.load(), distinct);
    for (const auto &perThread : seen) {
        for (auto it = perThread.cbegin(); it != perThread.cend(); ++it)
            EXPECT_EQ(stored.value(it.key()), it.value()) << it.key().toStdString();
    }
}

TEST_F(MergeTest, MessageObjectsFromElsewhereMergeFlagsOrMoveIn)
{
    auto account = makeAccount();
    feed(*account, RTTwitterRequestHomeTimeline, {status("110", "2", "a")});
    auto known = RTMessageTwitter::create("110");
    known->setTemporaryFlag(IsFavorite);
    auto stranger = RTMessageTwitter::create("111");
    stranger->setTemporaryFlag(IsSearch);
    const auto stored =
        account->mergeExistingMessageWithMessageObjects({known, stranger}, RTTwitterRequestSearch);
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(stored[0], account->twitterMessageWithId("110"));
    EXPECT_NE(stored[0], known);
    EXPECT_TRUE(stored[0]->isFavorite());
    EXPECT_TRUE(stored[0]->isHome());
    EXPECT_EQ(stored[1], stranger);
    EXPECT_EQ(stranger->service(), account.get());
    EXPECT_EQ(account->messagesDictionary().size(), 2);
}

TEST_F(MergeTest, TheOldestHomeAndSentIdsBecomeReferenceIdsAndOnlyMoveBack)
{
    auto account = makeAccount();
    QStringList posted;
    const int observer = NotificationCenter::defaultCenter().addObserver(
        RTHomeReferenceMessageIdNotification, [&](const void *object, const QVariantMap &) {
            if (object == account.get())
                posted << account->homeReferenceMessageId();
        });
    const struct
    {
        int type;
        QStringList ids;
        QString home;
        QString sent;
    } steps[] = {
        // Compared as numbers: 9 is less than 10.
        {RTTwitterRequestHomeTimeline, {"10", "9", "11"}, "9", ""},
        // Newer polls leave the reference where it is.
        {RTTwitterRequestHomeTimeline, {"20", "12"}, "9", ""},
        // An older page moves it back.
        {RTTwitterRequestFriendsTimeline, {"8"}, "8", ""},
        {RTTwitterRequestMentions, {"3"}, "8", ""},
        {RTTwitterRequestSentTimeline, {"12345678901234567890", "99"}, "8", "99"},
        {RTTwitterRequestSentTimeline, {"18446744073709551615"}, "8", "99"},
        {RTTwitterRequestHomeTimeline, {}, "8", "99"},
    };
    for (const auto &step : steps) {
        QStringList statuses;
        for (const QString &id : step.ids)
            statuses << status(id, "2", "x");
        const auto r = feed(*account, step.type, statuses);
        account->updateReferenceMessageIds(step.type, r.allMessages);
        EXPECT_EQ(account->homeReferenceMessageId(), step.home) << step.type;
        EXPECT_EQ(account->sentReferenceMessageId(), step.sent) << step.type;
    }
    EXPECT_TRUE(posted.isEmpty()); // only once the loop is idle
    EXPECT_TRUE(waitUntil([&] { return posted.size() == 2; }));
    EXPECT_EQ(posted, QStringList({"8", "8"}));
    NotificationCenter::defaultCenter().removeObserver(observer);
}

} // namespace

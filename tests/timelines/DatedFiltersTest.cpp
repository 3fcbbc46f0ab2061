#include "../twitter/MappingTestSupport.h"
#include "support/TestSupport.h"

#include "accounts/RTServiceRegistry.h"
#include "accounts/RTServiceTalvo.h"
#include "model/RTMessageHooks.h"
#include "timelines/RTDatedFilters.h"
#include "timelines/RTTreeNodeKinds.h"
#include "timelines/RTTreeNodeManager.h"
#include "twitter/RTTwitterRequestTypes.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <vector>

namespace {

// A service record of a dated filter created `createdAgo` seconds before the fake clock.
QVariantMap record(qint64 id, const QString &factor, const QString &predicate, qint64 createdAt,
                   qint64 duration)
{
    return {{QStringLiteral("id"), id},
            {QStringLiteral("factor"), factor},
            {QStringLiteral("predicate"), predicate},
            {QStringLiteral("network"), QStringLiteral("twitter")},
            {QStringLiteral("duration"), duration},
            {QStringLiteral("created_at"), createdAt},
            {QStringLiteral("updated_at"), createdAt},
            {QStringLiteral("started_at"), createdAt},
            {QStringLiteral("extended_at"), createdAt}};
}

TEST(FilterRecords, DamagedRecordsAreRefusedAndGoodOnesReadExactly)
{
    const QVariantMap good = record(7, QStringLiteral("42"), QStringLiteral("USER"), 1000, 3600);
    struct Row
    {
        const char *what;
        const char *key;
        QVariant value; // invalid: remove the key
        bool accepted;
    };
    const std::vector<Row> rows = {
        {"as sent", "", QVariant(), true},
        {"id as digits", "id", QStringLiteral("7"), true},
        {"id as text", "id", QStringLiteral("seven"), false},
        {"negative id", "id", -7, false},
        {"id missing", "id", QVariant(), false},
        {"factor as number", "factor", 42, true},
        {"factor a list", "factor", QVariantList{1, 2}, false},
        {"empty factor", "factor", QString(), false},
        {"factor too long", "factor", QString(500, u'x'), false},
        {"duration negative", "duration", -1, false},
        {"duration beyond 32 bits", "duration", qint64(1) << 33, false},
        {"duration fractional", "duration", 1.5, false},
        {"duration missing", "duration", QVariant(), false},
        {"created_at text", "created_at", QStringLiteral("yesterday"), false},
        {"created_at missing", "created_at", QVariant(), false},
        {"updated_at missing", "updated_at", QVariant(), true},
        {"predicate a number", "predicate", 3, false},
        {"network a map", "network", QVariantMap{{QStringLiteral("a"), 1}}, false},
    };
    for (const Row &row : rows) {
        QVariantMap r = good;
        if (qstrlen(row.key) > 0) {
            if (row.value.isValid())
                r.insert(QString::fromLatin1(row.key), row.value);
            else
                r.remove(QString::fromLatin1(row.key));
        }
        QString error;
        const auto mute = RTMuteObject::muteObjectWithDictionary(r, &error);
        EXPECT_EQ(mute != nullptr, row.accepted) << row.what << ": " << error.toStdString();
        EXPECT_EQ(error.isEmpty(), row.accepted) << row.what;
    }
    const auto mute = RTMuteObject::muteObjectWithDictionary(good);
    ASSERT_TRUE(mute);
    EXPECT_EQ(mute->filterId(), QStringLiteral("7"));
    EXPECT_EQ(mute->factor(), QStringLiteral("42"));
    EXPECT_EQ(mute->duration(), 3600u);
    EXPECT_EQ(mute->createdAt().toSecsSinceEpoch(), 1000);
    EXPECT_EQ(mute->expiresAt().toSecsSinceEpoch(), 4600);
    EXPECT_EQ(mute->recordWithDuration(0).value("duration").toInt(), 0);
}

TEST(FilterRecords, TimeRulesOfADatedFilter)
{
    const qint64 t0 = 1262304000;
    const QDateTime now = QDateTime::fromSecsSinceEpoch(t0, Qt::UTC);
    struct Row
    {
        const char *what;
        qint64 createdOffset;
        qint64 duration;
        bool expired;
        bool lastsForever;
    };
    const std::vector<Row> rows = {
        {"running", -10, 3600, false, false},   {"ends exactly now", -3600, 3600, true, false},
        {"ended", -7200, 3600, true, false},    {"begins later", 60, 3600, true, false},
        {"forever", 0, 777600000, false, true}, {"365 days", 0, 31536000, false, false},
        {"zero length", 0, 0, true, false},
    };
    for (const Row &row : rows) {
        const auto mute = RTMuteObject::muteObjectWithDictionary(record(
            1, QStringLiteral("42"), QStringLiteral("USER"), t0 + row.createdOffset, row.duration));
        ASSERT_TRUE(mute) << row.what;
        EXPECT_EQ(mute->isExpired(now), row.expired) << row.what;
        EXPECT_EQ(mute->isForever(now), row.lastsForever) << row.what;
    }
}

TEST(FilterRecords, WhichMessagesAFilterMatches)
{
    const qint64 t0 = 1262304000;
    struct Row
    {
        const char *what;
        const char *predicate;
        const char *factor;
        const char *userId;
        const char *text;
        qint64 writtenOffset; // from the filter's creation
        bool complies;
    };
    const std::vector<Row> rows = {
        {"author", "USER", "42", "42", "hello", 10, true},
        {"other author", "USER", "42", "43", "hello", 10, false},
        {"written before the mute", "USER", "42", "42", "hello", -10, false},
        {"written after it ended", "USER", "42", "42", "hello", 4000, false},
        {"hashtag in lower case", "HASHTAG", "#Talvo", "9", "news #talvo today", 10, true},
        {"hashtag in capitals", "HASHTAG", "#talvo", "9", "NEWS #TALVO", 10, true},
        {"longer tag is another tag", "HASHTAG", "#talvo", "9", "#talvoapp", 10, false},
        {"tag without #", "HASHTAG", "#talvo", "9", "talvo", 10, false},
        {"unknown kind", "KEYWORD", "hello", "9", "hello", 10, false},
    };
    for (const Row &row : rows) {
        const auto mute = RTMuteObject::muteObjectWithDictionary(
            record(1, QString::fromUtf8(row.factor), QString::fromLatin1(row.predicate), t0, 3600));
        ASSERT_TRUE(mute);
        const auto message = RTMessageTwitter::create(QStringLiteral("100"));
        message->setUserId(QString::fromLatin1(row.userId));
        message->setBody(QString::fromUtf8(row.text));
        message->setCreatedAt(QDateTime::fromSecsSinceEpoch(t0 + row.writtenOffset, Qt::UTC));
        EXPECT_EQ(mute->messageComplies(*message), row.complies) << row.what;
    }
}

// A registry with one Twitter account and the companion record, the manager over it, and
// the filters installed as the mapping's hook.
class DatedFiltersTest : public MappingTestBase
{
protected:
    void SetUp() override
    {
        MappingTestBase::SetUp();
        account = std::make_shared<RTServiceTwitter>();
        account->setServiceId(QStringLiteral("me"));
        account->setIsNewlyAdded(false);
        auto myself = RTUserTwitter::create(QStringLiteral("1"));
        myself->setScreenName(QStringLiteral("me"));
        account->setMyself(myself);
        accounts.append(account.get());
        companion = std::make_shared<RTServiceTalvo>();
        registry.setServices({account, companion});
        manager = std::make_unique<RTTreeNodeManager>(registry);
        filters = std::make_unique<RTDatedFilters>(registry);
        filters->setCompanion(companion.get());
        filters->setNodeManager(manager.get());
        RTDatedFiltersInterface::setShared(filters.get());
    }
    void TearDown() override
    {
        filters.reset();
        manager.reset();
        registry.setServices({});
        MappingTestBase::TearDown();
    }

    QList<RTMessagePtr> deliver(const QStringList &statuses)
    {
        QList<RTMessagePtr> messages =
            feed(*account, RTTwitterRequestHomeTimeline, statuses).allMessagesAsBase();
        manager->allTreeNodesAddMessages(messages, RTTwitterRequestHomeTimeline, {});
        return messages;
    }

    RTTreeNode *mutedNode() const
    {
        for (RTTreeNode *node : manager->getTalvoParentNode()->childNodes())
            if (qobject_cast<RTTreeNodeMutes *>(node))
                return node;
        return nullptr;
    }

    QStringList mutedIds() const
    {
        QStringList ids;
        for (const RTMessagePtr &m : mutedNode()->contentSnapshot())
            ids << m->messageId();
        ids.sort();
        return ids;
    }

    void setMutes(const QList<QVariantMap> &records)
    {
        RTDatedFilters::Mutes mutes;
        for (const QVariantMap &r : records) {
            auto mute = RTMuteObject::muteObjectWithDictionary(r);
            ASSERT_TRUE(mute);
            mutes.insert(mute->filterId(), mute);
        }
        filters->setMutes(mutes);
        filters->setFiltersKnown(true);
    }

    qint64 now() const { return clock.now().toSecsSinceEpoch(); }

    RTServiceRegistry registry;
    std::shared_ptr<RTServiceTwitter> account;
    std::shared_ptr<RTServiceTalvo> companion;
    std::unique_ptr<RTTreeNodeManager> manager;
    std::unique_ptr<RTDatedFilters> filters;
};

TEST_F(DatedFiltersTest, AMuteHidesNewMessagesOfTheUserUntilItEndsOnTheClock)
{
    // Written a minute ago: before the mute, so it stays visible.
    deliver({status(QStringLiteral("10"), QStringLiteral("42"), QStringLiteral("old"))});
    setMutes({record(5, QStringLiteral("42"), QStringLiteral("USER"), now() - 30, 3600)});
    filters->applyFiltersNow();
    EXPECT_TRUE(mutedIds().isEmpty());

    // Written 10 s ago, during the mute: muted on arrival, shown in Muted only.
    const auto fresh = deliver(
        {status(QStringLiteral("11"), QStringLiteral("42"), QStringLiteral("new"), QString(), 10),
         status(QStringLiteral("12"), QStringLiteral("77"), QStringLiteral("other"), QString(),
                10)});
    EXPECT_TRUE(fresh.at(0)->isMuted());
    EXPECT_FALSE(fresh.at(1)->isMuted());
    EXPECT_EQ(mutedIds(), QStringList{QStringLiteral("11")});
    EXPECT_TRUE(companion->temporaryMutedMessagesSet.contains(QStringLiteral("11")));

    // The timer is due exactly when the mute ends; then the message comes back.
    EXPECT_EQ(filters->nextChange().toSecsSinceEpoch(), now() - 30 + 3600);
    clock.advance((3600 - 30) * 1000LL);
    QSignalSpy applied(filters.get(), &RTDatedFilters::filtersApplied);
    filters->expiryTimerFired();
    ASSERT_TRUE(applied.count() > 0 || applied.wait(5000));
    EXPECT_FALSE(fresh.at(0)->isMuted());
    EXPECT_TRUE(mutedIds().isEmpty());
    EXPECT_FALSE(companion->temporaryMutedMessagesSet.contains(QStringLiteral("11")));
    EXPECT_FALSE(filters->nextChange().isValid());
}

TEST_F(DatedFiltersTest, AMuteThatEndsBeforeThePollIsAnsweredMutesNothingOfIt)
{
    setMutes({record(5, QStringLiteral("#Spoiler"), QStringLiteral("HASHTAG"), now() - 100, 60)});
    // Written while the mute ran, but it ended before the answer arrived.
    const auto late = deliver({status(QStringLiteral("20"), QStringLiteral("42"),
                                      QStringLiteral("the #spoiler"), QString(), 70)});
    EXPECT_FALSE(late.at(0)->isMuted());
    EXPECT_TRUE(mutedIds().isEmpty());
}

TEST_F(DatedFiltersTest, MutesOfAnEarlierRunWaitForTheServiceBeforeTheyAreReleased)
{
    // Muted in an earlier run: the flag and the id come back from the store.
    companion->permanentMutedMessagesSet.insert(QStringLiteral("30"));
    const auto restored = deliver({status(QStringLiteral("30"), QStringLiteral("42"),
                                          QStringLiteral("@me hi"), QString(), 5)});
    restored.at(0)->setIsMuted(true);
    filters->applyDatedFiltersToMessages(restored);
    EXPECT_TRUE(restored.at(0)->isMuted()) << "released before the filters were known";

    // The service still has the mute: it stays muted.
    setMutes({record(5, QStringLiteral("42"), QStringLiteral("USER"), now() - 50, 3600)});
    filters->applyFiltersNow();
    EXPECT_TRUE(restored.at(0)->isMuted());
    // The service no longer has it (removed elsewhere): released.
    setMutes({});
    filters->applyFiltersNow();
    EXPECT_FALSE(restored.at(0)->isMuted());
    EXPECT_TRUE(companion->permanentMutedMessagesSet.isEmpty());
}

TEST_F(DatedFiltersTest, HighlightsFollowTheirFiltersAndTheHandHighlightedSet)
{
    companion->temporaryHighlightedMessagesSet.insert(QStringLiteral("41"));
    const auto messages = deliver(
        {status(QStringLiteral("40"), QStringLiteral("42"), QStringLiteral("a"), QString(), 5),
         status(QStringLiteral("41"), QStringLiteral("43"), QStringLiteral("b"), QString(), 5)});
    RTDatedFilters::Highlights highlights;
    highlights.insert(QStringLiteral("9"),
                      RTHighlightObject::highlightObjectWithDictionary(record(
                          9, QStringLiteral("42"), QStringLiteral("USER"), now() - 10, 100)));
    filters->setHighlights(highlights);
    filters->applyFiltersNow();
    EXPECT_TRUE(messages.at(0)->isHighlighted());
    EXPECT_TRUE(messages.at(1)->isHighlighted());
    EXPECT_FALSE(messages.at(0)->isMuted());

    clock.advance(200 * 1000);
    filters->applyFiltersNow();
    EXPECT_FALSE(messages.at(0)->isHighlighted()) << "the highlight ended";
    EXPECT_TRUE(messages.at(1)->isHighlighted()) << "highlighted by hand";
}

TEST_F(DatedFiltersTest, LookUpsFindLiveFiltersOfTheKind)
{
    setMutes({record(5, QStringLiteral("42"), QStringLiteral("USER"), now() - 10, 3600),
              record(6, QStringLiteral("42"), QStringLiteral("USER"), now() - 10, 3600),
              record(7, QStringLiteral("42"), QStringLiteral("USER"), now() - 7200, 3600),
              record(8, QStringLiteral("#Tag"), QStringLiteral("HASHTAG"), now() - 10, 3600)});
    const auto message = RTMessageTwitter::create(QStringLiteral("50"));
    message->setUserId(QStringLiteral("42"));
    message->setBody(QStringLiteral("about #TAG"));
    std::shared_ptr<const RTMessageFilter> last;
    EXPECT_TRUE(filters->hasComplyingFilterForMessage(*message, QStringLiteral("USER"),
                                                      RTDatedFilters::MuteFilters, &last));
    ASSERT_TRUE(last);
    EXPECT_EQ(last->filterId(), QStringLiteral("6")) << "the ended mute 7 does not count";
    EXPECT_EQ(filters
                  ->complyingFiltersForMessage(*message, QStringLiteral("HASHTAG"),
                                               RTDatedFilters::MuteFilters)
                  .size(),
              1);
    EXPECT_FALSE(filters->hasComplyingFilterForMessage(*message, QStringLiteral("USER"),
                                                       RTDatedFilters::HighlightFilters, nullptr));
    ASSERT_TRUE(filters->findActiveMute(QStringLiteral("HASHTAG"), QStringLiteral("#tag")));
    EXPECT_EQ(filters->findActiveMute(QStringLiteral("USER"), QStringLiteral("42"))->filterId(),
              QStringLiteral("6"));
}

TEST_F(DatedFiltersTest, AnActiveTranslationAsksForTheTranslationOfItsUsersMessagesOnce)
{
    const auto saved = RTMessageHooks::current();
    QStringList asked;
    RTMessageHooks hooks = *saved;
    hooks.requestTranslation = [&asked](const RTMessagePtr &m) { asked << m->messageId(); };
    RTMessageHooks::install(hooks);
    struct Row
    {
        const char *what;
        bool active;
        QStringList asked;
    };
    const std::vector<Row> rows = {
        {"inactive", false, {}},
        {"active", true, {QStringLiteral("60")}},
    };
    int n = 0;
    for (const Row &row : rows) {
        asked.clear();
        RTDatedFilters::Translates translates;
        translates.insert(QStringLiteral("3"),
                          RTTranslateUserObject::translateUserObjectWithDictionary(
                              {{QStringLiteral("id"), 3},
                               {QStringLiteral("factor"), QStringLiteral("42")},
                               {QStringLiteral("is_active"), row.active}}));
        filters->setTranslates(translates);
        const QString id = QString::number(60 + 10 * n++);
        deliver(
            {status(id, QStringLiteral("42"), QStringLiteral("hallo")),
             status(QString::number(61 + 10 * n), QStringLiteral("43"), QStringLiteral("hello"))});
        // Translation requests start from the main thread.
        waitUntil([&] { return asked.size() >= row.asked.size(); }, 1000);
        QCoreApplication::processEvents();
        EXPECT_EQ(asked, row.active ? QStringList{id} : QStringList{}) << row.what;
    }
    // A pass over the store asks for the user's earlier message, not again for the one
    // already being translated nor for the other user's.
    asked.clear();
    filters->applyFiltersNow();
    waitUntil([&] { return !asked.isEmpty(); }, 1000);
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, QStringList{QStringLiteral("60")});
    RTMessageHooks::install(*saved);
}

} // namespace

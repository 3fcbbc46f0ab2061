// How the client judges and applies answers, without a server.
#include "support/TestSupport.h"

#include "accounts/RTServiceRegistry.h"
#include "companion/RTCompanionClient.h"
#include "companion/RTCompanionRequestTypes.h"
#include "companion/RTTwitterMessageDatedFilterMenu.h"
#include "foundation/Clock.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/UrlKeys.h"
#include "model/RTMessageTwitter.h"
#include "store/TADataManager.h"
#include "timelines/RTTreeNodePredicates.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <vector>

namespace {

QStringList g_logLines;

void recordLog(QtMsgType, const QMessageLogContext &context, const QString &text)
{
    if (context.category && QLatin1String(context.category) == QLatin1String("talvo.companion"))
        g_logLines << text;
}

QVariantMap muteRecord(qint64 id, qint64 duration, qint64 extendedAt = 1000)
{
    return {{QStringLiteral("id"), id},
            {QStringLiteral("factor"), QStringLiteral("42")},
            {QStringLiteral("predicate"), QStringLiteral("USER")},
            {QStringLiteral("network"), QStringLiteral("twitter")},
            {QStringLiteral("duration"), duration},
            {QStringLiteral("created_at"), 1000},
            {QStringLiteral("updated_at"), 1000},
            {QStringLiteral("started_at"), 1000},
            {QStringLiteral("extended_at"), extendedAt}};
}

QVariantMap configurations(const QVariant &mutes, const QVariant &highlights = QVariantList(),
                           const QVariant &translates = QVariantList())
{
    QVariantMap result{{QString::fromLatin1(kRTRequestType), RTTalvoRequestConfigurations},
                       {QStringLiteral("succeeded"), true}};
    if (mutes.isValid())
        result.insert(QStringLiteral("mutes"), mutes);
    if (highlights.isValid())
        result.insert(QStringLiteral("highlights"), highlights);
    if (translates.isValid())
        result.insert(QStringLiteral("translates"), translates);
    return result;
}

class CompanionAnswers : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Clock::setShared(&clock);
        client = std::make_unique<RTCompanionClient>(registry);
        g_logLines.clear();
    }
    void TearDown() override
    {
        client.reset();
        registry.setServices({});
        Clock::setShared(nullptr);
    }

    RTServiceRegistry registry;
    FakeClock clock{QDateTime::fromSecsSinceEpoch(2000, Qt::UTC)};
    std::unique_ptr<RTCompanionClient> client;
};

TEST_F(CompanionAnswers, ADamagedConfigurationChangesNothingAndLogsOneLine)
{
    client->serviceRequestSuccess(configurations(QVariantList{muteRecord(5, 3600)}));
    ASSERT_EQ(client->filters().mutes().keys(), QStringList{QStringLiteral("5")});

    QVariantList huge;
    for (int i = 0; i < 5000; ++i)
        huge.append(muteRecord(100 + i, 60));
    QVariantMap wrongDuration = muteRecord(6, 60);
    wrongDuration.insert(QStringLiteral("duration"), QStringLiteral("an hour"));
    QVariantMap noFactor = muteRecord(7, 60);
    noFactor.remove(QStringLiteral("factor"));
    struct Row
    {
        const char *what;
        QVariantMap result;
    };
    const std::vector<Row> rows = {
        {"mutes an object", configurations(QVariantMap{{QStringLiteral("5"), 1}})},
        {"mutes missing", configurations(QVariant())},
        {"highlights missing", configurations(QVariantList(), QVariant())},
        {"too many mutes", configurations(huge)},
        {"a record a string", configurations(QVariantList{muteRecord(8, 60), QStringLiteral("x")})},
        {"a duration in words", configurations(QVariantList{muteRecord(8, 60), wrongDuration})},
        {"a record without factor", configurations(QVariantList{noFactor})},
        {"translations of numbers",
         configurations(QVariantList(), QVariantList(), QVariantList{1, 2})},
    };
    QSignalSpy applied(client.get(), &RTCompanionClient::configurationsApplied);
    const QtMessageHandler previous = qInstallMessageHandler(recordLog);
    for (const Row &row : rows) {
        g_logLines.clear();
        client->serviceRequestSuccess(row.result);
        EXPECT_EQ(g_logLines.size(), 1) << row.what;
        EXPECT_EQ(client->filters().mutes().keys(), QStringList{QStringLiteral("5")}) << row.what;
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(applied.count(), 0);
}

TEST_F(CompanionAnswers, OnlyNewOrChangedFiltersReapply)
{
    QSignalSpy applied(client.get(), &RTCompanionClient::configurationsApplied);
    struct Row
    {
        const char *what;
        QVariantList mutes;
        bool changed;
        QStringList ids;
    };
    const std::vector<Row> rows = {
        {"first", {muteRecord(5, 3600)}, true, {"5"}},
        {"repeated as it was", {muteRecord(5, 3600)}, false, {"5"}},
        {"extended", {muteRecord(5, 7200, 1500)}, true, {"5"}},
        {"another added", {muteRecord(5, 7200, 1500), muteRecord(6, 60)}, true, {"5", "6"}},
        {"one removed elsewhere", {muteRecord(6, 60)}, true, {"6"}},
    };
    for (const Row &row : rows) {
        applied.clear();
        client->serviceRequestSuccess(configurations(row.mutes));
        ASSERT_EQ(applied.count(), 1) << row.what;
        EXPECT_EQ(applied.first().first().toBool(), row.changed) << row.what;
        QStringList ids = client->filters().mutes().keys();
        ids.sort();
        EXPECT_EQ(ids, row.ids) << row.what;
    }
    // The immediate answer of a destroy ends the filter at once, without a poll.
    QVariantMap destroyed{{QString::fromLatin1(kRTRequestType), RTTalvoRequestDestroyMute},
                          {QStringLiteral("mutes"), QVariantList{muteRecord(6, 0)}}};
    client->serviceRequestSuccess(destroyed);
    EXPECT_TRUE(client->filters().mutes().value(QStringLiteral("6"))->isExpired());
}

TEST_F(CompanionAnswers, GroupPredicatesOfMembers)
{
    auto message = [](const char *userId) {
        auto m = RTMessageTwitter::create(QStringLiteral("1"));
        m->setUserId(QString::fromLatin1(userId));
        return m;
    };
    struct Row
    {
        QStringList members;
        const char *author;
        bool member;
    };
    const std::vector<Row> rows = {
        {{}, "5", false},
        {{"5"}, "5", true},
        {{"5", "6"}, "6", true},
        {{"5", "6"}, "7", false},
    };
    for (const Row &row : rows) {
        const RTGroupObjectPtr group = RTCompanionClient::newGroupWithService(
            nullptr, QStringLiteral(" Friends "), row.members);
        EXPECT_EQ(group->groupName(), QStringLiteral("Friends"));
        const auto m = message(row.author);
        EXPECT_EQ(evaluatePredicate(group->membersFilterPredicate(), *m), row.member)
            << row.members.join(u',').toStdString() << " / " << row.author;
        EXPECT_EQ(evaluatePredicate(group->excludeMembersFilterPredicate(), *m), !row.member);
    }
}

TEST_F(CompanionAnswers, ClickReportsCountOnlyShortLinksWithAPath)
{
    client->service()->setShortenersList({QStringLiteral("bit.ly")});
    struct Row
    {
        const char *url;
        bool counted;
    };
    const std::vector<Row> rows = {
        {"http://example.org/abc", false}, // not a shortener
        {"http://bit.ly/", false},         // no path to speak of
        {"http://bit.ly/a", true},
        {"http://BIT.LY/xyz?utm=1", true},
        {"http://bit.ly/uncached", false}, // waits for its expansion
        {"not a link", false},
    };
    TAUrlCache &cache = TADataManager::sharedManager().urlCache();
    for (const Row &row : rows)
        if (!QString::fromLatin1(row.url).endsWith(QLatin1String("uncached")))
            cache.setValue(dotlessUrl(QString::fromLatin1(row.url)),
                           QStringLiteral("https://example.org/long%20page"));
    for (const Row &row : rows)
        EXPECT_EQ(client->addClickedUrl(QString::fromLatin1(row.url)), row.counted) << row.url;
    ASSERT_EQ(client->clickedUrls().size(), 2);
    EXPECT_EQ(client->clickedUrls().first().toMap(),
              (QVariantMap{{QStringLiteral("shortener"), QStringLiteral("bit.ly")},
                           {QStringLiteral("url"), QStringLiteral("http://bit.ly/a")},
                           {QStringLiteral("destination"),
                            QStringLiteral("https://example.org/long page")}}));
    client->serviceRequestSuccess(
        {{QString::fromLatin1(kRTRequestType), RTTalvoRequestClickedUrls},
         {QStringLiteral("success"), true},
         {QString::fromLatin1(kRTUserInfoKey),
          QVariantMap{{QStringLiteral("clicked_urls"), client->clickedUrls().mid(0, 1)}}}});
    ASSERT_EQ(client->clickedUrls().size(), 1);
    for (int i = 0; i < RTCompanionClient::kMaxPendingReports + 10; ++i)
        client->addClickedUrlRecord(QStringLiteral("bit.ly"),
                                    QStringLiteral("http://bit.ly/%1").arg(i),
                                    QStringLiteral("http://example.org/"));
    EXPECT_EQ(client->clickedUrls().size(), RTCompanionClient::kMaxPendingReports);
    EXPECT_EQ(client->clickedUrls().first().toMap().value("url"),
              QStringLiteral("http://bit.ly/10"));
}

TEST_F(CompanionAnswers, TheDurationMenuOffersThePeriodsAndActsOnTheRunningMute)
{
    const QList<RTTwitterMessageDatedFilterMenu::Item> periods =
        RTTwitterMessageDatedFilterMenu::periods();
    const QList<qint64> seconds{3600,   7200,   21600,   43200,    86400,
                                172800, 604800, 2592000, 31536000, 777600000};
    ASSERT_EQ(periods.size(), seconds.size());
    for (int i = 0; i < periods.size(); ++i) {
        EXPECT_EQ(periods.at(i).seconds, seconds.at(i));
        EXPECT_EQ(periods.at(i).tag, -1 - i);
    }
    EXPECT_EQ(periods.first().title, QStringLiteral("1 Hour"));
    EXPECT_EQ(periods.last().title, QStringLiteral("Forever"));

    auto message = RTMessageTwitter::create(QStringLiteral("1"));
    message->setUserId(QStringLiteral("42"));
    auto menu = RTTwitterMessageDatedFilterMenu::createUserMuteMenu(*client, true, message);
    QList<RTTwitterMessageDatedFilterMenu::Item> items = menu.items();
    ASSERT_EQ(items.size(), periods.size() + 3);
    EXPECT_TRUE(items.first().hidden) << "no mute runs";
    EXPECT_EQ(items.last().seconds, 0);
    EXPECT_EQ(items.last().title, QStringLiteral("Cancel Remaining Mute Period"));
    menu.actOnFilter(3600); // extending without a running mute does nothing
    EXPECT_FALSE(menu.findActiveMuteForMessage());

    struct Row
    {
        qint64 duration;
        const char *status;
    };
    const std::vector<Row> rows = {
        {777600000, "Forever"},
        {2 * 3600, "Mute Time Remaining: "},
    };
    for (const Row &row : rows) {
        // A mute created 10 s before the clock.
        QVariantMap record = muteRecord(9, row.duration);
        record.insert(QStringLiteral("created_at"), 1990);
        client->serviceRequestSuccess(configurations(QVariantList{record}));
        items = menu.items();
        EXPECT_FALSE(items.first().hidden);
        EXPECT_TRUE(items.first().title.startsWith(QLatin1String(row.status)))
            << items.first().title.toStdString();
        ASSERT_TRUE(menu.findActiveMuteForMessage());
    }
    // Another user's message: the running mute is not its mute.
    auto other = RTMessageTwitter::create(QStringLiteral("2"));
    other->setUserId(QStringLiteral("43"));
    EXPECT_TRUE(RTTwitterMessageDatedFilterMenu::createUserMuteMenu(*client, true, other)
                    .items()
                    .first()
                    .hidden);
}

} // namespace

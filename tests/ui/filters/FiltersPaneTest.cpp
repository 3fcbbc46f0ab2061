// The Filters pane and its model on a fake clock, and the group name sheet, offscreen.
#include "accounts/RTServiceRegistry.h"
#include "companion/RTCompanionClient.h"
#include "foundation/Clock.h"
#include "model/RTUserTwitter.h"
#include "platform/fake/FakeKeychain.h"
#include "timelines/RTTreeNodeKinds.h"
#include "timelines/RTTreeNodeManager.h"
#include "twitter/RTServiceTwitter.h"
#include "ui/filters/RTCompanionFilterActions.h"
#include "ui/filters/RTFiltersModel.h"
#include "ui/filters/RTFiltersPane.h"
#include "ui/filters/RTGroupNameSheet.h"

#include <QAbstractItemModelTester>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

struct FilterCase
{
    const char *id;
    const char *kind;
    const char *factor;
    qint64 createdOffset; // seconds from now
    quint32 duration;
    bool isMute;
};

class FiltersPaneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Keychain::setShared(&keychain);
        Clock::setShared(&clock);
        account = std::make_shared<RTServiceTwitter>();
        account->setServiceId(QStringLiteral("me"));
        auto myself = RTUserTwitter::create(QStringLiteral("1"));
        myself->setScreenName(QStringLiteral("me"));
        account->setMyself(myself);
        auto carol = RTUserTwitter::create(QStringLiteral("4242"));
        carol->setScreenName(QStringLiteral("carol"));
        account->setUsersDictionary({{QStringLiteral("4242"), carol}});
        registry.setServices({account});
        client = std::make_unique<RTCompanionClient>(registry);
    }
    void TearDown() override
    {
        client.reset();
        registry.setServices({});
        Clock::setShared(nullptr);
        Keychain::setShared(nullptr);
    }

    QVariantMap record(const FilterCase &c) const
    {
        const qint64 created = clock.now().toSecsSinceEpoch() + c.createdOffset;
        return {{QStringLiteral("id"), QString::fromLatin1(c.id)},
                {QStringLiteral("created_at"), created},
                {QStringLiteral("updated_at"), created},
                {QStringLiteral("started_at"), created},
                {QStringLiteral("extended_at"), created},
                {QStringLiteral("duration"), c.duration},
                {QStringLiteral("factor"), QString::fromLatin1(c.factor)},
                {QStringLiteral("predicate"), QString::fromLatin1(c.kind)},
                {QStringLiteral("network"), QStringLiteral("twitter")}};
    }

    void install(const QList<FilterCase> &cases)
    {
        RTDatedFilters::Mutes mutes;
        RTDatedFilters::Highlights highlights;
        for (const FilterCase &c : cases) {
            if (c.isMute)
                mutes.insert(QString::fromLatin1(c.id),
                             RTMuteObject::muteObjectWithDictionary(record(c)));
            else
                highlights.insert(QString::fromLatin1(c.id),
                                  RTHighlightObject::highlightObjectWithDictionary(record(c)));
        }
        client->filters().setMutes(mutes);
        client->filters().setHighlights(highlights);
    }

    static QString text(const RTFiltersModel &model, int row, int column)
    {
        return model.data(model.index(row, column), Qt::DisplayRole).toString();
    }

    FakeKeychain keychain;
    FakeClock clock{QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC)};
    RTServiceRegistry registry;
    std::shared_ptr<RTServiceTwitter> account;
    std::unique_ptr<RTCompanionClient> client;
};

TEST_F(FiltersPaneTest, RunningFiltersAreListedSoonestFirstWithTheTimeTheyHaveLeft)
{
    install({
        {"1", "USER", "4242", -60, 3600, true},
        {"2", "HASHTAG", "#Rust", -10, 90000, true},
        {"3", "USER", "999", 0, 777600000, false},
        {"4", "USER", "4242", -7200, 3600, true}, // ended an hour ago
        {"5", "USER", "4242", 60, 3600, true},    // not begun
        {"6", "HASHTAG", "#soon", -30, 75, false},
    });
    RTFiltersModel model(client->filters(), [this](const QString &id) {
        return RTFiltersPane::screenNameOf(registry, id);
    });
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    struct Row
    {
        const char *factor;
        const char *kind;
        const char *remaining;
        const char *id;
    };
    const Row expected[] = {
        {"#soon", "Highlight", "45 Seconds(s)", "6"},
        {"@carol", "Mute", "59 Minute(s)", "1"},
        {"#Rust", "Mute", "1 Days(s) 0 Hour(s)", "2"},
        {"user 999", "Highlight", "Forever", "3"},
    };
    ASSERT_EQ(model.rowCount(), int(std::size(expected)));
    for (int row = 0; row < model.rowCount(); ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(text(model, row, RTFiltersModel::FactorColumn),
                  QString::fromUtf8(expected[row].factor));
        EXPECT_EQ(text(model, row, RTFiltersModel::KindColumn),
                  QString::fromUtf8(expected[row].kind));
        EXPECT_EQ(text(model, row, RTFiltersModel::RemainingColumn),
                  QString::fromUtf8(expected[row].remaining));
        EXPECT_EQ(model.filterIdAt(row), QString::fromLatin1(expected[row].id));
    }

    // 45 seconds on: the highlight ends at that moment and leaves by itself; the others
    // keep their rows and tell the new time.
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    clock.advance(44 * 1000);
    model.refreshTimes();
    EXPECT_EQ(model.rowCount(), 4) << "one second still left";
    EXPECT_EQ(text(model, 0, RTFiltersModel::RemainingColumn), QStringLiteral("1 Seconds(s)"));
    clock.advance(1000);
    model.refreshTimes();
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(reset.count(), 0);
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.filterIdAt(0), QStringLiteral("1"));
    EXPECT_EQ(text(model, 0, RTFiltersModel::RemainingColumn), QStringLiteral("58 Minute(s)"));

    // A reload with the same filters keeps the rows (the selection survives).
    model.reload();
    EXPECT_EQ(reset.count(), 0);
    // A filter removed on the service goes at the next reload.
    install({{"2", "HASHTAG", "#Rust", -10, 90000, true}});
    model.reload();
    EXPECT_EQ(reset.count(), 1);
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.filterIdAt(0), QStringLiteral("2"));
}

TEST_F(FiltersPaneTest, EmptyStateRemoveButtonAndRefreshFollowWhatIsShown)
{
    RTFiltersPane pane(*client, registry);
    pane.show();
    EXPECT_TRUE(pane.isShowingEmptyState());
    EXPECT_FALSE(pane.removeButton()->isEnabled());
    EXPECT_TRUE(pane.isRefreshing());

    install({{"1", "USER", "4242", -60, 3600, true}, {"2", "HASHTAG", "#a", -60, 600, true}});
    emit client->filters().filtersApplied();
    EXPECT_FALSE(pane.isShowingEmptyState());
    EXPECT_EQ(pane.model()->rowCount(), 2);
    EXPECT_FALSE(pane.removeButton()->isEnabled()) << "nothing chosen yet";
    pane.view()->setCurrentIndex(pane.model()->index(1, 0));
    EXPECT_TRUE(pane.removeButton()->isEnabled());
    EXPECT_EQ(pane.view()->accessibleName(), QStringLiteral("Mutes and highlights"));

    // The chosen row stays chosen when the list is reloaded in another order.
    install({{"1", "USER", "4242", -60, 3600, true},
             {"2", "HASHTAG", "#a", -60, 600, true},
             {"3", "HASHTAG", "#b", -60, 60, false}});
    emit client->filters().filtersApplied();
    EXPECT_EQ(pane.model()->filterIdAt(pane.view()->currentIndex().row()), QStringLiteral("1"));

    // Every filter ends: back to the empty state, nothing left to remove.
    clock.advance(3600 * 1000);
    pane.model()->refreshTimes();
    EXPECT_TRUE(pane.isShowingEmptyState());
    EXPECT_FALSE(pane.removeButton()->isEnabled());

    pane.hide();
    EXPECT_FALSE(pane.isRefreshing()) << "no timer while nobody looks";
}

TEST(GroupNameSheet, NamesThatCanBeTaken)
{
    struct Case
    {
        const char *current;
        const char *typed;
        bool acceptable;
        const char *name;
    };
    const QString longest(RTGroupNameSheet::kMaxNameLength, QLatin1Char('x'));
    const QStringList taken{QStringLiteral("Friends")};
    const Case cases[] = {
        {"", "", false, ""},
        {"", "   ", false, ""},
        {"", "friends", false, "friends"},
        {"", " Work   mates ", true, "Work mates"},
        {"Work", "Work", false, "Work"},
        {"Work", "work", true, "work"},
        {"Work", "FRIENDS", false, "FRIENDS"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        RTGroupNameSheet sheet(QStringLiteral("New Group"), QString(), QStringLiteral("Create"),
                               QString::fromUtf8(c.current), taken);
        sheet.nameField()->setText(QString::fromUtf8(c.typed));
        EXPECT_EQ(sheet.canAccept(), c.acceptable) << sheet.problem().toStdString();
        EXPECT_EQ(sheet.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->isEnabled(),
                  c.acceptable);
        EXPECT_EQ(sheet.name(), QString::fromUtf8(c.name));
    }
    RTGroupNameSheet sheet(QStringLiteral("New Group"), QString(), QStringLiteral("Create"),
                           QString(), {});
    sheet.nameField()->setText(longest);
    EXPECT_TRUE(sheet.canAccept());
    sheet.nameField()->setText(longest + QLatin1Char('y'));
    EXPECT_FALSE(sheet.canAccept()) << "one character too many";
}

} // namespace

namespace {

TEST_F(FiltersPaneTest, TheMutedSourceOpensOneFiltersWindow)
{
    RTTreeNodeManager manager(registry);
    client->setNodeManager(&manager);
    RTCompanionFilterActions actions([this]() -> RTCompanionClient & { return *client; },
                                     [this]() -> RTServiceRegistry & { return registry; });
    RTTreeNode *muted = nullptr;
    for (RTTreeNode *node : manager.getTalvoParentNode()->childNodes())
        if (qobject_cast<RTTreeNodeMutes *>(node))
            muted = node;
    ASSERT_TRUE(muted);
    QMenu menu;
    actions.addNodeMenuItems(menu, muted);
    QAction *open = menu.findChild<QAction *>(QStringLiteral("showFilters"));
    ASSERT_TRUE(open);
    open->trigger();
    QWidget *window = actions.filtersWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->findChild<RTFiltersPane *>());
    open->trigger();
    EXPECT_EQ(actions.filtersWindow(), window) << "shown again, not a second one";

    // Other sources get no filter items.
    QMenu other;
    actions.addNodeMenuItems(other, manager.getTalvoParentNode());
    EXPECT_TRUE(other.actions().isEmpty());
}

} // namespace

#include "UiTestSupport.h"
#include "ui/RTOutlineDelegate.h"
#include "ui/RTOutlineModel.h"

#include <QAbstractItemModelTester>
#include <thread>

namespace {

class OutlineModelTest : public UiTestBase
{
protected:
    QModelIndex rootIndex(const RTOutlineModel &model, const QString &name) const
    {
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex idx = model.index(row, 0);
            if (idx.data().toString() == name)
                return idx;
        }
        return {};
    }
};

TEST_F(OutlineModelTest, CountsFromWorkerBatchesReachTheRowsAndAccountsComeAndGo)
{
    auto alice = addAccount(QStringLiteral("alice"));
    startManager();
    RTOutlineModel model(*manager);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    const QModelIndex aliceRow = rootIndex(model, QStringLiteral("alice"));
    ASSERT_TRUE(aliceRow.isValid());
    EXPECT_TRUE(model.data(aliceRow, RTOutlineModel::IsRootRole).toBool());
    RTTreeNode *mentions = child(QStringLiteral("alice"), UiRequestType::Mentions);
    ASSERT_NE(mentions, nullptr);
    const QModelIndex mentionsRow = model.indexForNode(mentions);
    ASSERT_TRUE(mentionsRow.isValid());
    EXPECT_EQ(mentionsRow.parent(), aliceRow);
    EXPECT_FALSE(model.data(mentionsRow, RTOutlineModel::IsRootRole).toBool());

    // Four workers deliver mentions at once, as request operations do.
    constexpr int kPerWorker = 25;
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&, w] {
            QList<RTMessagePtr> batch;
            for (int i = 0; i < kPerWorker; ++i)
                batch << message(alice.get(), QString::number(w * 1000 + i),
                                 QStringLiteral("hi @alice"), RTTemporaryFlag::IsMention, i);
            manager->allTreeNodesAddMessages(batch, UiRequestType::Mentions, {});
        });
    }
    for (auto &t : workers)
        t.join();
    ASSERT_TRUE(waitFor([&] {
        return model.data(model.indexForNode(mentions), RTOutlineModel::CountRole).toInt() ==
               4 * kPerWorker;
    }));
    EXPECT_EQ(model.data(model.indexForNode(mentions), Qt::AccessibleTextRole).toString(),
              QStringLiteral("Mentions, 100 unseen"));

    // A second account appears as a root; removing the first takes its rows away.
    auto bob = addAccount(QStringLiteral("bob"));
    manager->addNodeWithService(bob, false);
    ASSERT_TRUE(waitFor([&] { return rootIndex(model, QStringLiteral("bob")).isValid(); }));
    manager->removeNodeWithService(alice);
    ASSERT_TRUE(waitFor([&] { return !rootIndex(model, QStringLiteral("alice")).isValid(); }));
    EXPECT_FALSE(model.indexForNode(mentions).isValid());
    EXPECT_TRUE(rootIndex(model, QStringLiteral("bob")).isValid());
}

TEST_F(OutlineModelTest, SourcesShownOrHiddenByAccountSettingsComeAndGo)
{
    auto alice = addAccount(QStringLiteral("alice"));
    startManager();
    RTOutlineModel model(*manager);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const struct
    {
        const char *what;
        qint32 requestType;
        void (RTServiceTwitter::*set)(bool);
    } cases[] = {
        {"Favorites", 8, &RTServiceTwitter::setShowFavoritesNode},
        {"Retweets", 51, &RTServiceTwitter::setShowRetweetsNode},
        {"Combined", RTTreeNodeRequestType::Combined, &RTServiceTwitter::setShowCombinedNode},
    };
    for (const auto &c : cases) {
        RTTreeNode *node = child(QStringLiteral("alice"), c.requestType);
        ASSERT_NE(node, nullptr) << c.what;
        ((*alice).*c.set)(true);
        EXPECT_TRUE(waitFor([&] { return model.indexForNode(node).isValid(); })) << c.what;
        ((*alice).*c.set)(false);
        EXPECT_TRUE(waitFor([&] { return !model.indexForNode(node).isValid(); })) << c.what;
        ((*alice).*c.set)(true);
        EXPECT_TRUE(waitFor([&] { return model.indexForNode(node).isValid(); }))
            << c.what << " again";
    }
}

TEST_F(OutlineModelTest, BadgesReadAsCounts)
{
    const struct
    {
        int count;
        const char *badge;
    } cases[] = {{0, ""}, {-3, ""}, {1, "1"}, {999, "999"}, {1000, "999+"}};
    for (const auto &c : cases)
        EXPECT_EQ(RTOutlineDelegate::badgeText(c.count), QString::fromLatin1(c.badge)) << c.count;
}

} // namespace

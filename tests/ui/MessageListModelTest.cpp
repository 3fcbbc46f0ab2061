#include "UiTestSupport.h"
#include "ui/RTMessageListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace {

class MessageListModelTest : public UiTestBase
{
protected:
    static QStringList ids(const RTMessageListModel &model)
    {
        QStringList out;
        for (int row = 0; row < model.rowCount(); ++row)
            out << model.data(model.index(row), RTMessageListModel::MessageIdRole).toString() +
                       (model.isConversationRow(row) ? QStringLiteral("*") : QString());
        return out;
    }
};

TEST_F(MessageListModelTest, RowsFollowTheNodeByInsertsAndRemovalsKeepingOrder)
{
    auto alice = addAccount(QStringLiteral("alice"));
    startManager();
    RTTreeNode *mentions = child(QStringLiteral("alice"), UiRequestType::Mentions);
    ASSERT_NE(mentions, nullptr);
    RTMessageListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setNode(mentions);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);

    const auto m = [&](const char *id, int minutesAgo) {
        return message(alice.get(), QString::fromLatin1(id), QStringLiteral("@alice hi"),
                       RTTemporaryFlag::IsMention, minutesAgo);
    };
    auto m30 = m("30", 30), m20 = m("20", 20), m10 = m("10", 10), m5 = m("5", 5), m40 = m("40", 40);
    struct Step
    {
        const char *what;
        std::function<void()> change;
        QStringList expected;
    };
    const QList<Step> steps = {
        {"first page",
         [&] {
             manager->allTreeNodesAddMessages({m30, m20}, 3, {});
         },
         {"20", "30"}},
        {"newer on top",
         [&] {
             manager->allTreeNodesAddMessages({m10, m5}, 3, {});
         },
         {"5", "10", "20", "30"}},
        {"older at the end",
         [&] { manager->allTreeNodesAddMessages({m40}, 3, {}); },
         {"5", "10", "20", "30", "40"}},
        {"removed in the middle",
         [&] {
             manager->allTreeNodesRemoveMessages({m20}, 3, {{"forceRemove", true}});
         },
         {"5", "10", "30", "40"}},
        {"hidden leaves the list", [&] { m10->setIsHidden(true); }, {"5", "30", "40"}},
        {"special-hidden stays outside Home and Combined",
         [&] { m5->setIsSpecialHidden(true); },
         {"5", "30", "40"}},
    };
    for (const Step &step : steps) {
        step.change();
        model.refresh();
        EXPECT_EQ(ids(model), step.expected) << step.what;
    }
    // Arrivals never reset the list: a reset would lose the reader's place.
    EXPECT_EQ(resets.count(), 0);
    EXPECT_GE(inserts.count(), 3);
    EXPECT_TRUE(model.isUnseen(0));
    m5->setIsSeen(true);
    EXPECT_FALSE(model.isUnseen(0));
}

TEST_F(MessageListModelTest, HomeDropsSpecialHiddenMessagesAndAConversationOpensUnderItsMessage)
{
    auto alice = addAccount(QStringLiteral("alice"));
    startManager();
    RTTreeNode *mentions = child(QStringLiteral("alice"), UiRequestType::Mentions);
    RTTreeNode *direct = child(QStringLiteral("alice"), RTTreeNodeRequestType::Direct);
    ASSERT_TRUE(mentions && direct);
    auto a = message(alice.get(), QStringLiteral("a"), QStringLiteral("x"),
                     RTTemporaryFlag::IsMention, 1);
    auto b = message(alice.get(), QStringLiteral("b"), QStringLiteral("x"),
                     RTTemporaryFlag::IsMention, 2);
    auto d1 = message(alice.get(), QStringLiteral("d1"), QStringLiteral("x"),
                      RTTemporaryFlag::IsPrivate, 3);
    auto d2 = message(alice.get(), QStringLiteral("d2"), QStringLiteral("x"),
                      RTTemporaryFlag::IsPrivate, 9);
    manager->allTreeNodesAddMessages({a, b, d1, d2}, 3, {});

    RTMessageListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setNode(mentions);
    ASSERT_EQ(ids(model), (QStringList{"a", "b"}));
    // The Direct node stands in for a conversation: its rows go under "b", oldest first.
    model.setConversation(direct, QStringLiteral("b"));
    EXPECT_EQ(ids(model), (QStringList{"a", "b", "d2*", "d1*"}));
    EXPECT_EQ(model.rowOfMessage(QStringLiteral("d1")), -1)
        << "conversation rows are not the list's own";
    EXPECT_EQ(model.data(model.index(2), RTMessageListModel::IsConversationRole).toBool(), true);
    model.setConversation(nullptr, QString());
    EXPECT_EQ(ids(model), (QStringList{"a", "b"}));

    EXPECT_EQ(RTMessageListModel::accessibleText(*a).section(QStringLiteral(", "), 0, 0),
              QStringLiteral("Bob Example"));
    EXPECT_TRUE(RTMessageListModel::accessibleText(*a).endsWith(QStringLiteral(", x")));
}

} // namespace

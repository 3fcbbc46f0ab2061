#include "UiTestSupport.h"
#include "timelines/RTNodeMenu.h"
#include "ui/RTComposeProvider.h"
#include "ui/RTFilterActions.h"
#include "ui/RTListViewController.h"
#include "ui/RTMainWindow.h"
#include "ui/RTMessageListModel.h"
#include "ui/RTMessageListView.h"
#include "ui/RTOutlineModel.h"
#include "ui/RTWindowLayer.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

namespace {

class RecordingCompose : public RTComposeProvider
{
public:
    RecordingCompose() { RTComposeProvider::setShared(this); }
    ~RecordingCompose() override { RTComposeProvider::setShared(nullptr); }
    QStringList calls;
    QWidget *createComposeLine(QWidget *parent) override { return new QWidget(parent); }
    void focusComposeLine(bool dm) override { calls << QStringLiteral("focus %1").arg(dm); }
    void showComposeWindow(const QString &url) override
    {
        calls << QStringLiteral("window ") + url;
    }
    void closeAllComposeWindows() override { calls << QStringLiteral("close all"); }
    void startMessage(Kind kind, const RTMessagePtr &message) override
    {
        calls << QStringLiteral("start %1 %2").arg(int(kind)).arg(message->messageId());
    }
};

class MainWindowTest : public UiTestBase
{
protected:
    void SetUp() override
    {
        UiTestBase::SetUp();
        layer = std::make_unique<RTWindowLayer>();
        layer->setAutomaticAnswer(0);
        alice = addAccount(QStringLiteral("alice"));
        startManager();
        layer->setManager(manager.get());
        layer->loadDefaultMainWindow();
        window = layer->mainWindow();
        ASSERT_NE(window, nullptr);
        // Window shortcuts need the window active.
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }
    void TearDown() override
    {
        layer.reset();
        UiTestBase::TearDown();
    }

    RTMessageListView *currentView() const
    {
        RTListViewController *c = window->currentController();
        return c ? c->listView() : nullptr;
    }
    bool enabled(const char *name) const
    {
        QAction *a = window->action(QString::fromLatin1(name));
        return a && a->isEnabled();
    }

    std::unique_ptr<RTWindowLayer> layer;
    std::shared_ptr<RTServiceTwitter> alice;
    RTMainWindow *window = nullptr;
};

TEST_F(MainWindowTest, MessageActionsFollowTheSelectedMessage)
{
    auto received = message(alice.get(), QStringLiteral("1"), QStringLiteral("hi @alice"),
                            RTTemporaryFlag::IsMention, 1);
    auto own =
        message(alice.get(), QStringLiteral("2"), QStringLiteral("@alice note to self"),
                RTTemporaryFlag::IsMention | RTTemporaryFlag::IsSent, 2, QStringLiteral("alice"));
    auto direct = message(alice.get(), QStringLiteral("3"), QStringLiteral("psst"),
                          RTTemporaryFlag::IsPrivate, 3);
    manager->allTreeNodesAddMessages({received, own, direct}, UiRequestType::Mentions, {});

    struct Case
    {
        const char *what;
        RTTreeNode *node;
        QString id;
        bool retweet, favorite, remove, browser, markSeen;
    };
    RTTreeNode *mentions = child(QStringLiteral("alice"), UiRequestType::Mentions);
    RTTreeNode *direct_ = child(QStringLiteral("alice"), RTTreeNodeRequestType::Direct);
    ASSERT_TRUE(mentions && direct_);
    const QList<Case> cases = {
        {"nothing selected", mentions, QString(), false, false, false, false, false},
        {"a received mention", mentions, QStringLiteral("1"), true, true, false, true, true},
        {"the user's own message", mentions, QStringLiteral("2"), false, true, true, true, true},
        {"a direct message", direct_, QStringLiteral("3"), false, false, false, false, true},
    };
    for (const Case &c : cases) {
        window->showNode(c.node);
        RTMessageListView *view = currentView();
        ASSERT_NE(view, nullptr) << c.what;
        if (c.id.isEmpty())
            view->setCurrentIndex(QModelIndex());
        else
            view->selectRow(view->messageModel().rowOfMessage(c.id));
        window->updateActions();
        EXPECT_EQ(enabled("retweet"), c.retweet) << c.what;
        EXPECT_EQ(enabled("favorite"), c.favorite) << c.what;
        EXPECT_EQ(enabled("deleteMessage"), c.remove) << c.what;
        EXPECT_EQ(enabled("openInBrowser"), c.browser) << c.what;
        EXPECT_EQ(enabled("markSeen"), c.markSeen) << c.what;
        EXPECT_EQ(enabled("copyText"), !c.id.isEmpty()) << c.what;
        // Composing is another layer's: without it the actions say so and stay off.
        EXPECT_FALSE(enabled("reply")) << c.what;
        EXPECT_FALSE(enabled("newTweet")) << c.what;
    }

    // With a compose layer, r on a selected message starts a reply to it.
    RecordingCompose compose;
    window->showNode(mentions);
    currentView()->selectRow(currentView()->messageModel().rowOfMessage(QStringLiteral("1")));
    currentView()->setFocus();
    window->updateActions();
    ASSERT_TRUE(enabled("reply"));
    QTest::keyClick(currentView(), Qt::Key_R);
    QTest::keyClick(currentView(), Qt::Key_M);
    EXPECT_EQ(compose.calls, QStringList{QStringLiteral("start 0 1")});
    EXPECT_TRUE(received->isSeen()) << "m marks the selected message seen";
}

TEST_F(MainWindowTest, ShowingAMessageSelectsItInItsSource)
{
    QList<RTMessagePtr> messages;
    for (int i = 1; i <= 40; ++i)
        messages << message(alice.get(), QString::number(i), QStringLiteral("mention %1").arg(i),
                            RTTemporaryFlag::IsMention, i);
    manager->allTreeNodesAddMessages(messages, UiRequestType::Mentions, {});
    RTTreeNode *mentions = child(QStringLiteral("alice"), UiRequestType::Mentions);
    ASSERT_NE(mentions, nullptr);

    const struct
    {
        QString id, selected;
    } cases[] = {{QStringLiteral("3"), QStringLiteral("3")},
                 {QStringLiteral("39"), QStringLiteral("39")},
                 {QStringLiteral("no such id"), QStringLiteral("39")}};
    for (const auto &c : cases) {
        window->showMessage(mentions, c.id);
        EXPECT_EQ(window->currentNode(), mentions) << qPrintable(c.id);
        ASSERT_NE(window->currentMessage(), nullptr) << qPrintable(c.id);
        EXPECT_EQ(window->currentMessage()->messageId(), c.selected) << qPrintable(c.id);
    }
}

TEST_F(MainWindowTest, NodeMenuMarksAllSeenAndTheBadgeClears)
{
    QList<RTMessagePtr> batch;
    for (int i = 0; i < 3; ++i)
        batch << message(alice.get(), QString::number(10 + i), QStringLiteral("@alice %1").arg(i),
                         RTTemporaryFlag::IsMention, i);
    manager->allTreeNodesAddMessages(batch, UiRequestType::Mentions, {});
    RTTreeNode *mentions = child(QStringLiteral("alice"), UiRequestType::Mentions);
    const auto badge = [&] {
        return window->outlineModel()
            ->data(window->outlineModel()->indexForNode(mentions), RTOutlineModel::CountRole)
            .toInt();
    };
    ASSERT_TRUE(waitFor([&] { return badge() == 3; }));

    const auto markItem = [&](QMenu *menu) -> QAction * {
        for (QAction *a : menu->actions()) {
            if (a->data().toInt() == RTNodeMenuTag::MarkAllAsSeen)
                return a;
        }
        return nullptr;
    };
    std::unique_ptr<QMenu> menu(window->buildNodeMenu(mentions, nullptr));
    QAction *mark = markItem(menu.get());
    ASSERT_NE(mark, nullptr);
    ASSERT_TRUE(mark->isEnabled());
    mark->trigger();
    EXPECT_TRUE(waitFor([&] { return badge() == 0; }));
    std::unique_ptr<QMenu> after(window->buildNodeMenu(mentions, nullptr));
    ASSERT_NE(markItem(after.get()), nullptr);
    EXPECT_FALSE(markItem(after.get())->isEnabled());
}

TEST_F(MainWindowTest, KeysReachCombinedViewsSourcesAndSearch)
{
    const QList<RTTreeNode *> views = manager->visibleCombinedToolbarTreeNodes();
    ASSERT_GE(views.size(), 3);
    ASSERT_EQ(window->combinedButtons().size(), views.size());
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(window, Qt::Key(Qt::Key_1 + i), Qt::ControlModifier);
        EXPECT_EQ(window->currentNode(), views.at(i)) << i;
        EXPECT_TRUE(window->combinedButtons().at(i)->isChecked()) << i;
    }
    // Choosing a source in the outline shows it.
    RTTreeNode *mentions = child(QStringLiteral("alice"), UiRequestType::Mentions);
    window->outlineView()->setCurrentIndex(window->outlineModel()->indexForNode(mentions));
    EXPECT_EQ(window->currentNode(), mentions);
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("Mentions")));

    // Ctrl+F then a term opens a temporary search; Escape goes back to the source.
    QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(window->searchField()->hasFocus() || QApplication::focusWidget() == nullptr);
    window->searchField()->setText(QStringLiteral("#winter"));
    QTest::keyClick(window->searchField(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return window->temporaryNode() != nullptr; }));
    EXPECT_EQ(window->currentNode(), window->temporaryNode());
    EXPECT_TRUE(window->temporaryNode()->name().contains(QStringLiteral("winter")));
    window->action(QStringLiteral("closeTemporary"))->trigger();
    EXPECT_EQ(window->temporaryNode(), nullptr);
    EXPECT_EQ(window->currentNode(), mentions);
}

} // namespace

namespace {

class RecordingFilterActions : public RTFilterActions
{
public:
    RecordingFilterActions() { RTFilterActions::setShared(this); }
    ~RecordingFilterActions() override { RTFilterActions::setShared(nullptr); }
    QStringList calls;
    void addMessageMenuItems(QMenu &menu, const RTMessagePtr &message) override
    {
        calls << QStringLiteral("message ") + (message ? message->messageId() : QString());
        menu.addAction(QStringLiteral("Mute @bob"));
    }
    void addNodeMenuItems(QMenu &, RTTreeNode *node) override
    {
        calls << QStringLiteral("node ") + (node ? node->name() : QString());
    }
    void showFilters(QWidget *) override { calls << QStringLiteral("filters"); }
};

QStringList menuTitles(const QMenu &menu)
{
    QStringList titles;
    for (QAction *a : menu.actions())
        if (!a->isSeparator())
            titles << a->text();
    return titles;
}

TEST_F(MainWindowTest, FilterItemsComeFromTheInstalledFilterActions)
{
    auto received = message(alice.get(), QStringLiteral("1"), QStringLiteral("hi @alice"),
                            RTTemporaryFlag::IsMention, 1);
    manager->allTreeNodesAddMessages({received}, UiRequestType::Mentions, {});
    RTTreeNode *mentions = child(QStringLiteral("alice"), UiRequestType::Mentions);
    ASSERT_TRUE(mentions);
    window->showNode(mentions);
    currentView()->selectRow(0);

    // Without the companion's actions: one disabled item that says why.
    window->updateActions();
    EXPECT_FALSE(enabled("showFilters"));
    std::unique_ptr<QMenu> plain(window->buildMessageMenu(window));
    QAction *off = nullptr;
    for (QAction *a : plain->actions())
        if (a->text() == QStringLiteral("Mute Author"))
            off = a;
    ASSERT_TRUE(off);
    EXPECT_FALSE(off->isEnabled());

    RecordingFilterActions filters;
    window->updateActions();
    ASSERT_TRUE(enabled("showFilters"));
    std::unique_ptr<QMenu> menu(window->buildMessageMenu(window));
    const QStringList titles = menuTitles(*menu);
    EXPECT_TRUE(titles.contains(QStringLiteral("Mute @bob")));
    EXPECT_FALSE(titles.contains(QStringLiteral("Mute Author")));
    // The filter items sit before Delete, the last item.
    EXPECT_EQ(titles.last(), window->action(QStringLiteral("deleteMessage"))->text());
    std::unique_ptr<QMenu> nodeMenu(window->buildNodeMenu(mentions, window));
    window->action(QStringLiteral("showFilters"))->trigger();
    EXPECT_EQ(filters.calls,
              (QStringList{QStringLiteral("message 1"), QStringLiteral("node ") + mentions->name(),
                           QStringLiteral("filters")}));
}

} // namespace

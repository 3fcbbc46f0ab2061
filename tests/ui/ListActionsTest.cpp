#include "UiTestSupport.h"
#include "platform/fake/FakeAlerts.h"
#include "timelines/RTTreeNodeSearch.h"
#include "timelines/RTTreeNodeTwitterListsTimeline.h"
#include "ui/RTListActions.h"
#include "ui/RTListSheet.h"
#include "ui/RTMainWindow.h"
#include "ui/RTWindowLayer.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

namespace {

// An account whose requests are recorded instead of sent.
class RecordingAccount : public RTServiceTwitter
{
public:
    struct Request
    {
        qint32 type = 0;
        QVariantMap form;
        QVariantMap userInfo;
    };
    QList<Request> requests;

protected:
    RTRequestOperationPtr queueRequest(qint32 requestType, RTRequestDelegatePtr,
                                       const QVariantMap &form, const QVariantMap &userInfo,
                                       int) override
    {
        requests.append({requestType, form, userInfo});
        return std::make_shared<RTRequestOperationTwitter>();
    }
};

RTListTwitterPtr makeList(RTServiceTwitter *account, const char *id, const char *owner, bool mine)
{
    auto list = std::make_shared<RTListTwitter>(QString::fromLatin1(id));
    auto user = RTUserTwitter::create(QString::fromLatin1(id));
    user->setScreenName(QString::fromLatin1(owner));
    list->setUser(user);
    list->setIsMine(mine);
    list->setSlugName(QStringLiteral("tea-time"));
    list->setFullName(QStringLiteral("@%1/tea-time").arg(QString::fromLatin1(owner)));
    list->setService(account);
    return list;
}

QStringList titles(const QMenu *menu)
{
    QStringList out;
    for (const QAction *a : menu->actions())
        if (!a->isSeparator())
            out << a->text();
    return out;
}

QAction *actionTitled(const QMenu *menu, const QString &title)
{
    for (QAction *a : menu->actions())
        if (a->text() == title)
            return a;
    return nullptr;
}

class ListActionsTest : public UiTestBase
{
protected:
    void SetUp() override
    {
        UiTestBase::SetUp();
        account = std::make_shared<RecordingAccount>();
        account->setServiceId(QStringLiteral("alice"));
        account->setIsNewlyAdded(false);
        auto me = RTUserTwitter::create(QStringLiteral("1"));
        me->setScreenName(QStringLiteral("alice"));
        account->setMyself(me);
        registry.setServices({account});
        mine = makeList(account.get(), "11", "alice", true);
        others = makeList(account.get(), "12", "bob", false);
        account->setListsArray({mine, others});
        startManager();
        layer = std::make_unique<RTWindowLayer>();
        layer->setAutomaticAnswer(0);
        layer->setManager(manager.get());
        layer->loadDefaultMainWindow();
        window = layer->mainWindow();
        ASSERT_NE(window, nullptr);
        actions = window->listActions();
        ASSERT_NE(actions, nullptr);
        // After the window layer, which answers alerts itself.
        Alerts::setShared(&alerts);
    }
    void TearDown() override
    {
        Alerts::setShared(nullptr);
        layer.reset();
        UiTestBase::TearDown();
    }

    RTTreeNode *nodeOfList(const RTListTwitterPtr &list) const
    {
        for (RTTreeNode *node : manager->allTreeNodes())
            if (auto *n = qobject_cast<RTTreeNodeTwitterListsTimeline *>(node);
                n && n->listObject() == list)
                return n;
        return nullptr;
    }

    FakeAlerts alerts;
    std::shared_ptr<RecordingAccount> account;
    RTListTwitterPtr mine;
    RTListTwitterPtr others;
    std::unique_ptr<RTWindowLayer> layer;
    RTMainWindow *window = nullptr;
    RTListActions *actions = nullptr;
};

} // namespace

TEST_F(ListActionsTest, TheListSheetSendsWhatWasTypedAndKeepsABadName)
{
    RTListSheet *sheet = actions->showNewListSheet(nullptr);
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(sheet->accountBox()); // one account: nothing to choose
    EXPECT_FALSE(sheet->saveButton()->isEnabled());
    for (QWidget *w : sheet->findChildren<QWidget *>()) {
        if (qobject_cast<QLineEdit *>(w) || qobject_cast<QCheckBox *>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
        }
    }

    sheet->nameField()->setText(QStringLiteral("!!!"));
    EXPECT_TRUE(sheet->saveButton()->isEnabled());
    sheet->accept();
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_FALSE(sheet->problemLabel()->isHidden());
    EXPECT_TRUE(account->requests.isEmpty());

    sheet->nameField()->setText(QStringLiteral(" Tea Time "));
    EXPECT_TRUE(sheet->problemLabel()->isHidden());
    sheet->descriptionField()->setText(QStringLiteral("cups"));
    sheet->privateBox()->setChecked(true);
    QTest::keyClick(sheet->nameField(), Qt::Key_Return);
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    ASSERT_EQ(account->requests.size(), 1);
    EXPECT_EQ(account->requests.at(0).type, RTTwitterRequestCreateList);
    EXPECT_EQ(account->requests.at(0).form,
              (QVariantMap{{"name", "Tea Time"}, {"mode", "private"}, {"description", "cups"}}));

    // Editing starts from the list; a description left alone is not sent.
    RTListSheet *edit = actions->showEditListSheet(mine);
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->nameField()->text(), QStringLiteral("tea time"));
    edit->nameField()->setText(QStringLiteral("Coffee"));
    edit->accept();
    ASSERT_EQ(account->requests.size(), 2);
    EXPECT_EQ(account->requests.at(1).type, RTTwitterRequestUpdateList);
    EXPECT_EQ(account->requests.at(1).form, (QVariantMap{{"name", "Coffee"}, {"mode", "public"}}));
    EXPECT_FALSE(actions->showEditListSheet(others)); // not ours to change
}

TEST_F(ListActionsTest, NodeAndMessageMenusOfferWhatTheListAllows)
{
    RTTreeNode *own = nodeOfList(mine);
    RTTreeNode *followed = nodeOfList(others);
    ASSERT_TRUE(own && followed);
    std::unique_ptr<QMenu> ownMenu(window->buildNodeMenu(own, nullptr));
    for (const char *title : {"Edit List…", "Add Member…", "Remove Member…", "Delete List…"})
        EXPECT_TRUE(titles(ownMenu.get()).contains(QString::fromUtf8(title))) << title;
    std::unique_ptr<QMenu> followedMenu(window->buildNodeMenu(followed, nullptr));
    EXPECT_FALSE(titles(followedMenu.get()).contains(QStringLiteral("Delete List…")));
    QAction *unsubscribe =
        actionTitled(followedMenu.get(), QStringLiteral("Unsubscribe from @bob/tea-time"));
    ASSERT_TRUE(unsubscribe);
    unsubscribe->trigger();
    ASSERT_EQ(account->requests.size(), 1);
    EXPECT_EQ(account->requests.at(0).type, RTTwitterRequestUnsubscribeList);

    // Deleting asks first; only a confirmation sends.
    alerts.confirmReply = false;
    actionTitled(ownMenu.get(), QStringLiteral("Delete List…"))->trigger();
    EXPECT_EQ(account->requests.size(), 1);
    alerts.confirmReply = true;
    actionTitled(ownMenu.get(), QStringLiteral("Delete List…"))->trigger();
    ASSERT_EQ(account->requests.size(), 2);
    EXPECT_EQ(account->requests.at(1).type, RTTwitterRequestDestroyList);
    ASSERT_EQ(alerts.confirmations.size(), 2);
    EXPECT_TRUE(alerts.confirmations.at(0).message.contains(QStringLiteral("@alice/tea-time")));

    // The author of a message goes to one of the account's own lists.
    window->show();
    const auto tweet = message(account.get(), QStringLiteral("5"), QStringLiteral("hi"),
                               RTTemporaryFlag::IsHome, 0, QStringLiteral("carol"));
    std::unique_ptr<QMenu> none(window->buildMessageMenu(nullptr));
    actions->addMessageItems(tweet, none.get());
    QAction *add = actionTitled(none.get(), QStringLiteral("Add @carol to List…"));
    ASSERT_TRUE(add);
    EXPECT_TRUE(add->isEnabled());
    RTListMemberSheet *sheet = actions->showMemberSheet(RTListMemberSheet::Mode::Add, account.get(),
                                                        nullptr, QStringLiteral("carol"));
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->listBox()->count(), 1); // others' lists are not offered
    sheet->screenNameField()->setText(QStringLiteral("carol smith"));
    sheet->accept();
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(account->requests.size(), 2);
    sheet->screenNameField()->setText(QStringLiteral("@carol"));
    sheet->accept();
    ASSERT_EQ(account->requests.size(), 3);
    EXPECT_EQ(account->requests.at(2).type, RTTwitterRequestAddListMember);
    EXPECT_EQ(account->requests.at(2).form.value("id").toString(), QStringLiteral("carol"));
    EXPECT_EQ(account->requests.at(2).userInfo.value("listObject").value<RTListTwitterPtr>(), mine);
}

TEST_F(ListActionsTest, ATemporarySearchIsSavedWithItsResultsOnce)
{
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_FALSE(window->findChild<QAction *>(QStringLiteral("saveSearch"))->isEnabled());
    window->openSearch(QStringLiteral("tea"));
    ASSERT_TRUE(waitFor([&] { return window->temporaryNode() != nullptr; }));
    auto *node = qobject_cast<RTTreeNodeSearch *>(window->temporaryNode());
    ASSERT_TRUE(node);
    QAction *save = window->findChild<QAction *>(QStringLiteral("saveSearch"));
    ASSERT_TRUE(save);
    window->updateActions();
    EXPECT_TRUE(save->isEnabled());
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(account->requests.size(), 1);
    EXPECT_EQ(account->requests.at(0).type, RTTwitterRequestCreateSavedSearch);
    EXPECT_EQ(account->requests.at(0).form.value("query").toString(), QStringLiteral("tea"));
    EXPECT_EQ(account->requests.at(0).userInfo.value("searchObject").value<RTSearchTwitterPtr>(),
              node->searchObject());

    // Once the account has it, it is not saved again.
    auto saved = std::make_shared<RTSearchTwitter>();
    saved->setSearchId(QStringLiteral("9"));
    saved->setSearchName(QStringLiteral("tea"));
    saved->setSearchQuery(QStringLiteral("tea"));
    account->setSavedSearchesArray({saved});
    EXPECT_FALSE(actions->saveSearch(node));
    EXPECT_EQ(account->requests.size(), 1);
    // Nor is a saved search's own node.
    for (RTTreeNode *n : manager->allTreeNodes()) {
        if (auto *s = qobject_cast<RTTreeNodeSearch *>(n); s && s->searchObject() == saved) {
            EXPECT_FALSE(actions->saveSearch(s));
        }
    }
}

// The message menu's mute, highlight and group items and the Filters pane against a real
// talvo-sandbox: what the user chooses reaches the service and comes back to the messages.
#include "../../twitter/MappingTestSupport.h"
#include "support/SandboxFixture.h"
#include "support/TestSupport.h"

#include "accounts/RTServiceRegistry.h"
#include "companion/CompanionRegistration.h"
#include "companion/RTCompanionClient.h"
#include "companion/RTCompanionRequestTypes.h"
#include "foundation/HostProfile.h"
#include "foundation/RTGlobalVariables.h"
#include "http/HttpRequest.h"
#include "timelines/RTNodeMenu.h"
#include "timelines/RTTreeNodeKinds.h"
#include "twitter/RTTwitterRequestTypes.h"
#include "twitter/TwitterRegistration.h"
#include "ui/filters/RTCompanionFilterActions.h"
#include "ui/filters/RTFiltersModel.h"
#include "ui/filters/RTFiltersPane.h"
#include "ui/filters/RTGroupNameSheet.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>

namespace {

class FilterMenusSandbox : public MappingTestBase
{
protected:
    static void SetUpTestSuite()
    {
        s_sandbox = new SandboxFixture;
        SandboxFixture::Options options;
        options.users = 4;
        options.activity = 0;
        if (!s_sandbox->start(options))
            s_error = s_sandbox->errorString();
        registerTwitterRequestClasses();
        registerCompanionRequestClasses();
    }
    static void TearDownTestSuite()
    {
        delete s_sandbox;
        s_sandbox = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_error.isEmpty()) << s_error.toStdString();
        MappingTestBase::SetUp();
        // Filters made by the sandbox during the test have begun on this clock.
        clock.setNow(
            QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + 2, Qt::UTC));
        HostProfile::setCurrent(s_sandbox->profile());
        HttpRequest::setDefaultCaBundle(s_sandbox->caBundle());
        s_sandbox->writeFaults(QByteArray());
        account = std::make_shared<RTServiceTwitter>();
        account->setServiceId(QStringLiteral("me"));
        account->setIsNewlyAdded(false);
        auto myself = RTUserTwitter::create(QStringLiteral("1"));
        myself->setScreenName(QStringLiteral("me"));
        account->setMyself(myself);
        accounts.append(account.get());
        registry.setServices({account, std::make_shared<RTServiceTalvo>()});
        manager = std::make_unique<RTTreeNodeManager>(registry);
        client = std::make_unique<RTCompanionClient>(registry);
        client->setNodeManager(manager.get());
        QObject::connect(
            client.get(), &RTCompanionClient::requestFinished,
            [this](const QVariantMap &result, bool ok) {
                finished.append({result.value(QString::fromLatin1(kRTRequestType)).toInt(), ok});
            });
        actions = std::make_unique<RTCompanionFilterActions>(
            [this]() -> RTCompanionClient & { return *client; },
            [this]() -> RTServiceRegistry & { return registry; });
        client->updateConfigurations();
        ASSERT_TRUE(waitFor(RTTalvoRequestConfigurations));
    }
    void TearDown() override
    {
        actions.reset();
        client.reset();
        manager.reset();
        registry.setServices({});
        HostProfile::setCurrent(HostProfile::real());
        HttpRequest::setDefaultCaBundle(QString());
        MappingTestBase::TearDown();
    }

    bool waitFor(qint32 type, bool *ok = nullptr)
    {
        const qsizetype from = consumed;
        const bool seen = waitUntil(
            [&] {
                for (qsizetype i = from; i < finished.size(); ++i)
                    if (finished.at(i).first == type)
                        return true;
                return false;
            },
            15000);
        for (qsizetype i = from; i < finished.size(); ++i)
            if (finished.at(i).first == type) {
                if (ok)
                    *ok = finished.at(i).second;
                consumed = i + 1;
            }
        return seen;
    }

    RTMessagePtr deliver(const QString &id, const QString &userId, const QString &text)
    {
        const QList<RTMessagePtr> messages =
            feed(*account, RTTwitterRequestHomeTimeline, {status(id, userId, text, QString(), 0)})
                .allMessagesAsBase();
        manager->allTreeNodesAddMessages(messages, RTTwitterRequestHomeTimeline, {});
        return messages.value(0);
    }

    RTTreeNode *mutedNode() const
    {
        for (RTTreeNode *node : manager->getTalvoParentNode()->childNodes())
            if (qobject_cast<RTTreeNodeMutes *>(node))
                return node;
        return nullptr;
    }

    // The titles of a submenu of the message's menu, and the action with the given title.
    static QMenu *submenu(QMenu &menu, const char *objectName)
    {
        return menu.findChild<QMenu *>(QString::fromLatin1(objectName));
    }
    static QStringList titles(QMenu *menu)
    {
        QStringList list;
        for (QAction *a : menu ? menu->actions() : QList<QAction *>())
            list << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return list;
    }
    static QAction *item(QMenu *menu, const QString &title)
    {
        for (QAction *a : menu ? menu->actions() : QList<QAction *>())
            if (a->text() == title)
                return a;
        return nullptr;
    }

    static inline SandboxFixture *s_sandbox = nullptr;
    static inline QString s_error;
    RTServiceRegistry registry;
    std::shared_ptr<RTServiceTwitter> account;
    std::unique_ptr<RTTreeNodeManager> manager;
    std::unique_ptr<RTCompanionClient> client;
    std::unique_ptr<RTCompanionFilterActions> actions;
    QList<QPair<qint32, bool>> finished;
    qsizetype consumed = 0;
};

TEST_F(FilterMenusSandbox, MutingTheAuthorFromTheMenuMovesTheMessageToMutedUntilThePaneEndsIt)
{
    const RTMessagePtr message =
        deliver(QStringLiteral("900"), QStringLiteral("4242"), QStringLiteral("hello #Sandbox"));
    ASSERT_TRUE(message);
    RTTreeNode *muted = mutedNode();
    ASSERT_TRUE(muted);
    EXPECT_TRUE(muted->contentSnapshot().isEmpty());

    QMenu menu;
    actions->addMessageMenuItems(menu, message);
    QMenu *mute = submenu(menu, "muteAuthorMenu");
    ASSERT_TRUE(mute);
    EXPECT_EQ(mute->title(), QStringLiteral("Mute @u4242"));
    // The periods in their order, no status line and no cancel item for a new mute.
    EXPECT_EQ(titles(mute), (QStringList{"1 Hour", "2 Hours", "6 Hours", "12 Hours", "24 Hours",
                                         "48 Hours", "7 Days", "30 Days", "365 Days", "Forever"}));
    ASSERT_TRUE(submenu(menu, "muteHashtagMenu"));
    EXPECT_EQ(submenu(menu, "muteHashtagMenu")->title(), QStringLiteral("#Sandbox"));

    item(mute, QStringLiteral("1 Hour"))->trigger();
    bool ok = false;
    ASSERT_TRUE(waitFor(RTTalvoRequestCreateMute, &ok));
    ASSERT_TRUE(ok);
    // The pass over the stored messages runs in the background.
    EXPECT_TRUE(waitUntil([&] { return muted->contentSnapshot().size() == 1; }, 5000));
    EXPECT_TRUE(message->isMuted());
    ASSERT_EQ(muted->contentSnapshot().size(), 1);
    EXPECT_EQ(muted->contentSnapshot().first()->messageId(), QStringLiteral("900"));

    // Now the menu extends the running mute and offers to end it.
    QMenu again;
    actions->addMessageMenuItems(again, message);
    QMenu *extend = submenu(again, "muteAuthorMenu");
    ASSERT_TRUE(extend);
    EXPECT_EQ(extend->title(), QStringLiteral("Extend Mute of @u4242"));
    const QStringList extendTitles = titles(extend);
    ASSERT_GE(extendTitles.size(), 3);
    EXPECT_TRUE(extendTitles.first().startsWith(QStringLiteral("Mute Time Remaining: 59 Minute")))
        << extendTitles.first().toStdString();
    EXPECT_FALSE(extend->actions().first()->isEnabled());
    EXPECT_EQ(extendTitles.last(), QStringLiteral("Cancel Remaining Mute Period"));

    // The pane lists it; Remove ends it on the service and the message comes back.
    RTFiltersPane pane(*client, registry);
    pane.show();
    ASSERT_EQ(pane.model()->rowCount(), 1);
    EXPECT_EQ(pane.model()->factorTextAt(0), QStringLiteral("@u4242"));
    pane.view()->setCurrentIndex(pane.model()->index(0, 0));
    // A failing service: the pane says so, and the mute stays to be removed again.
    s_sandbox->writeFaults("path /v1/mute/* status=500\n");
    pane.removeButton()->click();
    ASSERT_TRUE(waitFor(RTTalvoRequestDestroyMute, &ok));
    EXPECT_FALSE(ok);
    EXPECT_EQ(pane.statusText(),
              QStringLiteral("Could not remove it: Cannot Connect to The Talvo Network"));
    EXPECT_EQ(pane.model()->rowCount(), 1);
    EXPECT_TRUE(pane.removeButton()->isEnabled());
    EXPECT_TRUE(message->isMuted());
    s_sandbox->writeFaults(QByteArray());
    pane.removeButton()->click();
    EXPECT_FALSE(pane.removeButton()->isEnabled()) << "no second request while one runs";
    ASSERT_TRUE(waitFor(RTTalvoRequestDestroyMute, &ok));
    EXPECT_TRUE(ok);
    EXPECT_TRUE(pane.isShowingEmptyState());
    EXPECT_TRUE(pane.statusText().isEmpty()) << pane.statusText().toStdString();
    EXPECT_TRUE(waitUntil([&] { return muted->contentSnapshot().isEmpty(); }, 5000));
    EXPECT_FALSE(message->isMuted());
}

TEST_F(FilterMenusSandbox, HighlightingAndGroupItemsReachTheService)
{
    const RTMessagePtr message =
        deliver(QStringLiteral("910"), QStringLiteral("555"), QStringLiteral("plain"));
    ASSERT_TRUE(message);
    QMenu menu;
    actions->addMessageMenuItems(menu, message);
    EXPECT_FALSE(submenu(menu, "muteHashtags")) << "a text without hashtags";
    QMenu *highlight = submenu(menu, "highlightAuthorMenu");
    ASSERT_TRUE(highlight);
    item(highlight, QStringLiteral("2 Hours"))->trigger();
    bool ok = false;
    ASSERT_TRUE(waitFor(RTTalvoRequestCreateHighlight, &ok));
    ASSERT_TRUE(ok);
    EXPECT_TRUE(waitUntil([&] { return message->isHighlighted(); }, 5000));
    const RTHighlightObjectPtr running =
        client->filters().findActiveHighlight(QStringLiteral("USER"), QStringLiteral("555"));
    ASSERT_TRUE(running);
    EXPECT_EQ(running->duration(), 7200u);

    // Groups need a companion account: without one the items are there but disabled.
    EXPECT_FALSE(submenu(menu, "addToGroupMenu")->isEnabled());
    client->service()->setServiceId(QStringLiteral("alice"));
    client->service()->setServicePassword(QString::fromLatin1(SandboxFixture::kPassword));
    const RTGroupObjectPtr group = RTCompanionClient::newGroupWithService(
        account.get(), QStringLiteral("Friends"), {QStringLiteral("14007")});
    client->createGroupWithGroupObject(group);
    ASSERT_TRUE(waitFor(RTTalvoRequestCreateGroup, &ok));
    ASSERT_TRUE(ok);

    QMenu withGroups;
    actions->addMessageMenuItems(withGroups, message);
    QMenu *add = submenu(withGroups, "addToGroupMenu");
    ASSERT_TRUE(add);
    EXPECT_TRUE(add->isEnabled());
    EXPECT_EQ(titles(add), (QStringList{"Friends", "-", "New Group with @u555…"}));
    EXPECT_FALSE(submenu(withGroups, "removeFromGroupMenu")) << "not a member yet";
    item(add, QStringLiteral("Friends"))->trigger();
    ASSERT_TRUE(waitFor(RTTalvoRequestAddMember, &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(group->members(), (QStringList{"14007", "555"}));

    QMenu member;
    actions->addMessageMenuItems(member, message);
    QMenu *remove = submenu(member, "removeFromGroupMenu");
    ASSERT_TRUE(remove);
    EXPECT_EQ(titles(remove), QStringList{"Friends"});
    EXPECT_EQ(titles(submenu(member, "addToGroupMenu")), (QStringList{"New Group with @u555…"}));
    item(remove, QStringLiteral("Friends"))->trigger();
    ASSERT_TRUE(waitFor(RTTalvoRequestRemoveMember, &ok));
    EXPECT_EQ(group->members(), QStringList{"14007"});

    // The group's own node offers its members by name for removal.
    RTTreeNode *node = group->treeNodeForSelf();
    ASSERT_TRUE(node);
    QMenu nodeMenu;
    actions->addNodeMenuItems(nodeMenu, node);
    EXPECT_TRUE(item(&nodeMenu, QStringLiteral("New Group…")));
    EXPECT_EQ(titles(nodeMenu.findChild<QMenu *>(QStringLiteral("removeMemberMenu"))),
              QStringList{"14007"});

    client->removeGroupWithGroupObject(group);
    ASSERT_TRUE(waitFor(RTTalvoRequestRemoveGroup, &ok));
}

} // namespace

namespace {

RTGroupNameSheet *openSheet()
{
    RTGroupNameSheet *found = nullptr;
    waitUntil(
        [&found] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *sheet = qobject_cast<RTGroupNameSheet *>(w); sheet && sheet->isVisible())
                    found = sheet;
            return found != nullptr;
        },
        2000);
    return found;
}

TEST_F(FilterMenusSandbox, GroupSheetsFromTheSourceMenusCreateAndRenameGroups)
{
    client->service()->setServiceId(QStringLiteral("alice"));
    client->service()->setServicePassword(QString::fromLatin1(SandboxFixture::kPassword));
    RTTreeNode *host = nullptr;
    for (RTTreeNode *root : manager->rootTreeNodes())
        if (root->service() == account.get())
            host = root->getChildByRequestType(RTTwitterRequestUserTimeline);
    ASSERT_TRUE(host) << "the account's Groups host";

    // "New Group…" of the Groups host asks for a name and creates the group.
    QMenu hostMenu;
    actions->addNodeMenuItems(hostMenu, host);
    QAction *create = item(&hostMenu, QStringLiteral("New Group…"));
    ASSERT_TRUE(create);
    ASSERT_TRUE(create->isEnabled());
    create->trigger();
    RTGroupNameSheet *sheet = openSheet();
    ASSERT_TRUE(sheet);
    sheet->nameField()->setText(QStringLiteral("  Close   friends "));
    sheet->accept();
    bool ok = false;
    ASSERT_TRUE(waitFor(RTTalvoRequestCreateGroup, &ok));
    ASSERT_TRUE(ok);
    const QList<RTGroupObjectPtr> groups = client->groupsOfService(account.get());
    ASSERT_EQ(groups.size(), 1);
    const RTGroupObjectPtr group = groups.first();
    EXPECT_EQ(group->groupName(), QStringLiteral("Close friends"));
    EXPECT_FALSE(group->groupId().isEmpty());

    // The group node's own "Rename..." opens the sheet with the current name.
    RTTreeNode *node = group->treeNodeForSelf();
    ASSERT_TRUE(node);
    RTNodeMenu *nodeMenu = node->menu();
    ASSERT_TRUE(nodeMenu);
    const auto rename = std::find_if(nodeMenu->items.begin(), nodeMenu->items.end(),
                                     [](const RTNodeMenuItem &i) { return i.tag == 1; });
    ASSERT_NE(rename, nodeMenu->items.end());
    ASSERT_TRUE(rename->enabled);
    // The hook is there once the window has used the actions.
    QMenu unused;
    actions->addNodeMenuItems(unused, node);
    rename->action();
    sheet = openSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->name(), QStringLiteral("Close friends"));
    EXPECT_FALSE(sheet->canAccept()) << "the name is unchanged";
    sheet->nameField()->setText(QStringLiteral("Family"));
    sheet->accept();
    ASSERT_TRUE(waitFor(RTTalvoRequestRenameGroup, &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(group->groupName(), QStringLiteral("Family"));

    client->removeGroupWithGroupObject(group);
    ASSERT_TRUE(waitFor(RTTalvoRequestRemoveGroup, &ok));
}

} // namespace

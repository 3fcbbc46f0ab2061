// The window's parts around the lists: conversations, saved window state, the status
// line and error list, links, pictures and icons.
#include "UiTestSupport.h"
#include "network/RTErrorMessageManager.h"
#include "network/RTStatusManager.h"
#include "platform/DesktopApplication.h"
#include "text/RTMessageTextParser.h"
#include "ui/RTAvatarCache.h"
#include "ui/RTErrorListWindow.h"
#include "ui/RTListViewController.h"
#include "ui/RTMainWindow.h"
#include "ui/RTMessageListModel.h"
#include "ui/RTMessageListView.h"
#include "ui/RTUiIcons.h"
#include "ui/RTWindowLayer.h"

#include <QAction>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

namespace {

class RecordingDesktop : public DesktopApplication
{
public:
    RecordingDesktop() { DesktopApplication::setShared(this); }
    ~RecordingDesktop() override { DesktopApplication::setShared(nullptr); }
    QList<QUrl> opened;
    bool isActive() const override { return true; }
    void activateIgnoringOtherApps() override {}
    void hide() override {}
    void terminate() override {}
    void beep() override {}
    bool openUrl(const QUrl &url, bool) override
    {
        opened << url;
        return true;
    }
    bool launchApplication(const QString &) override { return true; }
    int quitApplication(const QString &) override { return 0; }
    void addStatusItem() override {}
};

class WindowPartsTest : public UiTestBase
{
protected:
    void SetUp() override
    {
        UiTestBase::SetUp();
        alice = addAccount(QStringLiteral("alice"));
        startManager();
        openWindow();
    }
    void TearDown() override
    {
        layer.reset();
        RTStatusManager::sharedManager().removeAllStatuses();
        RTErrorMessageManager::sharedManager().removeAllErrorMessages();
        UiTestBase::TearDown();
    }
    void openWindow()
    {
        layer = std::make_unique<RTWindowLayer>();
        layer->setAutomaticAnswer(0);
        layer->setManager(manager.get());
        layer->loadDefaultMainWindow();
        window = layer->mainWindow();
    }
    RTMessageListView *view() const { return window->currentController()->listView(); }

    std::unique_ptr<RTWindowLayer> layer;
    std::shared_ptr<RTServiceTwitter> alice;
    RTMainWindow *window = nullptr;
};

TEST_F(WindowPartsTest, EnterOpensTheConversationUnderItsMessageAndFoldsItBack)
{
    // The parent is already stored, so the conversation needs no request.
    auto parent = message(alice.get(), QStringLiteral("100"), QStringLiteral("how is it?"),
                          RTTemporaryFlag::IsHome, 30, QStringLiteral("alice"));
    parent->setIsFullyDownloaded(true);
    auto reply = message(alice.get(), QStringLiteral("101"), QStringLiteral("@alice fine"),
                         RTTemporaryFlag::IsMention | RTTemporaryFlag::IsReply, 10);
    reply->setInReplyToMessageId(QStringLiteral("100"));
    auto other = message(alice.get(), QStringLiteral("102"), QStringLiteral("@alice hey"),
                         RTTemporaryFlag::IsMention, 5);
    RTServiceTwitter::MessagesDictionary stored;
    for (const auto &m : {parent, reply, other})
        stored.insert(m->messageId(), m);
    alice->setMessagesDictionary(stored);
    manager->allTreeNodesAddMessages({reply, other}, UiRequestType::Mentions, {});

    window->showNode(child(QStringLiteral("alice"), UiRequestType::Mentions));
    RTMessageListModel &model = window->currentController()->model();
    ASSERT_EQ(model.rowCount(), 2);
    view()->setFocus();
    view()->selectRow(model.rowOfMessage(QStringLiteral("101")));
    QTest::keyClick(view(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return model.rowCount() == 3; }));
    EXPECT_EQ(model.messageAt(2)->messageId(), QStringLiteral("100"));
    EXPECT_TRUE(model.isConversationRow(2));
    // Enter on the same message folds the conversation back.
    view()->selectRow(model.rowOfMessage(QStringLiteral("101")));
    QTest::keyClick(view(), Qt::Key_Return);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_FALSE(model.isConversationRow(1));
}

TEST_F(WindowPartsTest, SizeSplitAndSelectedSourceSurviveARestart)
{
    RTTreeNode *mentions = child(QStringLiteral("alice"), UiRequestType::Mentions);
    window->showNode(mentions);
    window->resize(1010, 640);
    auto *splitter = window->findChild<QSplitter *>();
    ASSERT_NE(splitter, nullptr);
    splitter->setSizes({250, 760});
    const QList<int> sizes = splitter->sizes();
    window->saveWindowState();

    openWindow(); // a new window over the same tree, as after a restart
    EXPECT_EQ(window->currentNode(), mentions);
    EXPECT_EQ(window->size(), QSize(1010, 640));
    EXPECT_EQ(window->findChild<QSplitter *>()->sizes(), sizes);
    // The list lives on in the new window, wired to it: arrivals show and selecting one
    // enables the message actions there.
    manager->allTreeNodesAddMessages(
        {message(alice.get(), QStringLiteral("7"), QStringLiteral("@alice hi"),
                 RTTemporaryFlag::IsMention)},
        UiRequestType::Mentions, {});
    ASSERT_TRUE(waitFor([&] { return window->currentController()->model().rowCount() == 1; }));
    view()->selectRow(0);
    EXPECT_TRUE(window->action(QStringLiteral("copyText"))->isEnabled());

    // A source that no longer exists falls back to the first account's Home.
    SettingsStore::shared().setValue(
        QString::fromLatin1(TAMainWindowSelectedNodeKey),
        QVariantMap{{QStringLiteral("nodeName"), QStringLiteral("gone")}});
    openWindow();
    EXPECT_EQ(window->currentNode(), child(QStringLiteral("alice"), UiRequestType::Home));
}

TEST_F(WindowPartsTest, StatusLineAndErrorListFollowTheirManagers)
{
    int owner = 0;
    RTStatusManager::sharedManager().addStatusWithObject(
        &owner, QStringLiteral("poll"), QStringLiteral("Refreshing alice's Home…"), true);
    ASSERT_TRUE(waitFor([&] {
        return window->statusLabel()->text() == QStringLiteral("Refreshing alice's Home…");
    }));
    RTStatusManager::sharedManager().removeStatusForObject(&owner, QStringLiteral("poll"));
    ASSERT_TRUE(waitFor([&] { return window->statusLabel()->text().isEmpty(); }));

    EXPECT_FALSE(window->errorButton()->isVisibleTo(window));
    RTErrorMessageManager &errors = RTErrorMessageManager::sharedManager();
    errors.postErrorMessage(
        std::make_shared<RTErrorMessage>(QStringLiteral("first failure"), QVariantMap()),
        QStringLiteral("a"), false);
    errors.postErrorMessage(
        std::make_shared<RTErrorMessage>(QStringLiteral("second failure"), QVariantMap()),
        QStringLiteral("b"), false);
    ASSERT_TRUE(
        waitFor([&] { return window->errorButton()->text() == QStringLiteral("2 errors"); }));
    EXPECT_TRUE(window->errorButton()->isVisibleTo(window));
    RTErrorListWindow *list = window->errorListWindow();
    ASSERT_EQ(list->list()->count(), 2);
    EXPECT_EQ(list->list()->item(0)->text(), QStringLiteral("second failure")) << "newest first";
    errors.removeAllErrorMessages();
    ASSERT_TRUE(waitFor([&] { return list->list()->count() == 0; }));
    EXPECT_FALSE(window->errorButton()->isVisibleTo(window));
}

TEST_F(WindowPartsTest, LinksOpenInTheBrowserOrAsSearches)
{
    RecordingDesktop desktop;
    RTTreeNode *mentions = child(QStringLiteral("alice"), UiRequestType::Mentions);
    window->showNode(mentions);
    struct Case
    {
        QString link;
        QString browser;    // expected URL opened, or empty
        QString searchName; // expected temporary search, or empty
    };
    const QList<Case> cases = {
        {QStringLiteral("https://example.org/a?b=c"),
         QStringLiteral("https://example.org/a?b=c"),
         {}},
        {RTMessageTextParser::linkForUser(QStringLiteral("carol")),
         {},
         QStringLiteral("from:carol")},
        {RTMessageTextParser::linkForSearchHashTag(QStringLiteral("qt")),
         {},
         QStringLiteral("#qt")},
        {QStringLiteral("not a link"), {}, {}},
    };
    for (const Case &c : cases) {
        desktop.opened.clear();
        window->action(QStringLiteral("closeTemporary"))->trigger();
        window->activateLink(c.link);
        if (c.browser.isEmpty())
            EXPECT_TRUE(desktop.opened.isEmpty()) << c.link.toStdString();
        else
            EXPECT_EQ(desktop.opened, QList<QUrl>{QUrl(c.browser)}) << c.link.toStdString();
        if (c.searchName.isEmpty()) {
            EXPECT_EQ(window->temporaryNode(), nullptr) << c.link.toStdString();
        } else {
            ASSERT_NE(window->temporaryNode(), nullptr) << c.link.toStdString();
            EXPECT_TRUE(window->temporaryNode()->name().contains(c.searchName))
                << c.link.toStdString();
            EXPECT_EQ(window->temporaryNode()->referingTreeNode(), mentions);
        }
    }
}

TEST(AvatarCache, DecodesOffTheMainThreadAndAsksForEachPictureOnce)
{
    QImage red(64, 64, QImage::Format_ARGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");
    QHash<QString, QByteArray> store{{QStringLiteral("good"), png},
                                     {QStringLiteral("broken"), QByteArray("not a picture")}};
    QStringList asked;
    RTAvatarCache cache([&](const QString &url) {
        asked << url;
        return store.value(url);
    });
    QSignalSpy changed(&cache, &RTAvatarCache::changed);
    EXPECT_TRUE(cache.avatar(QStringLiteral("good"), 24, 2.0).isNull())
        << "decoding takes a moment";
    EXPECT_TRUE(cache.avatar(QStringLiteral("broken"), 24, 2.0).isNull());
    EXPECT_TRUE(cache.avatar(QStringLiteral("missing"), 24, 2.0).isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.count() >= 2; }, 5000));
    const QPixmap good = cache.avatar(QStringLiteral("good"), 24, 2.0);
    ASSERT_FALSE(good.isNull());
    EXPECT_EQ(good.width(), 48) << "scaled for the screen's pixel ratio";
    EXPECT_EQ(good.toImage().pixelColor(10, 10), QColor(Qt::red));
    EXPECT_TRUE(cache.avatar(QStringLiteral("broken"), 24, 2.0).isNull());
    // Asking again costs nothing until a download arrives; then only the missing one.
    cache.avatar(QStringLiteral("missing"), 24, 2.0);
    EXPECT_EQ(asked.count(QStringLiteral("missing")), 1);
    store.insert(QStringLiteral("missing"), png);
    cache.imagesArrived();
    cache.avatar(QStringLiteral("missing"), 24, 2.0);
    EXPECT_EQ(asked.count(QStringLiteral("missing")), 2);
    EXPECT_EQ(asked.count(QStringLiteral("good")), 1);
    EXPECT_EQ(asked.count(QStringLiteral("broken")), 1);
}

TEST(UiIcons, NodeImagesMapToShippedIcons)
{
    const struct
    {
        const char *image;
        const char *icon;
    } cases[] = {
        {"node_home", "home"},
        {"combined_mentions_unseen", "mentions"},
        {"node_direct_inbox", "inbox"},
        {"combined_retweet", "retweet"},
        {"node_retweets", "retweet"},
        {"outline_talvo", "talvo"},
        {"node_group_ungrouped", "groups"},
        {"combined_all", "combined"},
        {"node_unknown", ""},
    };
    for (const auto &c : cases) {
        const QString name = RTUiIcons::iconNameForImage(QString::fromLatin1(c.image));
        EXPECT_EQ(name, QString::fromLatin1(c.icon)) << c.image;
        if (!name.isEmpty()) {
            const QPixmap pm = RTUiIcons::icon(name, Qt::black).pixmap(32, 32);
            ASSERT_FALSE(pm.isNull()) << c.image;
            // The icon draws something: some pixel is not transparent.
            const QImage img = pm.toImage();
            bool inked = false;
            for (int y = 0; y < img.height() && !inked; ++y)
                for (int x = 0; x < img.width() && !inked; ++x)
                    inked = qAlpha(img.pixel(x, y)) > 0;
            EXPECT_TRUE(inked) << c.image;
        }
    }
}

} // namespace

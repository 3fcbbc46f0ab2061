#include "UiTestSupport.h"
#include "store/TADataManager.h"
#include "text/RTLinkExpansionQueue.h"
#include "text/RTLinkHosts.h"
#include "text/RTMessageTextParser.h"
#include "text/RTShortURLParser.h"
#include "ui/RTListViewController.h"
#include "ui/RTMessageDelegate.h"
#include "ui/RTMessageListModel.h"
#include "ui/RTMessageListView.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

class MessageViewTest : public UiTestBase
{
protected:
    void SetUp() override
    {
        UiTestBase::SetUp();
        alice = addAccount(QStringLiteral("alice"));
        startManager();
        mentions = child(QStringLiteral("alice"), UiRequestType::Mentions);
        ASSERT_NE(mentions, nullptr);
        controller = std::make_unique<RTListViewController>(QStringLiteral("RTTwitterListView"));
        controller->bindNode(mentions);
        page = controller->widget();
        page->resize(700, 500);
        page->show();
    }
    void TearDown() override
    {
        controller.reset();
        UiTestBase::TearDown();
    }

    void deliver(const QList<std::pair<QString, QString>> &idsAndTexts)
    {
        QList<RTMessagePtr> batch;
        int age = 0;
        for (const auto &[id, text] : idsAndTexts)
            batch << message(alice.get(), id, text, RTTemporaryFlag::IsMention, age++);
        manager->allTreeNodesAddMessages(batch, UiRequestType::Mentions, {});
        controller->refresh();
        QCoreApplication::processEvents();
    }

    std::shared_ptr<RTServiceTwitter> alice;
    RTTreeNode *mentions = nullptr;
    std::unique_ptr<RTListViewController> controller;
    QWidget *page = nullptr;
};

TEST_F(MessageViewTest, ClicksOnLinksMentionsAndHashtagsFindTheirTargets)
{
    struct Case
    {
        const char *what;
        QString text;
        QString clicked; // the text clicked on (its first occurrence)
        RTMessageTextParser::InternalLinkKind kind;
        QString target; // URL, user or search text; empty: nothing under the click
    };
    using Kind = RTMessageTextParser::InternalLinkKind;
    const QList<Case> cases = {
        {"link", QStringLiteral("read https://example.org/a now"), QStringLiteral("example.org"),
         Kind::None, QStringLiteral("https://example.org/a")},
        {"mention after emoji", QStringLiteral("👍🏽🎉 thanks @carol!"),
         QStringLiteral("carol"), Kind::User, QStringLiteral("carol")},
        {"hashtag after emoji", QStringLiteral("snow ❄️ #winter day"), QStringLiteral("winter"),
         Kind::Search, QStringLiteral("#winter")},
        {"plain word", QStringLiteral("nothing @here to see"), QStringLiteral("nothing"),
         Kind::None, QString()},
        {"mention in Arabic text", QStringLiteral("مرحبا @dana كيف حالك"), QStringLiteral("dana"),
         Kind::User, QStringLiteral("dana")},
        {"hashtag in Hebrew text", QStringLiteral("שלום #talvo עולם"), QStringLiteral("talvo"),
         Kind::Search, QStringLiteral("#talvo")},
        {"Hebrew word next to a mention", QStringLiteral("שלום @erin עולם"), QStringLiteral("עולם"),
         Kind::None, QString()},
    };
    QList<std::pair<QString, QString>> messages;
    for (int i = 0; i < cases.size(); ++i)
        messages << std::pair{QString::number(100 - i), cases[i].text};
    deliver(messages);
    RTMessageListView *view = controller->listView();
    ASSERT_EQ(view->model()->rowCount(), cases.size());
    RTMessageDelegate *delegate = view->messageDelegate();
    QSignalSpy clicks(view, &RTMessageListView::linkActivated);

    for (int row = 0; row < cases.size(); ++row) {
        const Case &c = cases[row];
        const QModelIndex idx = view->model()->index(row, 0);
        view->scrollTo(idx);
        const QStyleOptionViewItem option = view->optionForIndex(idx);
        const int start = int(c.text.indexOf(c.clicked));
        // Every character of the clicked word answers the same.
        for (int pos = start; pos < start + c.clicked.size(); ++pos) {
            const QPoint point = delegate->pointForCharacter(option, idx, pos);
            ASSERT_FALSE(point.isNull()) << c.what;
            const QString link = delegate->linkAt(option, idx, point);
            if (c.target.isEmpty()) {
                EXPECT_TRUE(link.isEmpty())
                    << c.what << " at " << pos << ": " << link.toStdString();
                continue;
            }
            const auto [kind, value] = RTMessageTextParser::internalLinkTarget(link);
            EXPECT_EQ(int(kind), int(c.kind)) << c.what << " at " << pos;
            EXPECT_EQ(kind == Kind::None ? link : value, c.target) << c.what << " at " << pos;
        }
        // A real click on the word's middle reaches the view's signal.
        clicks.clear();
        const QPoint middle =
            delegate->pointForCharacter(option, idx, start + int(c.clicked.size()) / 2);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, middle);
        EXPECT_EQ(clicks.count(), c.target.isEmpty() ? 0 : 1) << c.what;
    }
}

TEST_F(MessageViewTest, KeysMoveThroughTheListAndEnterOpens)
{
    deliver({{"3", "one"}, {"2", "two"}, {"1", "three"}});
    RTMessageListView *view = controller->listView();
    view->setFocus();
    view->selectRow(0);
    QSignalSpy opened(view, &RTMessageListView::openRequested);
    const struct
    {
        int key;
        int expectedRow;
    } steps[] = {{Qt::Key_J, 1}, {Qt::Key_J, 2}, {Qt::Key_J, 2},    {Qt::Key_K, 1},
                 {Qt::Key_K, 0}, {Qt::Key_K, 0}, {Qt::Key_Down, 1}, {Qt::Key_Up, 0}};
    for (const auto &step : steps) {
        QTest::keyClick(view, Qt::Key(step.key));
        EXPECT_EQ(view->currentIndex().row(), step.expectedRow) << step.key;
    }
    QTest::keyClick(view, Qt::Key_Return);
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.at(0).at(0).toInt(), 0);
    EXPECT_EQ(view->model()
                  ->data(view->currentIndex(), Qt::AccessibleTextRole)
                  .toString()
                  .section(QStringLiteral(", "), 0, 0),
              QStringLiteral("Bob Example"));
}

TEST_F(MessageViewTest, ListStatesShowWhatTheNodeSays)
{
    struct Case
    {
        int state;
        bool withMessages;
        QString text;
        bool retry;
    };
    const QList<Case> cases = {
        {ListViewController::StateDefault, false, QStringLiteral("Nothing here yet"), false},
        {ListViewController::StateEmpty, false, QStringLiteral("Nothing here"), false},
        {ListViewController::StateLoadingOlder, false, QStringLiteral("Loading messages…"), false},
        {ListViewController::StateFailed, false,
         QStringLiteral("The messages could not be loaded."), true},
        {ListViewController::StateNormal, true, QString(), false},
        {ListViewController::StateLoadingOlder, true, QStringLiteral("Loading older messages…"),
         false},
        {ListViewController::StateNoOlderMessages, true, QStringLiteral("No older messages"),
         false},
        {ListViewController::StateFailed, true,
         QStringLiteral("Older messages could not be loaded."), true},
    };
    QSignalSpy retries(controller.get(), &RTListViewController::retryRequested);
    for (const Case &c : cases) {
        if (c.withMessages && controller->model().rowCount() == 0)
            deliver({{"1", "hello"}});
        controller->setListviewState(c.state);
        EXPECT_EQ(controller->stateText(), c.text) << c.state << " " << c.withMessages;
        auto *retry = page->findChild<QPushButton *>();
        ASSERT_NE(retry, nullptr);
        EXPECT_EQ(retry->isVisible(), c.retry) << c.state;
        if (c.retry) {
            retries.clear();
            QTest::mouseClick(retry, Qt::LeftButton);
            EXPECT_EQ(retries.count(), 1);
        }
    }
}

} // namespace

// Picture links get thumbnails under the text that open the picture; expanded short links
// show their destination once the expansion arrives, and still lead to the short link.
TEST_F(MessageViewTest, ThumbnailsOpenPicturesAndExpansionsRelayoutTheText)
{
    RTLinkHosts::setTables(
        {{QStringLiteral("127.0.0.1")},
         {},
         {{QStringLiteral("pics.example"),
           QVariantMap{
               {QStringLiteral("thumbnail_url"), QStringLiteral("http://pics.example/t/[hash]")},
               {QStringLiteral("inline_url"), QStringLiteral("http://pics.example/f/[hash]")}}}}});
    // Only loopback: the first paint tries the link, which nothing answers.
    const QString shortLink = QStringLiteral("http://127.0.0.1:9/abc");
    deliver({{QStringLiteral("2"), QStringLiteral("look http://pics.example/x1y2 wow")},
             {QStringLiteral("1"), QStringLiteral("read ") + shortLink}});
    RTMessageListView *view = controller->listView();
    RTMessageDelegate *delegate = view->messageDelegate();
    ASSERT_EQ(view->model()->rowCount(), 2);
    const QModelIndex pictureRow = view->model()->index(0, 0);
    const QModelIndex linkRow = view->model()->index(1, 0);

    const QStyleOptionViewItem option = view->optionForIndex(pictureRow);
    const QList<QRect> thumbs = delegate->thumbnailRects(option, pictureRow);
    ASSERT_EQ(thumbs.size(), 1);
    EXPECT_TRUE(delegate->thumbnailRects(view->optionForIndex(linkRow), linkRow).isEmpty());
    EXPECT_TRUE(option.rect.contains(thumbs.first())) << "the row makes room for it";
    EXPECT_GT(thumbs.first().top(), delegate->pointForCharacter(option, pictureRow, 0).y());

    QSignalSpy pictures(view, &RTMessageListView::pictureActivated);
    QSignalSpy links(view, &RTMessageListView::linkActivated);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, thumbs.first().center());
    ASSERT_EQ(pictures.count(), 1);
    EXPECT_EQ(links.count(), 0);
    const QVariantMap picture = pictures.first().first().toMap();
    EXPECT_EQ(picture.value(QStringLiteral("inlineImageLink")),
              QStringLiteral("http://pics.example/f/x1y2"));
    EXPECT_EQ(picture.value(QStringLiteral("thumbnailURL")),
              QStringLiteral("http://pics.example/t/x1y2"));

    // The expansion arrives: the row grows to the longer text, which leads to the short link.
    const QString longUrl = QStringLiteral("https://example.org/a/rather/long/destination/page");
    const int beyondShort = int(QStringLiteral("read ").size() + shortLink.size() + 5);
    EXPECT_TRUE(
        delegate->pointForCharacter(view->optionForIndex(linkRow), linkRow, beyondShort).isNull());
    TADataManager::sharedManager().urlCache().setValue(RTShortURLParser::cacheKeyForLink(shortLink),
                                                       longUrl);
    emit RTLinkExpansionQueue::shared().expansionsArrived();
    QCoreApplication::processEvents();
    const QStyleOptionViewItem after = view->optionForIndex(linkRow);
    const QPoint onLong = delegate->pointForCharacter(after, linkRow, beyondShort);
    ASSERT_FALSE(onLong.isNull());
    EXPECT_EQ(delegate->linkAt(after, linkRow, onLong), shortLink);
    TADataManager::sharedManager().urlCache().remove(RTShortURLParser::cacheKeyForLink(shortLink));
    RTLinkHosts::setTables(RTLinkHosts::builtInTables());
}

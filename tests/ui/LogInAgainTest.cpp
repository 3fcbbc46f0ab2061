// An account whose log-in the service refused, offscreen: the Accounts pane and the main
// window's line say so and offer "Log In Again…", which opens the page of the account's
// kind fixed on that account; a cancel leaves the mark, a log-in clears it.
#include "UiTestSupport.h"
#include "foundation/HostProfile.h"
#include "networks/facebook/RTFacebookKeys.h"
#include "networks/facebook/RTFacebookLogin.h"
#include "networks/facebook/RTServiceFacebook.h"
#include "store/TAAccounts.h"
#include "store/TADataManager.h"
#include "ui/RTFacebookAccountAdditionPage.h"
#include "ui/RTMainWindow.h"
#include "ui/RTWindowExtensions.h"
#include "ui/prefs/RTAccountLogInBar.h"
#include "ui/prefs/RTAccountsPane.h"
#include "ui/prefs/RTLogInAgainDialog.h"
#include "ui/prefs/RTTwitterAccountPage.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

class LogInAgainTest : public UiTestBase
{
protected:
    void SetUp() override
    {
        UiTestBase::SetUp();
        RTWindowExtensions::clearForTesting();
        RTTwitterAccountPage::registerAccountKind();
        registerFacebookWindows();
        TADataManager::resetSharedManagerForTesting(storeDir.path());
    }
    void TearDown() override
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<RTLogInAgainDialog *>(w))
                delete w;
        shared().setServices({});
        RTWindowExtensions::clearForTesting();
        TADataManager::resetSharedManagerForTesting();
        UiTestBase::TearDown();
    }

    static RTServiceRegistry &shared() { return TADataManager::sharedManager().registry(); }

    static std::shared_ptr<RTServiceFacebook>
    facebookAccount(const QString &id, const QString &name, const QString &picture = QString())
    {
        auto account = std::make_shared<RTServiceFacebook>();
        account->setServiceId(id);
        auto me = std::make_shared<RTUserFacebook>(id);
        me->setFullName(name);
        me->setPicUrl(picture);
        // The account learns its person from the answer to its log-in.
        account->serviceRequestSuccess({{QString::fromLatin1(kRTRequestType), 31},
                                        {QString::fromLatin1(kRTFacebookUsersKey),
                                         QVariant::fromValue(QList<RTUserFacebookPtr>{me})}});
        return account;
    }

    static RTLogInAgainDialog *openDialog()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *d = qobject_cast<RTLogInAgainDialog *>(w); d && d->isVisible())
                return d;
        return nullptr;
    }

    QTemporaryDir storeDir;
};

TEST_F(LogInAgainTest, ARefusedLogInShowsInThePaneAndTheWindowUntilItIsMended)
{
    auto twitter = std::make_shared<RTServiceTwitter>();
    twitter->setServiceId(QStringLiteral("alice"));
    const auto facebook =
        facebookAccount(QStringLiteral("100000000000004"), QStringLiteral("Dana Example"));
    shared().setServices({twitter, facebook});
    RTAccountsPane pane;
    RTAccountLogInBar bar(shared());
    EXPECT_TRUE(bar.accountsNeedingLogIn().isEmpty());
    EXPECT_TRUE(bar.label()->text().isEmpty());

    const struct
    {
        RTServicePtr account;
        const char *sentence;
        const char *row;
    } cases[] = {
        {twitter, "Twitter no longer accepts the log-in of alice.",
         "alice\nTwitter · Log-in needed"},
        {facebook, "Facebook no longer accepts the log-in of Dana Example.",
         "Dana Example\nFacebook · Log-in needed"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sentence);
        ASSERT_TRUE(pane.selectAccount(TAAccounts::identifier(*c.account)));
        EXPECT_EQ(pane.logInAgainButton(), nullptr);
        QSignalSpy shown(&bar, &RTAccountLogInBar::shownChanged);
        c.account->setNeedsLogIn(true);
        EXPECT_EQ(bar.label()->text(), QString::fromUtf8(c.sentence));
        EXPECT_TRUE(bar.button()->isEnabled());
        ASSERT_EQ(shown.count(), 1);
        EXPECT_TRUE(shown.at(0).at(0).toBool());
        // The pane redraws the row from the event loop; the selection stays.
        ASSERT_TRUE(waitFor([&] { return pane.logInAgainButton() != nullptr; }));
        EXPECT_EQ(pane.selectedAccount(), c.account);
        EXPECT_EQ(pane.list()->currentItem()->text(), QString::fromUtf8(c.row));
        EXPECT_TRUE(pane.logInAgainButton()->isEnabled());

        // The dialog holds the kind's page, fixed on this account; Cancel leaves the mark.
        RTLogInAgainDialog *dialog = RTLogInAgainDialog::create(c.account, &pane);
        ASSERT_NE(dialog, nullptr);
        if (auto *page = qobject_cast<RTTwitterAccountPage *>(dialog->page())) {
            EXPECT_EQ(page->userField()->text(), c.account->serviceId());
            EXPECT_TRUE(page->userField()->isReadOnly());
        } else {
            auto *fb = qobject_cast<RTFacebookAccountAdditionPage *>(dialog->page());
            ASSERT_NE(fb, nullptr);
            EXPECT_EQ(fb->login()->accountToRenew(), c.account->serviceId());
        }
        dialog->reject();
        delete dialog;
        EXPECT_TRUE(c.account->needsLogIn());

        c.account->setNeedsLogIn(false);
        EXPECT_TRUE(bar.label()->text().isEmpty());
        ASSERT_EQ(shown.count(), 2);
        EXPECT_FALSE(shown.at(1).at(0).toBool());
        ASSERT_TRUE(waitFor([&] { return pane.logInAgainButton() == nullptr; }));
    }

    // Two at once: the line names the first and counts the rest; its button logs the
    // first in again.
    twitter->setNeedsLogIn(true);
    facebook->setNeedsLogIn(true);
    EXPECT_EQ(bar.label()->text(), QStringLiteral("Facebook no longer accepts the log-in of Dana "
                                                  "Example. One more account needs a log-in too."));
    bar.button()->click();
    RTLogInAgainDialog *dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->account(), bar.accountsNeedingLogIn().first());
    // Asked again, the open dialog comes to the front instead of a second one.
    EXPECT_EQ(RTLogInAgainDialog::open(dialog->account()), dialog);
    dialog->reject();
}

// The row of a Facebook account shows the person's picture once the store has it; while
// the account needs a log-in the row shows the lock instead.
TEST_F(LogInAgainTest, AFacebookRowShowsThePersonsPictureOnceItArrives)
{
    const QString address = QStringLiteral("https://pictures.invalid/dana.png");
    const auto facebook =
        facebookAccount(QStringLiteral("100000000000004"), QStringLiteral("Dana Example"), address);
    shared().setServices({facebook});
    RTAccountsPane pane;
    const auto centre = [&] {
        const QSize size = pane.list()->iconSize();
        const QImage image = pane.list()->item(0)->icon().pixmap(size).toImage();
        return image.pixelColor(image.width() / 2, image.height() / 2);
    };
    const QColor red(200, 30, 30);
    EXPECT_NE(centre(), red);

    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    TADataManager::sharedManager().newImageDownloaded(
        {{QString::fromLatin1(kRTImageURLKey), address},
         {QString::fromLatin1(kRTImageDataKey), png}});
    ASSERT_TRUE(waitFor([&] { return centre() == red; }));

    facebook->setNeedsLogIn(true);
    ASSERT_TRUE(waitFor([&] { return centre() != red; }));
}

TEST_F(LogInAgainTest, TheMainWindowsLineAndMenuItemFollowTheMark)
{
    const auto facebook =
        facebookAccount(QStringLiteral("100000000000004"), QStringLiteral("Dana Example"));
    shared().setServices({facebook});
    startManager();
    RTMainWindow window(*manager);
    QAction *again = window.action(QStringLiteral("logInAgain"));
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(again->isEnabled());
    EXPECT_FALSE(window.accountLogInBar()->isVisibleTo(&window));

    facebook->setNeedsLogIn(true);
    EXPECT_TRUE(again->isEnabled());
    EXPECT_TRUE(window.accountLogInBar()->isVisibleTo(&window));
    again->trigger();
    RTLogInAgainDialog *dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->account(), facebook);
    dialog->reject();

    facebook->setNeedsLogIn(false);
    EXPECT_FALSE(again->isEnabled());
    EXPECT_FALSE(window.accountLogInBar()->isVisibleTo(&window));
}

TEST_F(LogInAgainTest, AKindWithoutAPageOffersNoLogInAgain)
{
    RTWindowExtensions::clearForTesting();
    auto twitter = std::make_shared<RTServiceTwitter>();
    twitter->setServiceId(QStringLiteral("bob"));
    twitter->setNeedsLogIn(true);
    shared().setServices({twitter});
    EXPECT_FALSE(RTLogInAgainDialog::canLogInAgain(*twitter));
    EXPECT_EQ(RTLogInAgainDialog::create(twitter), nullptr);
    RTAccountLogInBar bar(shared());
    EXPECT_FALSE(bar.label()->text().isEmpty());
    EXPECT_FALSE(bar.button()->isEnabled());
}

} // namespace

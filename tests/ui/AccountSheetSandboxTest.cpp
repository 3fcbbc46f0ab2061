// The add-account sheet's Twitter page and the Accounts pane against a real sandbox, with
// a recording keyring: what a log-in leaves behind when it succeeds, fails or is
// cancelled, and what removing an account takes away.
#include "foundation/HostProfile.h"
#include "foundation/OperationQueue.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "http/HttpRequest.h"
#include "network/OAuthClock.h"
#include "platform/fake/FakeAlerts.h"
#include "platform/fake/FakeKeychain.h"
#include "store/TAAccounts.h"
#include "store/TADataManager.h"
#include "support/SandboxSuite.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/TwitterRegistration.h"
#include "ui/RTWindowExtensions.h"
#include "ui/prefs/RTAccountAdditionSheet.h"
#include "ui/prefs/RTAccountsPane.h"
#include "ui/prefs/RTLogInAgainDialog.h"
#include "ui/prefs/RTTwitterAccountPage.h"
#include "ui/prefs/RTWelcomeView.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

bool waitFor(const std::function<bool()> &done, int ms = 15000)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class AccountSheetSandboxTest : public SandboxSuite
{
protected:
    static void SetUpTestSuite() { startSandbox(4); }

    void SetUp() override
    {
        ASSERT_TRUE(useSandbox()) << sandbox->errorString().toStdString();
        registerTwitterRequestClasses();
        Keychain::setShared(&keychain);
        Alerts::setShared(&alerts);
        SettingsStore::shared().registerShippedDefaults();
        TADataManager::resetSharedManagerForTesting(storeDir.path());
        RTWindowExtensions::clearForTesting();
        RTTwitterAccountPage::registerAccountKind();
        sheet = std::make_unique<RTAccountAdditionSheet>();
        ASSERT_TRUE(sheet->selectKind(QStringLiteral("twitter")));
        page = qobject_cast<RTTwitterAccountPage *>(sheet->currentPage());
        ASSERT_NE(page, nullptr);
    }
    void TearDown() override
    {
        sheet.reset();
        for (const RTServicePtr &s : TADataManager::sharedManager().services())
            s->stop();
        waitFor([] {
            return OperationQueue::forType(OperationQueue::ServiceRequests).operationCount() == 0;
        });
        TADataManager::resetSharedManagerForTesting();
        RTWindowExtensions::clearForTesting();
        leaveSandbox();
        Alerts::setShared(nullptr);
        Keychain::setShared(nullptr);
    }

    // Keyring items of a screen name (password and tokens), by label.
    QStringList itemsOf(const QString &screenName) const
    {
        QStringList labels;
        for (const auto &[key, value] : keychain.items) {
            if (std::get<2>(key) == screenName)
                labels << std::get<0>(key);
        }
        labels.sort();
        return labels;
    }

    static RTServiceList twitterAccounts()
    {
        return TAAccounts::userAccounts(TADataManager::sharedManager());
    }

    QTemporaryDir storeDir;
    FakeKeychain keychain;
    FakeAlerts alerts;
    std::unique_ptr<RTAccountAdditionSheet> sheet;
    RTTwitterAccountPage *page = nullptr;
};

TEST_F(AccountSheetSandboxTest, ALogInAddsTheAccountWithItsSecretsInTheKeyringOnly)
{
    QSignalSpy added(sheet.get(), &RTAccountAdditionSheet::accountAdded);
    sheet->show();
    page->logIn(QStringLiteral("alice"), QString::fromLatin1(SandboxFixture::kPassword));
    EXPECT_TRUE(page->isBusy());
    ASSERT_TRUE(waitFor([&] { return added.count() == 1; })) << page->errorText().toStdString();
    EXPECT_EQ(added.at(0).at(0).toString(), QStringLiteral("twitter:alice"));
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    EXPECT_FALSE(page->isBusy());

    const RTServiceList accounts = twitterAccounts();
    ASSERT_EQ(accounts.size(), 1);
    EXPECT_TRUE(accounts.first()->running());
    EXPECT_EQ(itemsOf(QStringLiteral("alice")),
              QStringList({"TwitterOAuthToken", "TwitterPassword"}));
    // The services file holds the account but not its token.
    QFile file(QDir(storeDir.path()).filePath(QStringLiteral("services.dat")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    EXPECT_TRUE(stored.contains("alice"));
    const QByteArray secret = accounts.first()->oauthTokenSecret().toUtf8();
    ASSERT_FALSE(secret.isEmpty());
    EXPECT_FALSE(stored.contains(secret));
}

TEST_F(AccountSheetSandboxTest, AFailedLogInSaysWhatToDoAndLeavesNothingBehind)
{
    struct Case
    {
        const char *what;
        QByteArray faults;
        QString password;
        Keychain::Status keyring;
        const char *sentenceHas;
    };
    const Case cases[] = {
        {"wrong password",
         {},
         QStringLiteral("wrong"),
         Keychain::Status::Success,
         "did not accept this user name and password"},
        {"no keyring",
         {},
         QString::fromLatin1(SandboxFixture::kPassword),
         Keychain::Status::Unavailable,
         "cannot reach a keyring"},
        {"locked keyring",
         {},
         QString::fromLatin1(SandboxFixture::kPassword),
         Keychain::Status::AccessRefused,
         "keyring is locked"},
        {"no network", "path /oauth/access_token* drop\n",
         QString::fromLatin1(SandboxFixture::kPassword), Keychain::Status::Success,
         "could not reach Twitter"},
        {"clock far off", "clock_skew = 900\n", QString::fromLatin1(SandboxFixture::kPassword),
         Keychain::Status::Success, "Wrong System Time"},
        {"empty password", {}, QString(), Keychain::Status::Success, "Enter the user name"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(sandbox->writeFaults(c.faults));
        OAuthClock::setTimestampOffset(0);
        keychain.forcedStatus = c.keyring;
        QSignalSpy failed(page, &RTAccountAdditionPage::failed);
        page->logIn(QStringLiteral("bob"), c.password);
        ASSERT_TRUE(waitFor([&] { return failed.count() == 1; }));
        EXPECT_TRUE(failed.at(0).at(0).toString().contains(QLatin1String(c.sentenceHas)))
            << failed.at(0).at(0).toString().toStdString();
        EXPECT_EQ(page->errorText(), failed.at(0).at(0).toString());
        EXPECT_FALSE(page->isBusy());
        EXPECT_TRUE(page->logInButton()->isEnabled());
        keychain.forcedStatus = Keychain::Status::Success;
        EXPECT_TRUE(twitterAccounts().isEmpty());
        EXPECT_TRUE(itemsOf(QStringLiteral("bob")).isEmpty());
    }
}

TEST_F(AccountSheetSandboxTest, CancellingDuringTheLogInUndoesALateAnswer)
{
    ASSERT_TRUE(sandbox->writeFaults("path /oauth/access_token* delay=1500\n"));
    QSignalSpy added(sheet.get(), &RTAccountAdditionSheet::accountAdded);
    page->logIn(QStringLiteral("carol"), QString::fromLatin1(SandboxFixture::kPassword));
    ASSERT_TRUE(page->isBusy());
    sheet->reject();
    EXPECT_FALSE(page->isBusy());
    EXPECT_EQ(sheet->result(), QDialog::Rejected);
    // The answer still comes, with tokens the request stored on its way: they go again.
    ASSERT_TRUE(waitFor([] {
        return OperationQueue::forType(OperationQueue::ServiceRequests).operationCount() == 0;
    }));
    QCoreApplication::processEvents();
    EXPECT_EQ(added.count(), 0);
    EXPECT_TRUE(twitterAccounts().isEmpty());
    EXPECT_TRUE(itemsOf(QStringLiteral("carol")).isEmpty());
}

TEST_F(AccountSheetSandboxTest, RemovingAnAccountTakesItsKeyringItemsAndStoredData)
{
    QSignalSpy added(sheet.get(), &RTAccountAdditionSheet::accountAdded);
    page->logIn(QStringLiteral("alice"), QString::fromLatin1(SandboxFixture::kPassword));
    ASSERT_TRUE(waitFor([&] { return added.count() == 1; })) << page->errorText().toStdString();
    ASSERT_FALSE(itemsOf(QStringLiteral("alice")).isEmpty());

    RTServicePtr account;
    {
        RTAccountsPane pane;
        ASSERT_EQ(pane.list()->count(), 1);
        ASSERT_TRUE(pane.selectAccount(QStringLiteral("twitter:alice")));
        account = pane.selectedAccount();
        pane.removeSelected(false);
        EXPECT_EQ(pane.list()->count(), 0);
        EXPECT_FALSE(pane.removeButton()->isEnabled());
    }
    EXPECT_FALSE(account->running());
    EXPECT_TRUE(account->isDeleted());
    EXPECT_TRUE(itemsOf(QStringLiteral("alice")).isEmpty());

    // A fresh store read from the folder no longer knows the account.
    for (const RTServicePtr &s : TADataManager::sharedManager().services())
        s->stop();
    TADataManager::resetSharedManagerForTesting(storeDir.path());
    EXPECT_TRUE(twitterAccounts().isEmpty());
}

} // namespace

TEST_F(AccountSheetSandboxTest, TheWelcomeViewLogsTheDemoAccountIn)
{
    ASSERT_EQ(HostProfile::current().name(), QStringLiteral("sandbox"));
    RTWelcomeView welcome;
    ASSERT_NE(welcome.demoButton(), nullptr);
    welcome.demoButton()->click();
    EXPECT_TRUE(welcome.isBusy());
    EXPECT_FALSE(welcome.addButton()->isEnabled());
    ASSERT_TRUE(waitFor([] { return !twitterAccounts().isEmpty(); }))
        << welcome.messageText().toStdString();
    EXPECT_EQ(TAAccounts::identifier(*twitterAccounts().first()),
              QStringLiteral("twitter:") + RTWelcomeView::demoScreenName());
    EXPECT_TRUE(twitterAccounts().first()->running());
    EXPECT_FALSE(welcome.isBusy());
    EXPECT_TRUE(welcome.messageText().isEmpty());
}

// A Twitter account whose password Twitter refused is logged in again from its own page:
// a wrong password leaves the mark, the right one clears it and the account stays the one
// it was.
TEST_F(AccountSheetSandboxTest, AMarkedAccountLogsInAgainWithItsOwnName)
{
    QSignalSpy added(sheet.get(), &RTAccountAdditionSheet::accountAdded);
    page->logIn(QStringLiteral("bob"), QString::fromLatin1(SandboxFixture::kPassword));
    ASSERT_TRUE(waitFor([&] { return added.count() == 1; })) << page->errorText().toStdString();
    const RTServicePtr account = twitterAccounts().value(0);
    ASSERT_TRUE(account);
    account->setShowPopupNotifications(false);
    account->setNeedsLogIn(true);

    std::unique_ptr<RTLogInAgainDialog> dialog(RTLogInAgainDialog::create(account));
    ASSERT_TRUE(dialog);
    auto *again = qobject_cast<RTTwitterAccountPage *>(dialog->page());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->userField()->text(), QStringLiteral("bob"));
    EXPECT_TRUE(again->userField()->isReadOnly());
    QSignalSpy loggedIn(dialog.get(), &RTLogInAgainDialog::loggedInAgain);

    again->logIn(QStringLiteral("bob"), QStringLiteral("not the password"));
    ASSERT_TRUE(waitFor([&] { return !again->isBusy(); }));
    EXPECT_FALSE(again->errorText().isEmpty());
    EXPECT_EQ(loggedIn.count(), 0);
    EXPECT_TRUE(account->needsLogIn());

    again->logIn(QStringLiteral("bob"), QString::fromLatin1(SandboxFixture::kPassword));
    ASSERT_TRUE(waitFor([&] { return loggedIn.count() == 1; })) << again->errorText().toStdString();
    EXPECT_EQ(loggedIn.at(0).at(0).toString(), QStringLiteral("twitter:bob"));
    EXPECT_FALSE(account->needsLogIn());
    EXPECT_EQ(twitterAccounts(), RTServiceList{account});
    EXPECT_FALSE(account->showPopupNotifications());
}

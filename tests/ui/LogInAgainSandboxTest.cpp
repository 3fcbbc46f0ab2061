// Logging a Facebook account in again from the window against a real talvo-sandbox: the
// user took Talvo's access away, the window marks the account, and the log-in again in a
// scripted browser brings it back with a new token and the posts it had.
#include "CtlFacebookBrowser.h"

#include "accounts/AccountsRegistration.h"
#include "accounts/RTServiceRegistry.h"
#include "foundation/HostProfile.h"
#include "foundation/OperationQueue.h"
#include "http/HttpRequest.h"
#include "networks/NetworksRegistration.h"
#include "networks/facebook/RTFacebookLogin.h"
#include "networks/facebook/RTRequestOperationFacebook.h"
#include "networks/facebook/RTServiceFacebook.h"
#include "platform/fake/FakeKeychain.h"
#include "store/TAAccounts.h"
#include "store/TADataManager.h"
#include "support/SandboxSuite.h"
#include "support/TestSupport.h"
#include "ui/RTFacebookAccountAdditionPage.h"
#include "ui/RTWindowExtensions.h"
#include "ui/prefs/RTAccountLogInBar.h"
#include "ui/prefs/RTLogInAgainDialog.h"

#include <QLabel>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <thread>

namespace {

class LogInAgainSandboxTest : public SandboxSuite
{
protected:
    static void SetUpTestSuite() { startSandbox(3); }
    void SetUp() override
    {
        ASSERT_TRUE(useSandbox()) << sandbox->errorString().toStdString();
        registerAccountArchiveClasses();
        registerNetworksClasses();
        RTWindowExtensions::clearForTesting();
        registerFacebookWindows();
        Keychain::setShared(&keychain);
        TADataManager::resetSharedManagerForTesting(sandbox->dataDir() + QStringLiteral("/store"));
    }
    void TearDown() override
    {
        waitUntil([] {
            return OperationQueue::forType(OperationQueue::ServiceRequests).operationCount() == 0 &&
                   OperationQueue::forType(OperationQueue::ImmediateRequests).operationCount() == 0;
        });
        TADataManager::sharedManager().registry().setServices({});
        TADataManager::resetSharedManagerForTesting();
        RTWindowExtensions::clearForTesting();
        leaveSandbox();
        Keychain::setShared(nullptr);
    }

    // Runs one log-in of page in a scripted browser as user; true when it ended either way.
    static bool logInWithBrowser(RTFacebookAccountAdditionPage *page, const QString &user)
    {
        std::thread browser;
        page->login()->setUrlOpener([&browser, user](const QUrl &url) {
            browser = std::thread([user, url] {
                (void)CtlFacebookBrowser{user, QStringLiteral("sandbox"), false, {}}.run(url);
            });
            return true;
        });
        bool ended = false;
        const auto done = [&] { ended = true; };
        const auto a = QObject::connect(page, &RTAccountAdditionPage::accountAdded, done);
        const auto f = QObject::connect(page, &RTAccountAdditionPage::failed, done);
        page->begin();
        waitUntil([&] { return ended; }, 60000);
        if (browser.joinable())
            browser.join();
        QObject::disconnect(a);
        QObject::disconnect(f);
        return ended;
    }

    FakeKeychain keychain;
};

} // namespace

TEST_F(LogInAgainSandboxTest, TheWindowMarksARevokedAccountAndLogsItInAgain)
{
    TADataManager &store = TADataManager::sharedManager();
    RTAccountLogInBar bar(store.registry());

    // The account as the add-account sheet makes it.
    RTFacebookAccountAdditionPage adder;
    ASSERT_TRUE(logInWithBrowser(&adder, QStringLiteral("bob")));
    const RTServiceList added = TAAccounts::userAccounts(store);
    ASSERT_EQ(added.size(), 1) << adder.statusText().toStdString();
    const auto account = std::dynamic_pointer_cast<RTServiceFacebook>(added.first());
    ASSERT_TRUE(account);
    ASSERT_TRUE(waitUntil([&] { return !account->messagesDictionary().isEmpty(); }, 30000));
    const qsizetype posts = account->messagesDictionary().size();
    const QString oldToken = account->accessToken();

    // The user takes the access away on the service.
    QUrl revoke = RTRequestOperationFacebook::graphBaseUrl();
    revoke.setPath(QStringLiteral("/me/permissions"));
    revoke.setQuery(QStringLiteral("access_token=") + oldToken);
    HttpRequest request(revoke);
    request.setRequestMethod(QStringLiteral("DELETE"));
    request.startSynchronous();
    ASSERT_EQ(request.responseStatusCode(), 200);
    account->refreshNewsFeed();
    ASSERT_TRUE(waitUntil([&] { return account->needsLogIn(); }, 30000));
    EXPECT_EQ(bar.label()->text(),
              QStringLiteral("Facebook no longer accepts the log-in of Bob Example."))
        << bar.label()->text().toStdString();

    std::unique_ptr<RTLogInAgainDialog> dialog(RTLogInAgainDialog::create(account));
    ASSERT_TRUE(dialog);
    auto *page = qobject_cast<RTFacebookAccountAdditionPage *>(dialog->page());
    ASSERT_NE(page, nullptr);
    QSignalSpy again(dialog.get(), &RTLogInAgainDialog::loggedInAgain);

    // Somebody else's log-in is refused and said so; the account stays as it was.
    ASSERT_TRUE(logInWithBrowser(page, QStringLiteral("carol")));
    EXPECT_TRUE(page->statusText().contains(QStringLiteral("not as the person")))
        << page->statusText().toStdString();
    EXPECT_EQ(again.count(), 0);
    EXPECT_TRUE(account->needsLogIn());
    EXPECT_EQ(account->accessToken(), oldToken);
    EXPECT_EQ(TAAccounts::userAccounts(store).size(), 1);

    ASSERT_TRUE(logInWithBrowser(page, QStringLiteral("bob")));
    ASSERT_EQ(again.count(), 1) << page->statusText().toStdString();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(account->needsLogIn());
    EXPECT_NE(account->accessToken(), oldToken);
    EXPECT_TRUE(bar.label()->text().isEmpty());
    EXPECT_GE(account->messagesDictionary().size(), posts);
    // Started again, it reads its feed with the new token.
    EXPECT_TRUE(account->running());
    ASSERT_TRUE(waitUntil([&] { return account->mySelf() != nullptr; }, 30000));
    EXPECT_FALSE(account->needsLogIn());
    account->stop();
}

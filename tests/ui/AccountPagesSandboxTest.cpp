// The Ping.fm and Instapaper add-account pages against a real talvo-sandbox, and the
// links the message menu saves to Instapaper.
#include "accounts/AccountsRegistration.h"
#include "accounts/RTServiceInstapaper.h"
#include "accounts/RTServiceRegistry.h"
#include "foundation/HostProfile.h"
#include "foundation/OperationQueue.h"
#include "http/HttpRequest.h"
#include "model/RTMessageTwitter.h"
#include "networks/PingfmInstapaperRegistration.h"
#include "platform/fake/FakeKeychain.h"
#include "sharing/SharingRegistration.h"
#include "support/SandboxSuite.h"
#include "support/TestSupport.h"
#include "ui/RTKeyAccountPage.h"
#include "ui/RTTextServiceActions.h"

#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

class AccountPagesSandboxTest : public SandboxSuite
{
protected:
    static void SetUpTestSuite() { startSandbox(3); }
    void SetUp() override
    {
        ASSERT_TRUE(useSandbox()) << sandbox->errorString().toStdString();
        registerAccountArchiveClasses();
        registerSharingClasses();
        registerPingfmAndInstapaper();
        RTWindowExtensions::clearForTesting();
        registerPingfmAndInstapaperWindows();
        Keychain::setShared(&keychain);
    }
    void TearDown() override
    {
        waitUntil([] {
            return OperationQueue::forType(OperationQueue::ServiceRequests).operationCount() == 0;
        });
        const RTServiceList all = RTServiceRegistry::shared().services();
        for (const RTServicePtr &s : all)
            RTServiceRegistry::shared().removeService(s);
        RTWindowExtensions::clearForTesting();
        leaveSandbox();
        Keychain::setShared(nullptr);
    }

    static RTAccountAdditionPage *page(const QString &kind)
    {
        for (const RTAccountKind &k : RTWindowExtensions::accountKinds())
            if (k.kind == kind)
                return k.createPage(nullptr);
        return nullptr;
    }

    FakeKeychain keychain;
};

TEST_F(AccountPagesSandboxTest, AnAccountIsAddedOnlyWhenTheServiceTakesItsSecret)
{
    struct Case
    {
        const char *kind;
        QString name;
        QString secret;
        int serviceType;
        bool added;
    };
    const QList<Case> cases = {
        {"pingfm", u"alice"_s, u"appkey-nobody"_s, 4, false},
        {"pingfm", u"alice"_s, u"appkey-alice"_s, 4, true},
        {"pingfm", u"alice"_s, u"appkey-alice"_s, 4, false}, // already added
        {"instapaper", u"bob"_s, u"wrong"_s, 18, false},
        {"instapaper", u"bob"_s, u"sandbox"_s, 18, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.secret.toStdString());
        std::unique_ptr<RTAccountAdditionPage> p(page(QString::fromLatin1(c.kind)));
        ASSERT_TRUE(p);
        auto *keyPage = qobject_cast<RTKeyAccountPage *>(p.get());
        ASSERT_TRUE(keyPage);
        const qsizetype before = RTServiceRegistry::shared().services().size();
        const qsizetype storedBefore = keychain.items.size();
        QSignalSpy added(p.get(), &RTAccountAdditionPage::accountAdded);
        QSignalSpy failed(p.get(), &RTAccountAdditionPage::failed);
        p->begin();
        keyPage->nameField()->setText(c.name);
        keyPage->secretField()->setText(c.secret);
        keyPage->submit();
        ASSERT_TRUE(waitUntil([&] { return added.size() + failed.size() > 0; }, 15000));
        EXPECT_EQ(added.size(), c.added ? 1 : 0);
        EXPECT_EQ(RTServiceRegistry::shared().services().size(), before + (c.added ? 1 : 0));
        // A refused secret never reaches the keyring.
        EXPECT_EQ(keychain.items.size() > size_t(storedBefore), c.added);
        if (c.added) {
            const RTServicePtr account = RTServiceRegistry::shared().services().last();
            EXPECT_EQ(account->serviceType(), c.serviceType);
            EXPECT_EQ(account->serviceId(), c.name);
            EXPECT_EQ(account->keychainServicePassword(), c.secret);
        }
    }
}

TEST_F(AccountPagesSandboxTest, MessageMenuSavesToInstapaperAndTogglesTranslation)
{
    QMenu menu;
    QAction *translate = menu.addAction(u"Translate"_s);
    menu.addAction(u"Open in Browser"_s);
    auto message = RTMessageTwitter::create(u"7"_s);
    message->setBody(u"worth reading https://www.localhost/menu-saved"_s);

    // Without an Instapaper account the item is there but cannot be used.
    RTTextServiceActions::addToMessageMenu(menu, translate, message, {});
    QAction *save = menu.findChild<QAction *>(u"saveToInstapaper"_s);
    ASSERT_TRUE(save);
    EXPECT_FALSE(save->isEnabled());
    EXPECT_EQ(menu.actions().indexOf(save), 1); // right after Translate
    EXPECT_EQ(translate->text(), u"Translate"_s);
    delete save;

    auto account = std::make_shared<RTServiceInstapaper>();
    account->setServiceId(u"carol"_s);
    ASSERT_TRUE(account->setServicePassword(u"sandbox"_s));
    RTServiceRegistry::shared().addService(account);
    message->setIsTranslated(true);
    RTTextServiceActions::addToMessageMenu(menu, translate, message, {});
    save = menu.findChild<QAction *>(u"saveToInstapaper"_s);
    ASSERT_TRUE(save);
    EXPECT_TRUE(save->isEnabled());
    EXPECT_EQ(translate->text(), u"Show Original"_s);
    save->trigger();

    const auto savedLinks = [] {
        const auto list = HttpRequest::requestWithURL(
            QUrl(sandbox->profile().baseUrl(u"instapaper"_s).toString() +
                 u"/api/saved?username=carol&password=sandbox"_s));
        list->startSynchronous();
        return list->responseString();
    };
    EXPECT_TRUE(waitUntil([&] { return savedLinks().contains(u"menu-saved"_s); }, 15000))
        << savedLinks().toStdString();
}

TEST(SaveToInstapaper, LinksOfAMessage)
{
    struct Case
    {
        const char *name;
        QString body;
        QStringList links;
    };
    const QString page = u"https://twitter.com/ann/status/5"_s;
    const QList<Case> cases = {
        {"links in the text",
         u"read http://a.example/x and https://b.example/y?q=1"_s,
         {u"http://a.example/x"_s, u"https://b.example/y?q=1"_s}},
        {"a link given twice is saved once",
         u"http://a.example/x http://a.example/x"_s,
         {u"http://a.example/x"_s}},
        {"no link: the message's own page", u"just words"_s, {page}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto message = RTMessageTwitter::create(u"5"_s);
        message->setBody(c.body);
        EXPECT_EQ(RTTextServiceActions::linksToSave(*message, page), c.links);
    }
}

} // namespace

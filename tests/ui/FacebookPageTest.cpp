// The add-account page for Facebook: what it shows while the browser has the log-in, a
// cancel, and an answer that does not belong to the log-in.
#include "foundation/HostProfile.h"
#include "networks/facebook/RTFacebookLogin.h"
#include "ui/RTFacebookAccountAdditionPage.h"
#include "ui/RTWindowExtensions.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

// A profile whose Graph host is never reached: the page's own steps need no network.
void installUnreachableGraph()
{
    HostProfile profile;
    profile.setName(QStringLiteral("page-test"));
    profile.setBaseUrl(QStringLiteral("facebook-graph"),
                       QUrl(QStringLiteral("https://graph.invalid")));
    profile.setBaseUrl(QStringLiteral("facebook-web"), QUrl(QStringLiteral("https://web.invalid")));
    HostProfile::setCurrent(profile);
}

// Plays the browser's last step: a GET of the redirect address. Returns the status line.
QByteArray visit(const QUrl &url)
{
    QTcpSocket socket;
    socket.connectToHost(url.host(), quint16(url.port()));
    if (!socket.waitForConnected(3000))
        return {};
    socket.write("GET " + url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority) +
                 " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray answer;
    QElapsedTimer waited;
    waited.start();
    while (!answer.contains("\r\n") && waited.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        socket.waitForReadyRead(10);
        answer += socket.readAll();
    }
    return answer.left(answer.indexOf("\r\n"));
}

} // namespace

TEST(FacebookPage, ShowsTheWaitAndTheAddressAndStopsOnCancel)
{
    installUnreachableGraph();
    RTFacebookAccountAdditionPage page;
    QList<QUrl> opened;
    page.login()->setUrlOpener([&](const QUrl &url) {
        opened << url;
        return true;
    });
    QSignalSpy busy(&page, &RTAccountAdditionPage::busyChanged);
    QSignalSpy added(&page, &RTAccountAdditionPage::accountAdded);
    page.begin();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(page.statusText(), QStringLiteral("Waiting for your browser…"));
    auto *address = page.findChild<QLineEdit *>();
    ASSERT_TRUE(address);
    EXPECT_EQ(address->text(), opened.first().toString(QUrl::FullyEncoded));
    const QUrlQuery query(opened.first());
    EXPECT_EQ(query.queryItemValue(QStringLiteral("code_challenge_method")),
              QStringLiteral("S256"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded),
              page.login()->redirectUri());
    EXPECT_TRUE(page.login()->isRunning());
    ASSERT_EQ(busy.size(), 1);
    EXPECT_TRUE(busy.at(0).at(0).toBool());

    page.cancel();
    EXPECT_FALSE(page.login()->isRunning());
    ASSERT_EQ(busy.size(), 2);
    EXPECT_FALSE(busy.at(1).at(0).toBool());
    // The listener is gone: a late browser finds nobody.
    EXPECT_TRUE(
        visit(QUrl(page.login()->redirectUri() + QStringLiteral("?state=x&code=y"))).isEmpty());
    EXPECT_EQ(added.size(), 0);
}

TEST(FacebookPage, AnAnswerForAnotherLogInIsRefusedAndSaidSo)
{
    installUnreachableGraph();
    RTFacebookAccountAdditionPage page;
    QUrl authorization;
    page.login()->setUrlOpener([&](const QUrl &url) {
        authorization = url;
        return true;
    });
    QSignalSpy failed(&page, &RTAccountAdditionPage::failed);
    page.begin();
    const QString redirect = page.login()->redirectUri();

    // Browsers ask for other things too; they are not answers.
    EXPECT_TRUE(
        visit(QUrl(redirect).resolved(QUrl(QStringLiteral("/favicon.ico")))).contains("404"));
    EXPECT_TRUE(page.login()->isRunning());

    EXPECT_TRUE(visit(QUrl(redirect + QStringLiteral("?state=forged&code=abc"))).contains("400"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed.size() == 1; }, 3000));
    EXPECT_TRUE(failed.at(0).at(0).toString().contains(QStringLiteral("does not belong")));
    EXPECT_EQ(page.statusText(), failed.at(0).at(0).toString());
    EXPECT_FALSE(page.login()->isRunning());
}

TEST(FacebookPage, IsOfferedByTheAddAccountSheetOnceRegistered)
{
    RTWindowExtensions::clearForTesting();
    registerFacebookWindows();
    const auto kinds = RTWindowExtensions::accountKinds();
    ASSERT_EQ(kinds.size(), 1u);
    EXPECT_EQ(kinds.front().kind, QStringLiteral("facebook"));
    QWidget parent;
    std::unique_ptr<RTAccountAdditionPage> page(kinds.front().createPage(&parent));
    EXPECT_TRUE(dynamic_cast<RTFacebookAccountAdditionPage *>(page.get()));
    RTWindowExtensions::clearForTesting();
}

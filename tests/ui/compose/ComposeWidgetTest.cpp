// The compose widgets offscreen: the counter and post button, keyboard-only writing and
// sending, the mention completion pop-up, failed posts, pictures offered by paste, and
// the compose window's draft.
#include "accounts/RTServiceRegistry.h"
#include "foundation/HostProfile.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "platform/fake/FakeAlerts.h"
#include "platform/fake/FakeKeychain.h"
#include "platform/fake/FakePlatform.h"
#include "sharing/RTComposeDraft.h"
#include "sharing/SharingRegistration.h"
#include "support/TestSupport.h"
#include "twitter/RTServiceTwitter.h"
#include "twitter/RTTwitterRequestTypes.h"
#include "ui/compose/RTAutocompletePopup.h"
#include "ui/compose/RTComposeLineWidget.h"
#include "ui/compose/RTComposeWindow.h"
#include "ui/compose/TADirectInputLineTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

class RecordingTwitter : public RTServiceTwitter
{
public:
    struct Request
    {
        qint32 type = 0;
        RTRequestDelegatePtr delegate;
        QVariantMap form;
    };
    QList<Request> requests;

protected:
    RTRequestOperationPtr queueRequest(qint32 requestType, RTRequestDelegatePtr delegate,
                                       const QVariantMap &parameters, const QVariantMap &,
                                       int) override
    {
        requests.append({requestType, std::move(delegate), parameters});
        return nullptr;
    }
};

RTUserTwitterPtr user(const QString &id, const QString &name)
{
    auto u = RTUserTwitter::create(id);
    u->setScreenName(name);
    return u;
}

class ComposeWidgetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Keychain::setShared(&keychain);
        Alerts::setShared(&alerts);
        registerSharingClasses();
        SettingsStore::shared().setBool(key(RTLimitInputLengthKey), false);
        SettingsStore::shared().setBool(key(RTAlwaysShortenLinksInMessagesKey), false);
        SettingsStore::shared().setBool(key(RTPostOnEnterKey), true);
        account = std::make_shared<RecordingTwitter>();
        account->setServiceId(u"alice"_s);
        account->setUsersDictionary({{u"2"_s, user(u"2"_s, u"ann"_s)},
                                     {u"3"_s, user(u"3"_s, u"annie"_s)},
                                     {u"4"_s, user(u"4"_s, u"bob"_s)}});
        RTServiceRegistry::shared().setServices({account});
        window = std::make_unique<QWidget>();
        box = new RTComposeLineWidget(RTComposeLineWidget::Mode::Line, window.get());
        window->resize(600, 120);
        window->show();
        box->focusTextBox();
        ASSERT_NE(box->controller(), nullptr);
    }
    void TearDown() override
    {
        window.reset();
        RTDirectInputLineViewController::releaseControllerForService(account.get());
        RTServiceRegistry::shared().setServices({});
        Alerts::setShared(nullptr);
        Keychain::setShared(nullptr);
    }

    TADirectInputLineTextView *text() const { return box->textBox(); }

    FakeKeychain keychain;
    FakeAlerts alerts;
    FakePlatform platform;
    std::shared_ptr<RecordingTwitter> account;
    std::unique_ptr<QWidget> window;
    RTComposeLineWidget *box = nullptr;
};

TEST_F(ComposeWidgetTest, CounterAndPostButtonFollowTheText)
{
    struct Case
    {
        QString typed;
        QString counter;
        bool over;
        bool postEnabled;
    };
    const QList<Case> cases = {
        {QString(), u"140"_s, false, false},       {u"hello"_s, u"135"_s, false, true},
        {QString(140, u'x'), u"0"_s, false, true}, {QString(141, u'x'), u"-1"_s, true, false},
        {u"\U0001F600"_s, u"138"_s, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed.size());
        text()->clear();
        // Key clicks know ASCII only; other text comes in as an input method would send it.
        if (c.typed.size() == 2 && c.typed.at(0).isHighSurrogate())
            text()->insertPlainText(c.typed);
        else
            QTest::keyClicks(text(), c.typed);
        EXPECT_EQ(box->counterText(), c.counter);
        EXPECT_EQ(box->counterIsOver(), c.over);
        EXPECT_EQ(box->isPostButtonEnabled(), c.postEnabled);
    }
}

TEST_F(ComposeWidgetTest, KeyboardAloneWritesAndSends)
{
    QTest::keyClicks(text(), u"first post"_s);
    QTest::keyClick(text(), Qt::Key_Return);
    ASSERT_EQ(account->requests.size(), 1);
    EXPECT_EQ(account->requests[0].type, RTTwitterRequestUpdateStatus);
    EXPECT_EQ(account->requests[0].form.value(u"status"_s).toString(), u"first post"_s);
    EXPECT_EQ(text()->toPlainText(), QString());

    SettingsStore::shared().setBool(key(RTPostOnEnterKey), false);
    QTest::keyClicks(text(), u"two"_s);
    QTest::keyClick(text(), Qt::Key_Return);
    QTest::keyClicks(text(), u"lines"_s);
    EXPECT_EQ(text()->toPlainText(), u"two\nlines"_s);
    EXPECT_EQ(account->requests.size(), 1);
    QTest::keyClick(text(), Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(account->requests.size(), 2);
    EXPECT_EQ(account->requests[1].form.value(u"status"_s).toString(), u"two\nlines"_s);

    QTest::keyClicks(text(), u"throw away"_s);
    QTest::keyClick(text(), Qt::Key_Escape);
    EXPECT_EQ(text()->toPlainText(), QString());
    QTest::keyClicks(text(), u"and this"_s);
    QTest::keyClick(text(), Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(text()->toPlainText(), QString());
    EXPECT_EQ(account->requests.size(), 2);
}

TEST_F(ComposeWidgetTest, CompletionPopupByKeyboard)
{
    RTAutocompletePopup *popup = text()->completionPopup();
    QTest::keyClicks(text(), u"hey @an"_s);
    ASSERT_TRUE(popup->isVisible());
    ASSERT_EQ(popup->rowCount(), 2);
    EXPECT_EQ(popup->rowText(0), u"ann"_s);
    QTest::keyClick(text(), Qt::Key_Down);
    QTest::keyClick(text(), Qt::Key_Return);
    EXPECT_EQ(text()->toPlainText(), u"hey @annie "_s);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_TRUE(account->requests.isEmpty());

    QTest::keyClicks(text(), u"@b"_s);
    ASSERT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->rowCount(), 1);
    QTest::keyClick(text(), Qt::Key_Escape);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(text()->toPlainText(), u"hey @annie @b"_s);
    QTest::keyClicks(text(), u"x"_s);
    EXPECT_FALSE(popup->isVisible()); // no user starts with "bx"
}

TEST_F(ComposeWidgetTest, FailedPostComesBackWithItsReason)
{
    QTest::keyClicks(text(), u"important words"_s);
    QTest::keyClick(text(), Qt::Key_Return);
    ASSERT_EQ(account->requests.size(), 1);
    EXPECT_EQ(text()->toPlainText(), QString());
    account->requests[0].delegate->serviceRequestFailure(
        {{key(kRTOperationFailureMessageKey), u"Twitter is over capacity"_s}});
    EXPECT_EQ(text()->toPlainText(), u"important words"_s);
    EXPECT_TRUE(box->statusText().contains(u"Twitter is over capacity"_s));
    EXPECT_TRUE(box->isPostButtonEnabled());
}

TEST_F(ComposeWidgetTest, PastedPictureIsOfferedForUpload)
{
    QSignalSpy offered(text(), &TADirectInputLineTextView::picturesOffered);
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QApplication::clipboard()->setImage(image);
    text()->paste();
    ASSERT_EQ(offered.size(), 1);
    EXPECT_FALSE(offered[0][1].value<QImage>().isNull());

    QApplication::clipboard()->setText(u"plain words"_s);
    text()->paste();
    EXPECT_EQ(offered.size(), 1);
    EXPECT_EQ(text()->toPlainText(), u"plain words"_s);
    EXPECT_EQ(box->controller()->text(), u"plain words"_s);
}

TEST_F(ComposeWidgetTest, SwitchingAccountsKeepsOrMovesTheText)
{
    auto other = std::make_shared<RecordingTwitter>();
    other->setServiceId(u"bob"_s);
    RTServiceRegistry::shared().setServices({account, other});
    QTest::keyClicks(text(), u"for alice"_s);

    box->selectAccount(other);
    EXPECT_EQ(text()->toPlainText(), QString());
    box->selectAccount(account);
    EXPECT_EQ(text()->toPlainText(), u"for alice"_s);

    box->selectAccount(other, true);
    EXPECT_EQ(text()->toPlainText(), u"for alice"_s);
    QTest::keyClick(text(), Qt::Key_Return);
    EXPECT_TRUE(account->requests.isEmpty());
    ASSERT_EQ(other->requests.size(), 1);
    box->selectAccount(account);
    EXPECT_EQ(text()->toPlainText(), QString());
    RTDirectInputLineViewController::releaseControllerForService(other.get());
}

TEST_F(ComposeWidgetTest, ComposeWindowDraftSurvivesAndPostingRemovesIt)
{
    QTemporaryDir dir;
    const RTComposeDraft draft(dir.path());
    {
        RTComposeWindow first(dir.path());
        first.show();
        first.composeBox()->focusTextBox();
        QTest::keyClicks(first.composeBox()->textBox(), u"half written"_s);
        // Written shortly after the typing stops, while the window is still open.
        ASSERT_TRUE(waitUntil([&] { return QFile::exists(draft.path()); }, 3000));
    }
    RTComposeWindow second(dir.path());
    second.show();
    EXPECT_EQ(second.composeBox()->textBox()->toPlainText(), u"half written"_s);
    EXPECT_EQ(second.composeBox()->currentAccount(), account);

    second.composeBox()->focusTextBox();
    QTest::keyClick(second.composeBox()->textBox(), Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(account->requests.size(), 1);
    second.saveDraft();
    EXPECT_TRUE(QFile::exists(draft.path())); // kept until the account answers
    account->requests[0].delegate->serviceRequestSuccess({});
    EXPECT_FALSE(QFile::exists(draft.path()));
}

TEST_F(ComposeWidgetTest, ComposeWindowTakesLinks)
{
    QTemporaryDir dir;
    RTComposeWindow compose(dir.path());
    compose.takeUrl(u"talvo:post?text=hello%20there"_s);
    EXPECT_EQ(compose.composeBox()->textBox()->toPlainText(), u"hello there"_s);
    compose.takeUrl(u"https://www.example.com/x"_s);
    EXPECT_EQ(compose.composeBox()->textBox()->toPlainText(),
              u" https://www.example.com/x hello there"_s);
    compose.takeUrl(u"file:///etc/passwd"_s);
    EXPECT_EQ(compose.composeBox()->textBox()->toPlainText(),
              u" https://www.example.com/x hello there"_s);
}

} // namespace

namespace {

// Shrink needs five characters; while the service has the text nothing can change or post
// it, and a failed shrink gives the text back untouched with the reason.
TEST_F(ComposeWidgetTest, ShrinkButtonAndAFailedShrink)
{
    HostProfile profile;
    profile.setBaseUrl(u"shrink"_s, QUrl(u"http://127.0.0.1:1"_s)); // nobody listens
    HostProfile::setCurrent(profile);
    for (const auto &[typed, enabled] :
         {std::pair{u"four"_s, false}, std::pair{u"five!"_s, true}}) {
        text()->clear();
        QTest::keyClicks(text(), typed);
        EXPECT_EQ(box->isShrinkButtonEnabled(), enabled) << typed.toStdString();
    }
    text()->clear();
    QTest::keyClicks(text(), u"you are great"_s);
    box->shrink();
    EXPECT_TRUE(text()->isReadOnly());
    EXPECT_FALSE(box->isPostButtonEnabled());
    EXPECT_FALSE(box->isShrinkButtonEnabled());
    ASSERT_TRUE(waitUntil([this] { return !box->controller()->isShrinking(); }, 15000));
    EXPECT_EQ(text()->toPlainText(), u"you are great"_s);
    EXPECT_FALSE(text()->isReadOnly());
    EXPECT_TRUE(box->isPostButtonEnabled());
    EXPECT_TRUE(box->isShrinkButtonEnabled());
    EXPECT_TRUE(box->statusText().startsWith(u"The text was not shrunk"_s))
        << box->statusText().toStdString();
    HostProfile::setCurrent(HostProfile::real());
}

} // namespace

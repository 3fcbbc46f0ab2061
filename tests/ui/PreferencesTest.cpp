// The preferences window and the welcome view, offscreen: each pane's controls show and
// write their settings, a font-size change reaches the message list, and the main window
// greets a new user until an account exists.
#include "UiTestSupport.h"
#include "foundation/HostProfile.h"
#include "store/TADataManager.h"
#include "ui/RTListViewController.h"
#include "ui/RTMainWindow.h"
#include "ui/RTMessageListModel.h"
#include "ui/RTMessageListView.h"
#include "ui/RTWindowExtensions.h"
#include "ui/RTWindowLayer.h"
#include "ui/prefs/RTAccountAdditionSheet.h"
#include "ui/prefs/RTPreferencesWindow.h"
#include "ui/prefs/RTTwitterAccountPage.h"
#include "ui/prefs/RTWelcomeView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

class PreferencesTest : public UiTestBase
{
protected:
    void SetUp() override
    {
        UiTestBase::SetUp();
        SettingsStore::shared().registerShippedDefaults();
        RTWindowExtensions::clearForTesting();
        RTTwitterAccountPage::registerAccountKind();
        RTPreferencesWindow::registerStandardPanes();
        TADataManager::resetSharedManagerForTesting(storeDir.path());
    }
    void TearDown() override
    {
        for (const QString &key : touched)
            SettingsStore::shared().removeObjectForKey(key);
        RTWindowExtensions::clearForTesting();
        HostProfile::setCurrent(HostProfile::real());
        TADataManager::resetSharedManagerForTesting();
        UiTestBase::TearDown();
    }

    QTemporaryDir storeDir;
    QStringList touched;
};

TEST_F(PreferencesTest, EachPaneShowsAndWritesItsSettings)
{
    enum Kind
    {
        Check,
        InvertedCheck,
        Spin,
        Combo,
        Line
    };
    struct Case
    {
        const char *pane;
        const char *key;
        Kind kind;
        QVariant fromControl; // what the control sets
        QVariant fromStore;   // what the store is given; the control must show it
    };
    const Case cases[] = {
        {"general", TAShouldMarkAsReadOnScrollKey, Check, false, true},
        {"general", RTDoNotConfirmRetweetsKey, InvertedCheck, true, false},
        {"general", RTStartInBackgroundKey, Check, true, false},
        {"appearance", TAMessageFontSizeKey, Spin, 12.5, 10.0},
        {"appearance", RTTwitterUserDisplayNameKey, Combo, 1, 0},
        {"appearance", RTShowCombinedListsKey, Check, true, false},
        {"notifications", RTEnablePopupsKey, Check, false, true},
        {"notifications", kRTTwitterSoundPrefsNewMention, Combo, QString(),
         QStringLiteral("talvo_CSnd")},
        {"notifications", RTIncludeListsInStatusIconCountKey, Check, true, false},
        {"sharing", RTMessageQuoteSyntaxKey, Line, QStringLiteral("“%t” via @%u"),
         QStringLiteral("RT @%u: %t")},
        {"sharing", RTPostOnEnterKey, Check, false, true},
        {"advanced", RTShowErrorMessagesForURLResolvingKey, Check, true, false},
    };
    RTPreferencesWindow window;
    SettingsStore &settings = SettingsStore::shared();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        const QString key = QString::fromLatin1(c.key);
        touched << key;
        QWidget *pane = window.pane(QString::fromLatin1(c.pane));
        ASSERT_NE(pane, nullptr);
        QWidget *control = pane->findChild<QWidget *>(key);
        ASSERT_NE(control, nullptr);
        // The control changes the store ...
        switch (c.kind) {
        case Check:
        case InvertedCheck: {
            auto *box = qobject_cast<QCheckBox *>(control);
            box->setChecked(c.kind == Check ? c.fromControl.toBool() : !c.fromControl.toBool());
            EXPECT_EQ(settings.boolForKey(key), c.fromControl.toBool());
            settings.setBool(key, c.fromStore.toBool());
            EXPECT_EQ(box->isChecked(),
                      c.kind == Check ? c.fromStore.toBool() : !c.fromStore.toBool());
            break;
        }
        case Spin: {
            auto *spin = qobject_cast<QDoubleSpinBox *>(control);
            spin->setValue(c.fromControl.toDouble());
            EXPECT_DOUBLE_EQ(settings.floatForKey(key), c.fromControl.toDouble());
            settings.setFloat(key, c.fromStore.toDouble());
            EXPECT_DOUBLE_EQ(spin->value(), c.fromStore.toDouble());
            break;
        }
        case Combo: {
            auto *combo = qobject_cast<QComboBox *>(control);
            const int index = combo->findData(c.fromControl);
            ASSERT_GE(index, 0);
            combo->setCurrentIndex(index);
            emit combo->activated(index);
            EXPECT_EQ(settings.objectForKey(key).toString(), c.fromControl.toString());
            settings.setValue(key, c.fromStore);
            EXPECT_EQ(combo->currentData().toString(), c.fromStore.toString());
            break;
        }
        case Line: {
            auto *edit = qobject_cast<QLineEdit *>(control);
            edit->setText(c.fromControl.toString());
            emit edit->editingFinished();
            EXPECT_EQ(settings.stringForKey(key), c.fromControl.toString());
            settings.setValue(key, c.fromStore);
            EXPECT_EQ(edit->text(), c.fromStore.toString());
            break;
        }
        }
    }
}

TEST_F(PreferencesTest, PanesOfOtherPartsTakeTheirPlaceBeforeAdvanced)
{
    RTWindowExtensions::registerPreferencePane(
        {QStringLiteral("shortcuts"), QStringLiteral("Shortcuts"), QStringLiteral("general"), 70,
         [](QWidget *parent) { return new QLabel(QStringLiteral("keys"), parent); }});
    RTWindowExtensions::registerPreferencePane(
        {QStringLiteral("filters"), QStringLiteral("Filters"), QStringLiteral("general"), 60,
         [](QWidget *parent) { return new QLabel(QStringLiteral("filters"), parent); }});
    RTPreferencesWindow window;
    EXPECT_EQ(window.paneIds(), QStringList({"general", "accounts", "appearance", "notifications",
                                             "sharing", "filters", "shortcuts", "advanced"}));
    ASSERT_TRUE(window.showPane(QStringLiteral("filters")));
    auto *label = qobject_cast<QLabel *>(window.pane(QStringLiteral("filters")));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("filters"));
    EXPECT_FALSE(window.showPane(QStringLiteral("nonexistent")));
    EXPECT_EQ(window.currentPaneId(), QStringLiteral("filters"));
}

TEST_F(PreferencesTest, AFontSizeChangeLaysTheListOutAgain)
{
    touched << QString::fromLatin1(TAMessageFontSizeKey);
    auto alice = addAccount(QStringLiteral("alice"));
    startManager();
    RTTreeNode *mentions = child(QStringLiteral("alice"), UiRequestType::Mentions);
    ASSERT_NE(mentions, nullptr);
    RTListViewController controller(QStringLiteral("RTTwitterListView"));
    controller.bindNode(mentions);
    controller.widget()->resize(700, 500);
    controller.widget()->show();
    manager->allTreeNodesAddMessages(
        {message(alice.get(), QStringLiteral("1"),
                 QStringLiteral("A message long enough to wrap over more than one line when the "
                                "font grows, so its row must grow with it"),
                 RTTemporaryFlag::IsMention)},
        UiRequestType::Mentions, {});
    controller.refresh();
    RTMessageListView *view = controller.listView();
    ASSERT_NE(view, nullptr);
    SettingsStore::shared().setFloat(QString::fromLatin1(TAMessageFontSizeKey), 9.0);
    QCoreApplication::processEvents();
    const QModelIndex first = view->model()->index(0, 0);
    ASSERT_TRUE(first.isValid());
    ASSERT_TRUE(waitFor([&] { return view->visualRect(first).height() > 0; }));
    const int small = view->visualRect(first).height();
    // Larger than any system font the test runs with, so the setting decides the size.
    SettingsStore::shared().setFloat(QString::fromLatin1(TAMessageFontSizeKey), 13.0);
    EXPECT_TRUE(waitFor([&] { return view->visualRect(first).height() > small; }))
        << "row height stayed " << small;
}

TEST_F(PreferencesTest, TheWindowGreetsANewUserUntilAnAccountExists)
{
    struct Case
    {
        const char *profile;
        bool demo;
    };
    for (const Case &c : {Case{"real", false}, Case{"sandbox", true}}) {
        SCOPED_TRACE(c.profile);
        HostProfile profile = HostProfile::real();
        profile.setName(QString::fromLatin1(c.profile));
        HostProfile::setCurrent(profile);
        startManager();
        {
            RTWindowLayer windows;
            windows.setManager(manager.get());
            windows.loadDefaultMainWindow();
            RTMainWindow *window = windows.mainWindow();
            ASSERT_NE(window, nullptr);
            RTWelcomeView *welcome = windows.welcomeView();
            ASSERT_NE(welcome, nullptr);
            EXPECT_EQ(window->welcomeView(), welcome);
            EXPECT_TRUE(welcome->isVisibleTo(window));
            EXPECT_EQ(welcome->demoButton() != nullptr, c.demo);

            // The launch's own request for the add-account page is the welcome view; a later
            // one (the menu, the button) opens the sheet.
            windows.showServiceAddition();
            EXPECT_EQ(windows.accountSheet(), nullptr);
            QCoreApplication::processEvents();
            welcome->addButton()->click();
            ASSERT_NE(windows.accountSheet(), nullptr);
            EXPECT_TRUE(windows.accountSheet()->kinds().contains(QStringLiteral("twitter")));
            windows.accountSheet()->reject();

            addAccount(QStringLiteral("carol"));
            EXPECT_EQ(window->welcomeView(), nullptr);
            EXPECT_TRUE(waitFor([&] { return windows.welcomeView() == nullptr; }));
        }
        registry.setServices({});
        manager.reset();
    }
}

} // namespace

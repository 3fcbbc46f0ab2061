// The hot-key recorder and the Shortcuts pane, offscreen.
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"
#include "ui/RTHotKeyRecorder.h"
#include "ui/RTShortcutsPane.h"

#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {
constexpr quint32 kCtrlAlt = Qt::ControlModifier | Qt::AltModifier;

struct KeyPress
{
    Qt::Key key;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

TEST(RTHotKeyRecorder, RecordsChordsAndRefusesKeysThatWouldFireWhileTyping)
{
    struct Case
    {
        const char *what;
        QList<KeyPress> presses; // after recording started, over a stored Ctrl+Alt+T
        int keyCode;
        quint32 flags;
        int announcements;
        bool refused;
        bool recordingAfter;
    };
    const Case cases[] = {
        {"Ctrl+Alt+Y",
         {{Qt::Key_Y, Qt::ControlModifier | Qt::AltModifier}},
         Qt::Key_Y,
         kCtrlAlt,
         1,
         false,
         false},
        {"Super+F5",
         {{Qt::Key_F5, Qt::MetaModifier}},
         Qt::Key_F5,
         Qt::MetaModifier,
         1,
         false,
         false},
        {"Shift with a key that types nothing",
         {{Qt::Key_F9, Qt::ShiftModifier}},
         Qt::Key_F9,
         Qt::ShiftModifier,
         1,
         false,
         false},
        {"the keypad bit is not a modifier",
         {{Qt::Key_5, Qt::ControlModifier | Qt::KeypadModifier}},
         Qt::Key_5,
         Qt::ControlModifier,
         1,
         false,
         false},
        {"a bare letter", {{Qt::Key_Q}}, Qt::Key_T, kCtrlAlt, 0, true, true},
        {"Shift and a letter types a capital",
         {{Qt::Key_Q, Qt::ShiftModifier}},
         Qt::Key_T,
         kCtrlAlt,
         0,
         true,
         true},
        {"a bare function key", {{Qt::Key_F5}}, Qt::Key_T, kCtrlAlt, 0, true, true},
        {"a key with no X keysym",
         {{Qt::Key_VolumeUp, Qt::ControlModifier}},
         Qt::Key_T,
         kCtrlAlt,
         0,
         true,
         true},
        {"refused, then a good one",
         {{Qt::Key_Q}, {Qt::Key_Q, Qt::AltModifier}},
         Qt::Key_Q,
         Qt::AltModifier,
         1,
         false,
         false},
        {"modifiers alone wait for the key",
         {{Qt::Key_Control, Qt::ControlModifier}},
         Qt::Key_T,
         kCtrlAlt,
         0,
         false,
         true},
        {"Escape keeps the old one", {{Qt::Key_Escape}}, Qt::Key_T, kCtrlAlt, 0, false, false},
        {"Backspace removes it", {{Qt::Key_Backspace}}, -1, 0, 1, false, false},
        {"Delete removes it", {{Qt::Key_Delete}}, -1, 0, 1, false, false},
        {"Ctrl+Backspace is a chord",
         {{Qt::Key_Backspace, Qt::ControlModifier}},
         Qt::Key_Backspace,
         Qt::ControlModifier,
         1,
         false,
         false},
    };
    for (const Case &c : cases) {
        QWidget window;
        auto *recorder = new RTHotKeyRecorder(&window);
        // A window shortcut must not take a combination being recorded.
        int closes = 0;
        auto *shortcut =
            new QShortcut(QKeySequence(Qt::ControlModifier | Qt::AltModifier | Qt::Key_Y), &window);
        QObject::connect(shortcut, &QShortcut::activated, [&closes] { ++closes; });
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        recorder->setHotKey(Qt::Key_T, kCtrlAlt);
        QSignalSpy changed(recorder, &RTHotKeyRecorder::hotKeyChanged);
        QTest::mouseClick(recorder, Qt::LeftButton);
        ASSERT_TRUE(recorder->isRecording()) << c.what;
        for (const KeyPress &p : c.presses)
            QTest::keyClick(recorder, p.key, p.modifiers);
        EXPECT_EQ(recorder->keyCode(), c.keyCode) << c.what;
        EXPECT_EQ(recorder->flags(), c.flags) << c.what;
        EXPECT_EQ(changed.size(), c.announcements) << c.what;
        if (c.announcements > 0 && !changed.isEmpty()) {
            EXPECT_EQ(changed.last().at(0).toInt(), c.keyCode) << c.what;
            EXPECT_EQ(changed.last().at(1).toUInt(), c.flags) << c.what;
        }
        EXPECT_EQ(!recorder->refusal().isEmpty(), c.refused) << c.what;
        EXPECT_EQ(recorder->isRecording(), c.recordingAfter) << c.what;
        EXPECT_EQ(closes, 0) << c.what;
        if (!c.recordingAfter) {
            EXPECT_EQ(recorder->text(), RTHotKeyRecorder::hotKeyText(c.keyCode, c.flags)) << c.what;
        }
    }
}

TEST(RTHotKeyRecorder, KeyboardStartsAndClearsOutsideRecordingAndFocusLossCancels)
{
    QWidget window;
    auto *recorder = new RTHotKeyRecorder(&window);
    auto *other = new QLineEdit(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    recorder->setHotKey(Qt::Key_T, kCtrlAlt);
    EXPECT_EQ(recorder->text(), RTHotKeyRecorder::hotKeyText(Qt::Key_T, kCtrlAlt));
    EXPECT_FALSE(recorder->text().isEmpty());
    QSignalSpy changed(recorder, &RTHotKeyRecorder::hotKeyChanged);

    recorder->setFocus();
    QTest::keyClick(recorder, Qt::Key_Q); // typing into the field changes nothing
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->keyCode(), int(Qt::Key_T));

    QTest::keyClick(recorder, Qt::Key_Space);
    EXPECT_TRUE(recorder->isRecording());
    other->setFocus();
    EXPECT_FALSE(recorder->isRecording()) << "leaving the field stops recording";
    EXPECT_EQ(recorder->keyCode(), int(Qt::Key_T));

    recorder->setFocus();
    QTest::keyClick(recorder, Qt::Key_Backspace);
    EXPECT_EQ(recorder->keyCode(), -1);
    EXPECT_EQ(recorder->text(), QString());
    EXPECT_EQ(changed.size(), 1);
    QTest::keyClick(recorder, Qt::Key_Backspace);
    EXPECT_EQ(changed.size(), 1) << "removing nothing is not announced";

    // A stored value without a modifier is no hot key.
    recorder->setHotKey(Qt::Key_T, 0);
    EXPECT_EQ(recorder->keyCode(), -1);
}

class ShortcutsPaneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SettingsStore &settings = SettingsStore::shared();
        settings.setInteger(RTNewTweetGlobalShortcutKeyCodeKey, Qt::Key_T);
        settings.setValue(RTNewTweetGlobalShortcutFlagsKey, kCtrlAlt);
        settings.setInteger(RTShowHideTalvoGlobalShortcutKeyCodeKey, -1);
        settings.setValue(RTShowHideTalvoGlobalShortcutFlagsKey, 0u);
    }

    // The program's side, as a record: what was stored and what each hot key reports.
    RTShortcutsPaneHooks hooks()
    {
        return {[this](int k, quint32 f) {
                    changes << QStringLiteral("new %1 %2").arg(k).arg(f);
                    SettingsStore::shared().setInteger(RTNewTweetGlobalShortcutKeyCodeKey, k);
                    SettingsStore::shared().setValue(RTNewTweetGlobalShortcutFlagsKey, f);
                },
                [this] { return newPostProblem; },
                [this](int k, quint32 f) { changes << QStringLiteral("show %1 %2").arg(k).arg(f); },
                [this] { return showHideProblem; }};
    }

    QStringList changes;
    QString newPostProblem;
    QString showHideProblem;
};

TEST_F(ShortcutsPaneTest, ShowsStoredKeysHandsChangesOnAndSaysWhyAKeyDoesNotWork)
{
    RTShortcutsPane pane(hooks());
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    EXPECT_EQ(pane.newPostRecorder()->keyCode(), int(Qt::Key_T));
    EXPECT_EQ(pane.newPostRecorder()->flags(), kCtrlAlt);
    EXPECT_EQ(pane.showHideRecorder()->keyCode(), -1);
    EXPECT_EQ(pane.newPostMessage(), QString());

    // Another program holds the new combination: the pane says so after the change.
    newPostProblem = QStringLiteral("Another program already uses this key combination.");
    QTest::mouseClick(pane.newPostRecorder(), Qt::LeftButton);
    QTest::keyClick(pane.newPostRecorder(), Qt::Key_U, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(changes, QStringList{QStringLiteral("new %1 %2").arg(int(Qt::Key_U)).arg(kCtrlAlt)});
    EXPECT_EQ(pane.newPostMessage(), newPostProblem);

    // A refused combination is explained in place of the problem, and nothing is stored.
    QTest::mouseClick(pane.newPostRecorder(), Qt::LeftButton);
    QTest::keyClick(pane.newPostRecorder(), Qt::Key_U);
    EXPECT_EQ(changes.size(), 1);
    EXPECT_EQ(pane.newPostMessage(), pane.newPostRecorder()->refusal());
    EXPECT_NE(pane.newPostMessage(), newPostProblem);
    QTest::keyClick(pane.newPostRecorder(), Qt::Key_Escape);
    EXPECT_EQ(pane.newPostMessage(), newPostProblem);

    // The desktop has no global hot keys: the show/hide row says so once a key is set.
    showHideProblem = QStringLiteral("Global hot keys are not available on this desktop.");
    QTest::mouseClick(pane.showHideRecorder(), Qt::LeftButton);
    QTest::keyClick(pane.showHideRecorder(), Qt::Key_H, Qt::MetaModifier);
    EXPECT_EQ(changes.last(),
              QStringLiteral("show %1 %2").arg(int(Qt::Key_H)).arg(quint32(Qt::MetaModifier)));
    EXPECT_EQ(pane.showHideMessage(), showHideProblem);

    // Opening the pane again reads what is stored now.
    pane.hide();
    SettingsStore::shared().setInteger(RTNewTweetGlobalShortcutKeyCodeKey, Qt::Key_N);
    newPostProblem.clear();
    pane.show();
    EXPECT_EQ(pane.newPostRecorder()->keyCode(), int(Qt::Key_N));
    EXPECT_EQ(pane.newPostMessage(), QString());
}

} // namespace

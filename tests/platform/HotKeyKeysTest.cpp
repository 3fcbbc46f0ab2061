#include "platform/HotKeyKeys.h"
#include "platform/linux/XdgAutostart.h"

#include <QStringList>
#include <gtest/gtest.h>

TEST(HotKeyKeys, SettingsKeysBecomeKeysymsAndTriggers)
{
    struct Case
    {
        int key;
        quint32 flags;
        quint32 keysym;
        const char *trigger;
        quint16 x11Mask;
    };
    const quint32 ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
    const Case cases[] = {
        {Qt::Key_T, ctrlAlt, 0x74, "CTRL+ALT+t", 0x0c}, // letters grab their lower-case keysym
        {Qt::Key_A, Qt::MetaModifier, 0x61, "LOGO+a", 0x40},
        {Qt::Key_5, Qt::ShiftModifier | Qt::ControlModifier, 0x35, "CTRL+SHIFT+5", 0x05},
        {Qt::Key_F12, Qt::AltModifier, 0xffc9, "ALT+F12", 0x08},
        {Qt::Key_Space, Qt::ControlModifier, 0x20, "CTRL+space", 0x04},
        {Qt::Key_Return, Qt::ControlModifier, 0xff0d, "CTRL+Return", 0x04},
        {Qt::Key_PageDown, Qt::ControlModifier, 0xff56, "CTRL+Next", 0x04},
        {Qt::Key_Slash, Qt::ControlModifier, 0x2f, "CTRL+slash", 0x04},
        {Qt::Key_T, 0, 0x74, "", 0},                          // no modifier: no trigger
        {Qt::Key_T, Qt::KeypadModifier, 0x74, "", 0},         // keypad is no modifier
        {Qt::Key_VolumeUp, Qt::ControlModifier, 0, "", 0x04}, // unknown key
        {-1, ctrlAlt, 0, "", 0x0c},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(HotKeyKeys::keyForKeyCode(c.key).keysym, c.keysym) << c.trigger << " " << c.key;
        EXPECT_EQ(HotKeyKeys::triggerText(c.key, c.flags), QLatin1String(c.trigger)) << c.key;
        EXPECT_EQ(HotKeyKeys::x11ModifierMask(c.flags), c.x11Mask) << c.key;
    }
}

TEST(XdgAutostart, ExecLineQuotesProgramsAndReadsThemBack)
{
    struct Case
    {
        QString program;
        QString exec;
    };
    const Case cases[] = {
        {QStringLiteral("/usr/bin/talvo-helper"),
         QStringLiteral("/usr/bin/talvo-helper --autostart")},
        {QStringLiteral("/home/a b/talvo-helper"),
         QStringLiteral("\"/home/a b/talvo-helper\" --autostart")},
        {QStringLiteral("/opt/$x\"y`z\\/h"),
         QStringLiteral("\"/opt/\\$x\\\"y\\`z\\\\/h\" --autostart")},
        {QStringLiteral("/opt/100%/h"), QStringLiteral("/opt/100%%/h --autostart")},
    };
    for (const Case &c : cases) {
        const QString exec =
            XdgAutostart::execLine(c.program, QStringList{QStringLiteral("--autostart")});
        EXPECT_EQ(exec, c.exec);
        EXPECT_EQ(XdgAutostart::programOfExecLine(exec), c.program);
    }
    EXPECT_EQ(XdgAutostart::programOfExecLine(QStringLiteral("\"/unterminated --x")), QString());
}

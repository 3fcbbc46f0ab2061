#include "platform/HotKeyKeys.h"

#include <Qt>
#include <array>

namespace HotKeyKeys {

namespace {
struct Named
{
    int key;
    quint32 keysym;
    const char *name;
};

// Keys outside Latin-1 whose Qt code differs from the keysym.
constexpr std::array kSpecialKeys{
    Named{Qt::Key_Escape, 0xff1b, "Escape"},
    Named{Qt::Key_Tab, 0xff09, "Tab"},
    Named{Qt::Key_Backspace, 0xff08, "BackSpace"},
    Named{Qt::Key_Return, 0xff0d, "Return"},
    Named{Qt::Key_Enter, 0xff8d, "KP_Enter"},
    Named{Qt::Key_Insert, 0xff63, "Insert"},
    Named{Qt::Key_Delete, 0xffff, "Delete"},
    Named{Qt::Key_Pause, 0xff13, "Pause"},
    Named{Qt::Key_Print, 0xff61, "Print"},
    Named{Qt::Key_Home, 0xff50, "Home"},
    Named{Qt::Key_End, 0xff57, "End"},
    Named{Qt::Key_Left, 0xff51, "Left"},
    Named{Qt::Key_Up, 0xff52, "Up"},
    Named{Qt::Key_Right, 0xff53, "Right"},
    Named{Qt::Key_Down, 0xff54, "Down"},
    Named{Qt::Key_PageUp, 0xff55, "Prior"},
    Named{Qt::Key_PageDown, 0xff56, "Next"},
    Named{Qt::Key_Space, 0x20, "space"},
};

// Printable ASCII keys other than letters and digits, by their keysym names.
constexpr std::array kPunctuation{
    Named{'!', '!', "exclam"},       Named{'"', '"', "quotedbl"},    Named{'#', '#', "numbersign"},
    Named{'$', '$', "dollar"},       Named{'%', '%', "percent"},     Named{'&', '&', "ampersand"},
    Named{'\'', '\'', "apostrophe"}, Named{'(', '(', "parenleft"},   Named{')', ')', "parenright"},
    Named{'*', '*', "asterisk"},     Named{'+', '+', "plus"},        Named{',', ',', "comma"},
    Named{'-', '-', "minus"},        Named{'.', '.', "period"},      Named{'/', '/', "slash"},
    Named{':', ':', "colon"},        Named{';', ';', "semicolon"},   Named{'<', '<', "less"},
    Named{'=', '=', "equal"},        Named{'>', '>', "greater"},     Named{'?', '?', "question"},
    Named{'@', '@', "at"},           Named{'[', '[', "bracketleft"}, Named{'\\', '\\', "backslash"},
    Named{']', ']', "bracketright"}, Named{'^', '^', "asciicircum"}, Named{'_', '_', "underscore"},
    Named{'`', '`', "grave"},        Named{'{', '{', "braceleft"},   Named{'|', '|', "bar"},
    Named{'}', '}', "braceright"},   Named{'~', '~', "asciitilde"},
};
} // namespace

Key keyForKeyCode(int keyCode)
{
    if (keyCode >= Qt::Key_A && keyCode <= Qt::Key_Z) {
        // Letters are grabbed by their lower-case keysym, as the keyboard map lists them.
        const char lower = char('a' + (keyCode - Qt::Key_A));
        return {quint32(lower), QString(QLatin1Char(lower))};
    }
    if (keyCode >= Qt::Key_0 && keyCode <= Qt::Key_9)
        return {quint32(keyCode), QString(QLatin1Char(char(keyCode)))};
    if (keyCode >= Qt::Key_F1 && keyCode <= Qt::Key_F35) {
        const int n = keyCode - Qt::Key_F1;
        return {quint32(0xffbe + n), QStringLiteral("F%1").arg(n + 1)};
    }
    for (const Named &named : kSpecialKeys) {
        if (named.key == keyCode)
            return {named.keysym, QLatin1String(named.name)};
    }
    for (const Named &named : kPunctuation) {
        if (named.key == keyCode)
            return {named.keysym, QLatin1String(named.name)};
    }
    return {};
}

QString triggerText(int keyCode, quint32 flags)
{
    const Key key = keyForKeyCode(keyCode);
    if (key.keysym == 0 || (flags & kModifierMask) == 0)
        return QString();
    QString text;
    if (flags & Qt::ControlModifier)
        text += QLatin1String("CTRL+");
    if (flags & Qt::AltModifier)
        text += QLatin1String("ALT+");
    if (flags & Qt::ShiftModifier)
        text += QLatin1String("SHIFT+");
    if (flags & Qt::MetaModifier)
        text += QLatin1String("LOGO+");
    return text + key.name;
}

quint16 x11ModifierMask(quint32 flags)
{
    quint16 mask = 0;
    if (flags & Qt::ShiftModifier)
        mask |= 0x01; // ShiftMask
    if (flags & Qt::ControlModifier)
        mask |= 0x04; // ControlMask
    if (flags & Qt::AltModifier)
        mask |= 0x08; // Mod1Mask
    if (flags & Qt::MetaModifier)
        mask |= 0x40; // Mod4Mask
    return mask;
}

} // namespace HotKeyKeys

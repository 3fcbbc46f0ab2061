#pragma once

#include <QString>
#include <QtGlobal>

// The hot-key settings hold a Qt::Key as the key code and Qt::KeyboardModifiers bits as
// the flags, as a key-sequence editor records them. The desktop's hot-key services need X
// keysyms and their names; this is the one table between the two.
namespace HotKeyKeys {

struct Key
{
    quint32 keysym = 0; // 0: the key has no keysym we know
    QString name;       // the keysym's name ("a", "F5", "Return")
};

// Control, Alt, Shift and Meta; other bits (keypad, group switch) are not modifiers here.
inline constexpr quint32 kModifierMask = 0x1e000000u;

[[nodiscard]] Key keyForKeyCode(int keyCode);
// "CTRL+ALT+t", the trigger form of the desktop's shortcut description; empty when the key
// is unknown or no modifier is set.
[[nodiscard]] QString triggerText(int keyCode, quint32 flags);
// The X modifier mask (Shift, Control, Mod1 for Alt, Mod4 for Meta) of the flags.
[[nodiscard]] quint16 x11ModifierMask(quint32 flags);

} // namespace HotKeyKeys

#pragma once

#include <Qt>
#include <QtGlobal>

namespace flintly::shortcuts {

// Carbon modifier bits: the form a shortcut is stored in.
namespace CarbonModifier {
inline constexpr quint32 command = 0x100;
inline constexpr quint32 shift = 0x200;
inline constexpr quint32 option = 0x800;
inline constexpr quint32 control = 0x1000;
inline constexpr quint32 function = 0x20000;
}  // namespace CarbonModifier

// AppKit modifier flags: the form the constructors take and `Shortcut::modifiers()`
// reports. Only the five modifier bits survive a conversion to Carbon; the others are
// listed because key events carry them (Caps Lock, the keypad bit, Help).
using ModifierFlags = quint64;
namespace ModifierFlag {
inline constexpr ModifierFlags capsLock = 0x10000;
inline constexpr ModifierFlags shift = 0x20000;
inline constexpr ModifierFlags control = 0x40000;
inline constexpr ModifierFlags option = 0x80000;
inline constexpr ModifierFlags command = 0x100000;
inline constexpr ModifierFlags numericPad = 0x200000;
inline constexpr ModifierFlags help = 0x400000;
inline constexpr ModifierFlags function = 0x800000;
}  // namespace ModifierFlag

ModifierFlags carbonToModifierFlags(quint32 carbon);
quint32 modifierFlagsToCarbon(ModifierFlags flags);
// Keeps the five modifier bits and drops the rest, as every constructor does.
quint32 normalizedCarbonModifiers(quint32 carbon);

// Qt follows the convention of its own menus: Command is Ctrl, Control is Meta (the
// Super key), Option is Alt. Function has no Qt or X11 counterpart.
quint32 qtToCarbonModifiers(Qt::KeyboardModifiers modifiers);
Qt::KeyboardModifiers carbonToQtModifiers(quint32 carbon);

}  // namespace flintly::shortcuts

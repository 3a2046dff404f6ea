#pragma once

#include <QString>

#include <optional>

namespace flintly::shortcuts {

// Keys without a printable character of their own; their display text is fixed and
// never goes through the keyboard layout.
// A table, laid out to be read as one.
// clang-format off
enum class SpecialKey {
    returnKey, deleteKey, deleteForward, end, escape, help, home, space, tab, pageUp, pageDown,
    upArrow, rightArrow, downArrow, leftArrow,
    f1, f2, f3, f4, f5, f6, f7, f8, f9, f10, f11, f12, f13, f14, f15, f16, f17, f18, f19, f20,
    keypad0, keypad1, keypad2, keypad3, keypad4, keypad5, keypad6, keypad7, keypad8, keypad9,
    keypadClear, keypadDecimal, keypadDivide, keypadEnter, keypadEquals, keypadMinus,
    keypadMultiply, keypadPlus,
};
// clang-format on

std::optional<SpecialKey> specialKeyForCode(int keyCode);
int keyCode(SpecialKey key);
QString displayText(SpecialKey key);
bool isKeypad(SpecialKey key);
bool isFunctionKey(SpecialKey key);
// The Qt key a menu action would carry for it; keypad keys have none, like AppKit's
// key equivalents, so a keypad shortcut never collides with a menu item.
std::optional<int> menuQtKey(SpecialKey key);
// The Qt key of the physical key, keypad included (the keypad bit travels separately).
int qtKey(SpecialKey key);

}  // namespace flintly::shortcuts

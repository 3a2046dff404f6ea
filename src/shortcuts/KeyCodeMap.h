#pragma once

#include <QChar>

#include <optional>

namespace flintly::shortcuts {

// Where each stored key code (kVK) sits on a Linux keyboard. The X keycode of a key
// is its evdev code plus 8, on every server that uses the evdev keymap (Xorg, Xvfb,
// XWayland); codes that do not fit in X's 8..255 have no X keycode.
namespace KeyCodeMap {

std::optional<int> evdevCode(int keyCode);
std::optional<int> keyCodeForEvdev(int evdev);

std::optional<quint8> xKeycode(int keyCode);
std::optional<int> keyCodeForXKeycode(quint32 xKeycode);

// For key events that carry no scan code (posted by code rather than typed): the key
// from its Qt key as a US keyboard has it. The keypad flag picks the keypad variant.
std::optional<int> keyCodeForQtKey(int qtKey, bool keypad);

// The character of the key on a US keyboard; what the display falls back to when no
// X server can say what the current layout puts there.
std::optional<QChar> usCharacter(int keyCode);

// Keys that only modify others (Shift, Ctrl, Alt, Super, Caps Lock, Fn): pressing one
// alone is not a shortcut.
bool isModifierKey(int keyCode);
bool isModifierQtKey(int qtKey);

}  // namespace KeyCodeMap

}  // namespace flintly::shortcuts

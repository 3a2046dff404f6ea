#pragma once

#include <QString>

#include <optional>

namespace flintly::shortcuts {

// What a key produces on the user's keyboard layout: its character, for showing a
// shortcut ("J" for the key that types j), and its keysym, for naming it to a desktop
// portal. Each answers one value or nothing. Which one is in use: CurrentKeyboardLayout.
class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;
    virtual std::optional<QString> character(int keyCode) const = 0;
    // The keysym without modifiers (0x6a "j" for that key, 0xffc2 "F5").
    virtual std::optional<quint32> keysym(int keyCode) const = 0;
};

class UsKeyboardLayout final : public KeyboardLayout {
public:
    std::optional<QString> character(int keyCode) const override;
    std::optional<quint32> keysym(int keyCode) const override;
};

}  // namespace flintly::shortcuts

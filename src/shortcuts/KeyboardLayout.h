#pragma once

#include <QString>

#include <optional>

namespace flintly::shortcuts {

// What character a key produces on the user's keyboard layout, for showing a
// shortcut ("J" for the key that types j). Answers one character or nothing.
class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;
    virtual std::optional<QString> character(int keyCode) const = 0;

    // The X server's layout when the app runs on X11, else a US keyboard.
    static const KeyboardLayout& current();
};

class UsKeyboardLayout final : public KeyboardLayout {
public:
    std::optional<QString> character(int keyCode) const override;
};

}  // namespace flintly::shortcuts

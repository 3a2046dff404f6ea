#pragma once

#include <QHashFunctions>

#include <functional>

namespace flintly::shortcuts {

// The stored identity of a physical key is its Carbon virtual key code (kVK), so a
// shortcut file written on one machine means the same key on another whatever the
// layout; KeyCodeMap translates it to the Linux key of the same position.
// `return` and `delete` are C++ keywords, hence `returnKey` and `deleteKey`.
// A table, laid out to be read as one.
// clang-format off
#define FLINTLY_SHORTCUT_KEYS(X)                                                                   \
    X(a, 0x00) X(s, 0x01) X(d, 0x02) X(f, 0x03) X(h, 0x04) X(g, 0x05) X(z, 0x06) X(x, 0x07)       \
    X(c, 0x08) X(v, 0x09) X(section, 0x0A) X(b, 0x0B) X(q, 0x0C) X(w, 0x0D) X(e, 0x0E)            \
    X(r, 0x0F) X(y, 0x10) X(t, 0x11) X(one, 0x12) X(two, 0x13) X(three, 0x14) X(four, 0x15)       \
    X(six, 0x16) X(five, 0x17) X(equal, 0x18) X(nine, 0x19) X(seven, 0x1A) X(minus, 0x1B)         \
    X(eight, 0x1C) X(zero, 0x1D) X(rightBracket, 0x1E) X(o, 0x1F) X(u, 0x20)                      \
    X(leftBracket, 0x21) X(i, 0x22) X(p, 0x23) X(returnKey, 0x24) X(l, 0x25) X(j, 0x26)           \
    X(quote, 0x27) X(k, 0x28) X(semicolon, 0x29) X(backslash, 0x2A) X(comma, 0x2B)                \
    X(slash, 0x2C) X(n, 0x2D) X(m, 0x2E) X(period, 0x2F) X(tab, 0x30) X(space, 0x31)              \
    X(backtick, 0x32) X(deleteKey, 0x33) X(escape, 0x35) X(rightCommand, 0x36)                    \
    X(command, 0x37) X(shift, 0x38) X(capsLock, 0x39) X(option, 0x3A) X(control, 0x3B)            \
    X(rightShift, 0x3C) X(rightOption, 0x3D) X(rightControl, 0x3E) X(function, 0x3F)              \
    X(f17, 0x40) X(keypadDecimal, 0x41) X(keypadMultiply, 0x43) X(keypadPlus, 0x45)               \
    X(keypadClear, 0x47) X(volumeUp, 0x48) X(volumeDown, 0x49) X(mute, 0x4A)                      \
    X(keypadDivide, 0x4B) X(keypadEnter, 0x4C) X(keypadMinus, 0x4E) X(f18, 0x4F) X(f19, 0x50)     \
    X(keypadEquals, 0x51) X(keypad0, 0x52) X(keypad1, 0x53) X(keypad2, 0x54) X(keypad3, 0x55)     \
    X(keypad4, 0x56) X(keypad5, 0x57) X(keypad6, 0x58) X(keypad7, 0x59) X(f20, 0x5A)              \
    X(keypad8, 0x5B) X(keypad9, 0x5C) X(f5, 0x60) X(f6, 0x61) X(f7, 0x62) X(f3, 0x63)             \
    X(f8, 0x64) X(f9, 0x65) X(f11, 0x67) X(f13, 0x69) X(f16, 0x6A) X(f14, 0x6B) X(f10, 0x6D)      \
    X(f12, 0x6F) X(f15, 0x71) X(help, 0x72) X(home, 0x73) X(pageUp, 0x74)                         \
    X(deleteForward, 0x75) X(f4, 0x76) X(end, 0x77) X(f2, 0x78) X(pageDown, 0x79) X(f1, 0x7A)     \
    X(leftArrow, 0x7B) X(rightArrow, 0x7C) X(downArrow, 0x7D) X(upArrow, 0x7E)
// clang-format on

struct Key {
    int rawValue = 0;

    constexpr explicit Key(int raw) : rawValue(raw) {}
    friend constexpr bool operator==(Key, Key) = default;

#define FLINTLY_DECLARE_KEY(name, code) static const Key name;
    FLINTLY_SHORTCUT_KEYS(FLINTLY_DECLARE_KEY)
#undef FLINTLY_DECLARE_KEY
};

#define FLINTLY_DEFINE_KEY(name, code) inline constexpr Key Key::name{code};
FLINTLY_SHORTCUT_KEYS(FLINTLY_DEFINE_KEY)
#undef FLINTLY_DEFINE_KEY

inline size_t qHash(Key key, size_t seed = 0) noexcept { return ::qHash(key.rawValue, seed); }

}  // namespace flintly::shortcuts

template <> struct std::hash<flintly::shortcuts::Key> {
    size_t operator()(flintly::shortcuts::Key key) const noexcept { return std::hash<int>{}(key.rawValue); }
};

#pragma once

#include "shortcuts/Key.h"
#include "shortcuts/Modifiers.h"

#include <QByteArray>
#include <QKeySequence>
#include <QString>

#include <optional>

class QEvent;
class QKeyEvent;

namespace flintly::shortcuts {

// A key with modifiers, as stored: the key code (kVK) and Carbon modifier bits.
class Shortcut {
public:
    // Both constructors keep only the five modifier bits.
    Shortcut(int carbonKeyCode, quint32 carbonModifiers);
    explicit Shortcut(Key key, ModifierFlags modifiers = 0);

    // From a key press or release (init(event:)); nothing for any other event and for
    // keys that only modify (Qt reports those as key events, AppKit as flag changes).
    static std::optional<Shortcut> fromEvent(const QEvent* event);
    // The same for any key event, whatever its type (shortcut overrides included).
    static std::optional<Shortcut> fromKeyEvent(const QKeyEvent& event);

    // The persisted form: {"carbonKeyCode":38,"carbonModifiers":256}. Decoding takes
    // the integers as stored and refuses anything that is not an object with two
    // whole numbers in 0..2^31-1, so a hand-edited file cannot yield a bogus key.
    QByteArray toJson() const;
    static std::optional<Shortcut> fromJson(const QByteArray& json);

    int carbonKeyCode() const { return carbonKeyCode_; }
    quint32 carbonModifiers() const { return carbonModifiers_; }

    Key key() const { return Key(carbonKeyCode_); }
    ModifierFlags modifiers() const { return carbonToModifierFlags(carbonModifiers_); }
    Qt::KeyboardModifiers qtModifiers() const { return carbonToQtModifiers(carbonModifiers_); }

    // The display form: modifier symbols in the order ⌃⌥⇧⌘🌐︎, then the key ("⌘J").
    QString description() const;
    // The Qt key a menu action would use for this key (no modifiers): nothing for
    // keypad keys and for keys the layout gives no character.
    std::optional<int> nsMenuItemKeyEquivalent() const;
    // Key and modifiers as a menu action's shortcut; nothing when no menu could carry
    // it (keypad keys, the Function modifier).
    std::optional<QKeySequence> keySequence() const;
    // What a Linux user reads ("Ctrl+J"), in the platform's own words.
    QString nativeText() const;
    // A key event of this shortcut as if typed, for handing a grabbed key to a widget.
    QKeyEvent* makeKeyEvent(bool press) const;

    friend bool operator==(const Shortcut&, const Shortcut&) = default;

private:
    struct Stored {};
    Shortcut(Stored, int keyCode, quint32 modifiers) : carbonKeyCode_(keyCode), carbonModifiers_(modifiers) {}

    int carbonKeyCode_;
    quint32 carbonModifiers_;
};

size_t qHash(const Shortcut& shortcut, size_t seed = 0) noexcept;

}  // namespace flintly::shortcuts

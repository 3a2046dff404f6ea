#include "shortcuts/SpecialKey.h"

#include "shortcuts/Localized.h"

#include <QHash>

namespace flintly::shortcuts {

namespace {

struct Row {
    SpecialKey key;
    int code;
    const char16_t* display;  // nullptr: the localized "space_key"
    int qtKey;
};

// Keypad digits are not contiguous: 8 and 9 sit after F20 (90).
constexpr Row kRows[] = {
    {SpecialKey::returnKey, 36, u"↩", Qt::Key_Return},
    {SpecialKey::deleteKey, 51, u"⌫", Qt::Key_Backspace},
    {SpecialKey::deleteForward, 117, u"⌦", Qt::Key_Delete},
    {SpecialKey::end, 119, u"↘", Qt::Key_End},
    {SpecialKey::escape, 53, u"⎋", Qt::Key_Escape},
    // The Help key of Apple keyboards sits where PC keyboards have Insert.
    {SpecialKey::help, 114, u"?\u20E3", Qt::Key_Insert},
    {SpecialKey::home, 115, u"↖", Qt::Key_Home},
    {SpecialKey::space, 49, nullptr, Qt::Key_Space},
    {SpecialKey::tab, 48, u"⇥", Qt::Key_Tab},
    {SpecialKey::pageUp, 116, u"⇞", Qt::Key_PageUp},
    {SpecialKey::pageDown, 121, u"⇟", Qt::Key_PageDown},
    {SpecialKey::upArrow, 126, u"↑", Qt::Key_Up},
    {SpecialKey::rightArrow, 124, u"→", Qt::Key_Right},
    {SpecialKey::downArrow, 125, u"↓", Qt::Key_Down},
    {SpecialKey::leftArrow, 123, u"←", Qt::Key_Left},
    {SpecialKey::f1, 122, u"F1", Qt::Key_F1},
    {SpecialKey::f2, 120, u"F2", Qt::Key_F2},
    {SpecialKey::f3, 99, u"F3", Qt::Key_F3},
    {SpecialKey::f4, 118, u"F4", Qt::Key_F4},
    {SpecialKey::f5, 96, u"F5", Qt::Key_F5},
    {SpecialKey::f6, 97, u"F6", Qt::Key_F6},
    {SpecialKey::f7, 98, u"F7", Qt::Key_F7},
    {SpecialKey::f8, 100, u"F8", Qt::Key_F8},
    {SpecialKey::f9, 101, u"F9", Qt::Key_F9},
    {SpecialKey::f10, 109, u"F10", Qt::Key_F10},
    {SpecialKey::f11, 103, u"F11", Qt::Key_F11},
    {SpecialKey::f12, 111, u"F12", Qt::Key_F12},
    {SpecialKey::f13, 105, u"F13", Qt::Key_F13},
    {SpecialKey::f14, 107, u"F14", Qt::Key_F14},
    {SpecialKey::f15, 113, u"F15", Qt::Key_F15},
    {SpecialKey::f16, 106, u"F16", Qt::Key_F16},
    {SpecialKey::f17, 64, u"F17", Qt::Key_F17},
    {SpecialKey::f18, 79, u"F18", Qt::Key_F18},
    {SpecialKey::f19, 80, u"F19", Qt::Key_F19},
    {SpecialKey::f20, 90, u"F20", Qt::Key_F20},
    {SpecialKey::keypad0, 82, u"0\u20E3", Qt::Key_0},
    {SpecialKey::keypad1, 83, u"1\u20E3", Qt::Key_1},
    {SpecialKey::keypad2, 84, u"2\u20E3", Qt::Key_2},
    {SpecialKey::keypad3, 85, u"3\u20E3", Qt::Key_3},
    {SpecialKey::keypad4, 86, u"4\u20E3", Qt::Key_4},
    {SpecialKey::keypad5, 87, u"5\u20E3", Qt::Key_5},
    {SpecialKey::keypad6, 88, u"6\u20E3", Qt::Key_6},
    {SpecialKey::keypad7, 89, u"7\u20E3", Qt::Key_7},
    {SpecialKey::keypad8, 91, u"8\u20E3", Qt::Key_8},
    {SpecialKey::keypad9, 92, u"9\u20E3", Qt::Key_9},
    {SpecialKey::keypadClear, 71, u"☒\u20E3", Qt::Key_Clear},
    {SpecialKey::keypadDecimal, 65, u".\u20E3", Qt::Key_Period},
    {SpecialKey::keypadDivide, 75, u"/\u20E3", Qt::Key_Slash},
    {SpecialKey::keypadEnter, 76, u"↩\u20E3", Qt::Key_Enter},
    {SpecialKey::keypadEquals, 81, u"=\u20E3", Qt::Key_Equal},
    {SpecialKey::keypadMinus, 78, u"-\u20E3", Qt::Key_Minus},
    {SpecialKey::keypadMultiply, 67, u"*\u20E3", Qt::Key_Asterisk},
    {SpecialKey::keypadPlus, 69, u"+\u20E3", Qt::Key_Plus},
};

const Row& row(SpecialKey key) { return kRows[static_cast<int>(key)]; }

}  // namespace

std::optional<SpecialKey> specialKeyForCode(int keyCode)
{
    static const QHash<int, SpecialKey> byCode = [] {
        QHash<int, SpecialKey> h;
        for (const Row& r : kRows)
            h.insert(r.code, r.key);
        return h;
    }();
    const auto it = byCode.constFind(keyCode);
    if (it == byCode.constEnd())
        return std::nullopt;
    return *it;
}

int keyCode(SpecialKey key) { return row(key).code; }

QString displayText(SpecialKey key)
{
    const Row& r = row(key);
    if (!r.display) {
        const QString text = localized("space_key");
        return text.isEmpty() ? text : text.left(1).toUpper() + text.mid(1);
    }
    return QString::fromUtf16(r.display);
}

bool isKeypad(SpecialKey key) { return key >= SpecialKey::keypad0 && key <= SpecialKey::keypadPlus; }

bool isFunctionKey(SpecialKey key) { return key >= SpecialKey::f1 && key <= SpecialKey::f20; }

std::optional<int> menuQtKey(SpecialKey key)
{
    if (isKeypad(key))
        return std::nullopt;
    return row(key).qtKey;
}

int qtKey(SpecialKey key) { return row(key).qtKey; }

}  // namespace flintly::shortcuts

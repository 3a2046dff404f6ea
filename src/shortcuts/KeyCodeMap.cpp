#include "shortcuts/KeyCodeMap.h"

#include "shortcuts/Key.h"

#include <QHash>

namespace flintly::shortcuts::KeyCodeMap {

namespace {

struct Row {
    Key key;
    int evdev;
    int qtKey;    // 0: not reachable from a Qt key alone
    char16_t us;  // 0: no character
    bool keypad = false;
};

// Positions follow the physical key, except the modifier keys: they follow the
// modifier convention (Command is Ctrl, Control is Super) so that pressing "the
// Command key" and holding "the Command modifier" mean the same key.
// A table, laid out to be read as one.
// clang-format off
const Row kRows[] = {
    {Key::a, 30, Qt::Key_A, u'a'}, {Key::b, 48, Qt::Key_B, u'b'}, {Key::c, 46, Qt::Key_C, u'c'},
    {Key::d, 32, Qt::Key_D, u'd'}, {Key::e, 18, Qt::Key_E, u'e'}, {Key::f, 33, Qt::Key_F, u'f'},
    {Key::g, 34, Qt::Key_G, u'g'}, {Key::h, 35, Qt::Key_H, u'h'}, {Key::i, 23, Qt::Key_I, u'i'},
    {Key::j, 36, Qt::Key_J, u'j'}, {Key::k, 37, Qt::Key_K, u'k'}, {Key::l, 38, Qt::Key_L, u'l'},
    {Key::m, 50, Qt::Key_M, u'm'}, {Key::n, 49, Qt::Key_N, u'n'}, {Key::o, 24, Qt::Key_O, u'o'},
    {Key::p, 25, Qt::Key_P, u'p'}, {Key::q, 16, Qt::Key_Q, u'q'}, {Key::r, 19, Qt::Key_R, u'r'},
    {Key::s, 31, Qt::Key_S, u's'}, {Key::t, 20, Qt::Key_T, u't'}, {Key::u, 22, Qt::Key_U, u'u'},
    {Key::v, 47, Qt::Key_V, u'v'}, {Key::w, 17, Qt::Key_W, u'w'}, {Key::x, 45, Qt::Key_X, u'x'},
    {Key::y, 21, Qt::Key_Y, u'y'}, {Key::z, 44, Qt::Key_Z, u'z'},
    {Key::one, 2, Qt::Key_1, u'1'}, {Key::two, 3, Qt::Key_2, u'2'}, {Key::three, 4, Qt::Key_3, u'3'},
    {Key::four, 5, Qt::Key_4, u'4'}, {Key::five, 6, Qt::Key_5, u'5'}, {Key::six, 7, Qt::Key_6, u'6'},
    {Key::seven, 8, Qt::Key_7, u'7'}, {Key::eight, 9, Qt::Key_8, u'8'}, {Key::nine, 10, Qt::Key_9, u'9'},
    {Key::zero, 11, Qt::Key_0, u'0'},
    {Key::minus, 12, Qt::Key_Minus, u'-'}, {Key::equal, 13, Qt::Key_Equal, u'='},
    {Key::leftBracket, 26, Qt::Key_BracketLeft, u'['}, {Key::rightBracket, 27, Qt::Key_BracketRight, u']'},
    {Key::semicolon, 39, Qt::Key_Semicolon, u';'}, {Key::quote, 40, Qt::Key_Apostrophe, u'\''},
    {Key::backtick, 41, Qt::Key_QuoteLeft, u'`'}, {Key::backslash, 43, Qt::Key_Backslash, u'\\'},
    {Key::comma, 51, Qt::Key_Comma, u','}, {Key::period, 52, Qt::Key_Period, u'.'},
    {Key::slash, 53, Qt::Key_Slash, u'/'}, {Key::section, 86, 0, u'§'},
    {Key::returnKey, 28, Qt::Key_Return, 0}, {Key::tab, 15, Qt::Key_Tab, 0},
    {Key::space, 57, Qt::Key_Space, u' '}, {Key::deleteKey, 14, Qt::Key_Backspace, 0},
    {Key::escape, 1, Qt::Key_Escape, 0}, {Key::deleteForward, 111, Qt::Key_Delete, 0},
    {Key::help, 110, Qt::Key_Insert, 0}, {Key::home, 102, Qt::Key_Home, 0}, {Key::end, 107, Qt::Key_End, 0},
    {Key::pageUp, 104, Qt::Key_PageUp, 0}, {Key::pageDown, 109, Qt::Key_PageDown, 0},
    {Key::leftArrow, 105, Qt::Key_Left, 0}, {Key::rightArrow, 106, Qt::Key_Right, 0},
    {Key::downArrow, 108, Qt::Key_Down, 0}, {Key::upArrow, 103, Qt::Key_Up, 0},
    {Key::command, 29, Qt::Key_Control, 0}, {Key::rightCommand, 97, 0, 0},
    {Key::shift, 42, Qt::Key_Shift, 0}, {Key::rightShift, 54, 0, 0},
    {Key::option, 56, Qt::Key_Alt, 0}, {Key::rightOption, 100, Qt::Key_AltGr, 0},
    {Key::control, 125, Qt::Key_Meta, 0}, {Key::rightControl, 126, 0, 0},
    {Key::capsLock, 58, Qt::Key_CapsLock, 0},
    // KEY_FN: its X keycode would be 472, beyond what X can name.
    {Key::function, 464, 0, 0},
    {Key::volumeUp, 115, Qt::Key_VolumeUp, 0}, {Key::volumeDown, 114, Qt::Key_VolumeDown, 0},
    {Key::mute, 113, Qt::Key_VolumeMute, 0},
    {Key::f1, 59, Qt::Key_F1, 0}, {Key::f2, 60, Qt::Key_F2, 0}, {Key::f3, 61, Qt::Key_F3, 0},
    {Key::f4, 62, Qt::Key_F4, 0}, {Key::f5, 63, Qt::Key_F5, 0}, {Key::f6, 64, Qt::Key_F6, 0},
    {Key::f7, 65, Qt::Key_F7, 0}, {Key::f8, 66, Qt::Key_F8, 0}, {Key::f9, 67, Qt::Key_F9, 0},
    {Key::f10, 68, Qt::Key_F10, 0}, {Key::f11, 87, Qt::Key_F11, 0}, {Key::f12, 88, Qt::Key_F12, 0},
    {Key::f13, 183, Qt::Key_F13, 0}, {Key::f14, 184, Qt::Key_F14, 0}, {Key::f15, 185, Qt::Key_F15, 0},
    {Key::f16, 186, Qt::Key_F16, 0}, {Key::f17, 187, Qt::Key_F17, 0}, {Key::f18, 188, Qt::Key_F18, 0},
    {Key::f19, 189, Qt::Key_F19, 0}, {Key::f20, 190, Qt::Key_F20, 0},
    {Key::keypad0, 82, Qt::Key_0, u'0', true}, {Key::keypad1, 79, Qt::Key_1, u'1', true},
    {Key::keypad2, 80, Qt::Key_2, u'2', true}, {Key::keypad3, 81, Qt::Key_3, u'3', true},
    {Key::keypad4, 75, Qt::Key_4, u'4', true}, {Key::keypad5, 76, Qt::Key_5, u'5', true},
    {Key::keypad6, 77, Qt::Key_6, u'6', true}, {Key::keypad7, 71, Qt::Key_7, u'7', true},
    {Key::keypad8, 72, Qt::Key_8, u'8', true}, {Key::keypad9, 73, Qt::Key_9, u'9', true},
    {Key::keypadDecimal, 83, Qt::Key_Period, u'.', true}, {Key::keypadMultiply, 55, Qt::Key_Asterisk, u'*', true},
    {Key::keypadPlus, 78, Qt::Key_Plus, u'+', true}, {Key::keypadMinus, 74, Qt::Key_Minus, u'-', true},
    {Key::keypadDivide, 98, Qt::Key_Slash, u'/', true}, {Key::keypadEnter, 96, Qt::Key_Enter, 0, true},
    {Key::keypadEquals, 117, Qt::Key_Equal, u'=', true},
    // Apple's keypad Clear is where PC keyboards have Num Lock, and Linux reports it so.
    {Key::keypadClear, 69, Qt::Key_Clear, 0, true},
};
// clang-format on

struct Tables {
    QHash<int, const Row*> byKeyCode;
    QHash<int, int> keyCodeByEvdev;
    QHash<int, int> keyCodeByQtKey;
    QHash<int, int> keyCodeByKeypadQtKey;
};

const Tables& tables()
{
    static const Tables t = [] {
        Tables t;
        for (const Row& r : kRows) {
            t.byKeyCode.insert(r.key.rawValue, &r);
            t.keyCodeByEvdev.insert(r.evdev, r.key.rawValue);
            if (r.qtKey)
                (r.keypad ? t.keyCodeByKeypadQtKey : t.keyCodeByQtKey).insert(r.qtKey, r.key.rawValue);
        }
        // Keys Linux keyboards have that Apple names differently.
        t.keyCodeByEvdev.insert(138, Key::help.rawValue);  // KEY_HELP
        t.keyCodeByQtKey.insert(Qt::Key_Help, Key::help.rawValue);
        t.keyCodeByQtKey.insert(Qt::Key_Backtab, Key::tab.rawValue);  // Shift+Tab
        t.keyCodeByQtKey.insert(Qt::Key_Enter, Key::keypadEnter.rawValue);
        return t;
    }();
    return t;
}

}  // namespace

std::optional<int> evdevCode(int keyCode)
{
    const auto it = tables().byKeyCode.constFind(keyCode);
    if (it == tables().byKeyCode.constEnd())
        return std::nullopt;
    return (*it)->evdev;
}

std::optional<int> keyCodeForEvdev(int evdev)
{
    const auto it = tables().keyCodeByEvdev.constFind(evdev);
    if (it == tables().keyCodeByEvdev.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<quint8> xKeycode(int keyCode)
{
    const auto evdev = evdevCode(keyCode);
    if (!evdev || *evdev + 8 > 255)
        return std::nullopt;
    return static_cast<quint8>(*evdev + 8);
}

std::optional<int> keyCodeForXKeycode(quint32 xKeycode)
{
    if (xKeycode < 8 || xKeycode > 255)
        return std::nullopt;
    return keyCodeForEvdev(static_cast<int>(xKeycode) - 8);
}

std::optional<int> keyCodeForQtKey(int qtKey, bool keypad)
{
    if (keypad) {
        const auto it = tables().keyCodeByKeypadQtKey.constFind(qtKey);
        if (it != tables().keyCodeByKeypadQtKey.constEnd())
            return *it;
    }
    const auto it = tables().keyCodeByQtKey.constFind(qtKey);
    if (it == tables().keyCodeByQtKey.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<QChar> usCharacter(int keyCode)
{
    const auto it = tables().byKeyCode.constFind(keyCode);
    if (it == tables().byKeyCode.constEnd() || (*it)->us == 0)
        return std::nullopt;
    return QChar((*it)->us);
}

bool isModifierKey(int keyCode)
{
    switch (keyCode) {
    case Key::command.rawValue:
    case Key::rightCommand.rawValue:
    case Key::shift.rawValue:
    case Key::rightShift.rawValue:
    case Key::option.rawValue:
    case Key::rightOption.rawValue:
    case Key::control.rawValue:
    case Key::rightControl.rawValue:
    case Key::capsLock.rawValue:
    case Key::function.rawValue: return true;
    default: return false;
    }
}

bool isModifierQtKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R: return true;
    default: return false;
    }
}

}  // namespace flintly::shortcuts::KeyCodeMap

#pragma once

#include "shortcuts/Shortcut.h"

#include <QList>

#include <xcb/xcb.h>

namespace flintly::test {

// Presses real keys and buttons on the X server through XTEST, from a connection of
// its own, which also plays "another program" when a test needs a key held elsewhere.
// Whatever it pressed or grabbed is released when it goes.
class XTestDriver {
public:
    XTestDriver();
    ~XTestDriver();
    XTestDriver(const XTestDriver&) = delete;
    XTestDriver& operator=(const XTestDriver&) = delete;

    bool isConnected() const { return connection_ != nullptr; }

    void press(quint8 keycode);
    void release(quint8 keycode);
    // Modifiers down, key down, key up, modifiers up.
    void tap(const shortcuts::Shortcut& shortcut);
    void pressShortcut(const shortcuts::Shortcut& shortcut);
    void releaseShortcut(const shortcuts::Shortcut& shortcut);
    void tapKeycode(quint8 keycode);

    void moveTo(int x, int y);
    void click(int button = 1);

    // Asks a window to close, as a window manager's close button (or Alt+F4) does:
    // WM_DELETE_WINDOW through WM_PROTOCOLS.
    void closeWindow(quint32 window);

    // A passive grab by this client, as another program would hold a hotkey; with
    // `extraModifiers` (lock masks) added to the shortcut's own.
    bool grab(const shortcuts::Shortcut& shortcut, quint16 extraModifiers = 0);
    void ungrab(const shortcuts::Shortcut& shortcut);

    // Caps Lock and Num Lock as the keyboard has them now.
    bool capsLockOn();
    bool numLockOn();
    // The X modifier mask in effect now (locks included).
    quint16 modifierState() { return lockState(); }

    static QList<quint8> modifierKeycodes(quint32 carbonModifiers);
    static constexpr quint8 kCapsLock = 66;
    static constexpr quint8 kNumLock = 77;

private:
    void fake(quint8 type, quint8 detail, int x = 0, int y = 0);
    void sync();
    quint16 lockState();

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
    QList<quint8> down_;
    QList<std::pair<quint8, quint16>> grabs_;
};

}  // namespace flintly::test

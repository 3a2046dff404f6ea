#include "XTestDriver.h"

#include "shortcuts/KeyCodeMap.h"

#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>

namespace flintly::test {

using namespace shortcuts;

XTestDriver::XTestDriver()
{
    if (!std::getenv("DISPLAY"))
        return;
    int screen = 0;
    connection_ = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screen; ++i)
        xcb_screen_next(&it);
    root_ = it.data->root;
}

XTestDriver::~XTestDriver()
{
    if (!connection_)
        return;
    for (auto it = down_.crbegin(); it != down_.crend(); ++it)
        fake(XCB_KEY_RELEASE, *it);
    for (const auto& [keycode, modifiers] : grabs_)
        xcb_ungrab_key(connection_, keycode, root_, modifiers);
    sync();
    xcb_disconnect(connection_);
}

QList<quint8> XTestDriver::modifierKeycodes(quint32 carbon)
{
    // Control_L, Alt_L, Shift_L, Super_L in the evdev keymap.
    QList<quint8> codes;
    if (carbon & CarbonModifier::command)
        codes << 37;
    if (carbon & CarbonModifier::option)
        codes << 64;
    if (carbon & CarbonModifier::shift)
        codes << 50;
    if (carbon & CarbonModifier::control)
        codes << 133;
    return codes;
}

void XTestDriver::fake(quint8 type, quint8 detail, int x, int y)
{
    xcb_test_fake_input(connection_, type, detail, XCB_CURRENT_TIME, type == XCB_MOTION_NOTIFY ? root_ : XCB_NONE,
                        static_cast<int16_t>(x), static_cast<int16_t>(y), 0);
    xcb_flush(connection_);
}

void XTestDriver::sync() { free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)); }

void XTestDriver::press(quint8 keycode)
{
    fake(XCB_KEY_PRESS, keycode);
    down_.append(keycode);
}

void XTestDriver::release(quint8 keycode)
{
    fake(XCB_KEY_RELEASE, keycode);
    down_.removeOne(keycode);
}

void XTestDriver::tapKeycode(quint8 keycode)
{
    press(keycode);
    release(keycode);
    sync();
}

void XTestDriver::pressShortcut(const Shortcut& shortcut)
{
    for (quint8 m : modifierKeycodes(shortcut.carbonModifiers()))
        press(m);
    press(*KeyCodeMap::xKeycode(shortcut.carbonKeyCode()));
    sync();
}

void XTestDriver::releaseShortcut(const Shortcut& shortcut)
{
    release(*KeyCodeMap::xKeycode(shortcut.carbonKeyCode()));
    const QList<quint8> mods = modifierKeycodes(shortcut.carbonModifiers());
    for (auto it = mods.crbegin(); it != mods.crend(); ++it)
        release(*it);
    sync();
}

void XTestDriver::tap(const Shortcut& shortcut)
{
    pressShortcut(shortcut);
    releaseShortcut(shortcut);
}

void XTestDriver::moveTo(int x, int y)
{
    fake(XCB_MOTION_NOTIFY, 0, x, y);
    sync();
}

void XTestDriver::click(int button)
{
    fake(XCB_BUTTON_PRESS, static_cast<quint8>(button));
    fake(XCB_BUTTON_RELEASE, static_cast<quint8>(button));
    sync();
}

bool XTestDriver::grab(const Shortcut& shortcut, quint16 extraModifiers)
{
    const quint8 keycode = *KeyCodeMap::xKeycode(shortcut.carbonKeyCode());
    quint16 mods = extraModifiers;
    const quint32 carbon = shortcut.carbonModifiers();
    if (carbon & CarbonModifier::command)
        mods |= XCB_MOD_MASK_CONTROL;
    if (carbon & CarbonModifier::option)
        mods |= XCB_MOD_MASK_1;
    if (carbon & CarbonModifier::shift)
        mods |= XCB_MOD_MASK_SHIFT;
    if (carbon & CarbonModifier::control)
        mods |= XCB_MOD_MASK_4;
    xcb_generic_error_t* error = xcb_request_check(
        connection_,
        xcb_grab_key_checked(connection_, 0, root_, mods, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    if (error) {
        free(error);
        return false;
    }
    grabs_.append({keycode, mods});
    return true;
}

void XTestDriver::ungrab(const Shortcut& shortcut)
{
    const quint8 keycode = *KeyCodeMap::xKeycode(shortcut.carbonKeyCode());
    for (auto it = grabs_.begin(); it != grabs_.end();) {
        if (it->first == keycode) {
            xcb_ungrab_key(connection_, it->first, root_, it->second);
            it = grabs_.erase(it);
        } else {
            ++it;
        }
    }
    sync();
}

quint16 XTestDriver::lockState()
{
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr);
    const quint16 mask = reply ? reply->mask : 0;
    free(reply);
    return mask;
}

bool XTestDriver::capsLockOn() { return lockState() & XCB_MOD_MASK_LOCK; }

bool XTestDriver::numLockOn() { return lockState() & XCB_MOD_MASK_2; }

namespace {
xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return a;
}
}  // namespace

void XTestDriver::closeWindow(quint32 window)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(connection_, "WM_PROTOCOLS");
    event.data.data32[0] = atom(connection_, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    sync();
}

}  // namespace flintly::test

#include "panels/WindowHints.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstring>

namespace flintly {

namespace {
xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return a;
}
}  // namespace

void showOnAllWorkspaces(QWidget* window)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !window)
        return;
    xcb_connection_t* c = x11->connection();
    window->winId();  // make sure the native window exists
    const xcb_window_t id = static_cast<xcb_window_t>(window->windowHandle()->winId());
    const xcb_atom_t desktop = atom(c, "_NET_WM_DESKTOP");
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const xcb_atom_t sticky = atom(c, "_NET_WM_STATE_STICKY");
    const xcb_atom_t above = atom(c, "_NET_WM_STATE_ABOVE");
    const uint32_t all = 0xFFFFFFFF;
    // Before mapping, the properties are read by the window manager; after mapping it
    // wants client messages, so both are sent.
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1, &all);
    const xcb_atom_t states[] = {sticky, above};
    xcb_change_property(c, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 2, states);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    auto send = [&](xcb_atom_t type, uint32_t d0, uint32_t d1) {
        xcb_client_message_event_t ev {};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = id;
        ev.type = type;
        ev.data.data32[0] = d0;
        ev.data.data32[1] = d1;
        ev.data.data32[3] = 1;  // from a normal application
        xcb_send_event(c, 0, screen->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&ev));
    };
    send(desktop, all, 0);
    send(state, 1 /* add */, sticky);
    xcb_flush(c);
}

}  // namespace flintly

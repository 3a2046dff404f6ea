#include "widgets/WindowHints.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QList>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace flintly {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_connection_t* x11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t nativeId(QWidget* window)
{
    window->winId();  // make sure the native window exists
    return static_cast<xcb_window_t>(window->windowHandle()->winId());
}

QList<xcb_atom_t> atomList(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property)
{
    std::unique_ptr<xcb_get_property_reply_t, FreeDeleter> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_ATOM_ATOM, 0, 1024), nullptr));
    QList<xcb_atom_t> atoms;
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        atoms = QList<xcb_atom_t>(data, data + xcb_get_property_value_length(reply.get()) / 4);
    }
    return atoms;
}

// A client message to the window manager about `window`, as EWMH wants for mapped windows.
void sendToWindowManager(xcb_connection_t* c, xcb_window_t window, xcb_atom_t type,
                         std::initializer_list<uint32_t> data)
{
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = window;
    ev.type = type;
    int i = 0;
    for (uint32_t d : data)
        ev.data.data32[i++] = d;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
}

// The startup-notification message that ends a launch ("remove: ID=..."), in the pieces
// of 20 bytes the protocol sends it in.
void endStartup(xcb_connection_t* c, xcb_window_t window, const QByteArray& id)
{
    QByteArray message = "remove: ID=\"";
    for (char ch : id) {
        if (ch == '"' || ch == '\\')
            message += '\\';
        message += ch;
    }
    message += "\"";
    message += '\0';
    const xcb_atom_t begin = atom(c, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(c, "_NET_STARTUP_INFO");
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    for (qsizetype offset = 0; offset < message.size(); offset += 20) {
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 8;
        ev.window = window;
        ev.type = offset == 0 ? begin : more;
        std::memcpy(ev.data.data8, message.constData() + offset, std::min<qsizetype>(20, message.size() - offset));
        xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char*>(&ev));
    }
}

quint32 startupIdTime(const QString& token)
{
    const qsizetype at = token.lastIndexOf(QLatin1String("_TIME"));
    if (at < 0)
        return 0;
    bool ok = false;
    const quint32 time = token.mid(at + 5).toUInt(&ok);
    return ok ? time : 0;
}

}  // namespace

void showOnAllWorkspaces(QWidget* window)
{
    xcb_connection_t* c = x11Connection();
    if (!c || !window)
        return;
    const xcb_window_t id = nativeId(window);
    const xcb_atom_t desktop = atom(c, "_NET_WM_DESKTOP");
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const xcb_atom_t sticky = atom(c, "_NET_WM_STATE_STICKY");
    const xcb_atom_t above = atom(c, "_NET_WM_STATE_ABOVE");
    const uint32_t all = 0xFFFFFFFF;
    if (window->isVisible()) {
        // A mapped window's properties belong to the window manager; it takes requests.
        sendToWindowManager(c, id, desktop, {all, 1 /* from a normal application */});
        sendToWindowManager(c, id, state, {1 /* add */, sticky, 0, 1 /* from a normal application */});
    } else {
        // Read when the window manager maps the window. Merged, not appended: the
        // property outlives hiding where no window manager clears it, and Qt keeps
        // whatever it finds there, so appending grew it by two atoms at every show.
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1, &all);
        QList<xcb_atom_t> states = atomList(c, id, state);
        for (xcb_atom_t wanted : {sticky, above})
            if (!states.contains(wanted))
                states.append(wanted);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                            static_cast<uint32_t>(states.size()), states.constData());
    }
    xcb_flush(c);
}

// The X11 form of a launch's activation, done with the desktop's activation token: the
// window names it as its startup id before it maps, and the launch is ended with it
// once shown, so a window manager that handed the token out can match the window to it.
void prepareActivation(QWidget* window, const UserActivation& activation)
{
    xcb_connection_t* c = x11Connection();
    if (!c || !window || activation.token.isEmpty())
        return;
    const QByteArray id = activation.token.toUtf8();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, nativeId(window), atom(c, "_NET_STARTUP_ID"), atom(c, "UTF8_STRING"),
                        8, static_cast<uint32_t>(id.size()), id.constData());
    xcb_flush(c);
}

void activateForUserAction(QWidget* window, const UserActivation& activation)
{
    xcb_connection_t* c = x11Connection();
    if (!c || !window)
        return;
    if (!activation.token.isEmpty())
        endStartup(c, nativeId(window), activation.token.toUtf8());
    // An X11 startup id ("…_TIME<timestamp>") carries the time of the launching click.
    const quint32 userTime = activation.userTime ? activation.userTime : startupIdTime(activation.token);
    // Without a time, Qt's own request stands. Under KWin through XWayland it is enough
    // for a portal's activation (timestamp 0, no token in version 1): the shown panel
    // gets the keyboard even while another program had it (tried on Plasma 5.27).
    if (userTime == 0) {
        xcb_flush(c);
        return;
    }
    sendToWindowManager(c, nativeId(window), atom(c, "_NET_ACTIVE_WINDOW"), {1 /* from an application */, userTime, 0});
    xcb_flush(c);
}

void finishActivation(QWidget* window, const UserActivation& activation)
{
    xcb_connection_t* c = x11Connection();
    if (!c || !window || activation.token.isEmpty())
        return;
    endStartup(c, nativeId(window), activation.token.toUtf8());
    xcb_flush(c);
}

}  // namespace flintly

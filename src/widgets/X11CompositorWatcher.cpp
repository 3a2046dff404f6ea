#include "widgets/CompositorWatcher.h"

#include "platform/Log.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace flintly {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_connection_t* x11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The compositing manager of screen N owns the selection "_NET_WM_CM_S{N}" for as long
// as it runs (EWMH, "Compositing Managers"); the selection is the one sign every
// compositor gives, standalone ones (picom, xcompmgr) and window managers alike.
class X11CompositorWatcher final : public CompositorWatcher, private QAbstractNativeEventFilter {
public:
    explicit X11CompositorWatcher(xcb_connection_t* c) : connection_(c)
    {
        int screenNumber = 0;
        char* host = nullptr;
        int display = 0;
        if (xcb_parse_display(nullptr, &host, &display, &screenNumber))
            std::free(host);
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < screenNumber && it.rem > 1; ++i)
            xcb_screen_next(&it);
        root_ = it.data->root;
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screenNumber);
        Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.constData()), nullptr));
        selection_ = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
        compositing_ = ownerPresent();

        const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
        Reply<xcb_xfixes_query_version_reply_t> version(
            xfixes && xfixes->present ? xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr)
                                      : nullptr);
        if (version) {
            xfixesEvent_ = xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY;
            xcb_xfixes_select_selection_input(c, root_, selection_,
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                                  | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                                  | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
            xcb_flush(c);
            QCoreApplication::instance()->installNativeEventFilter(this);
        } else {
            // Only XFixes reports a change of owner; a server without it (none made
            // since 2003 lacks it) is asked now and then instead.
            log("🪵 X server without XFixes: looking for a compositor every", kPollMs, "ms");
            auto* poll = new QTimer(this);
            connect(poll, &QTimer::timeout, this, [this] { update(ownerPresent()); });
            poll->start(kPollMs);
        }
    }

    ~X11CompositorWatcher() override
    {
        if (xfixesEvent_ && QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool isCompositing() const override { return compositing_; }

private:
    static constexpr int kPollMs = 2000;

    bool ownerPresent() const
    {
        if (selection_ == XCB_ATOM_NONE)
            return false;
        Reply<xcb_get_selection_owner_reply_t> owner(
            xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection_), nullptr));
        return owner && owner->owner != XCB_WINDOW_NONE;
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != xfixesEvent_)
            return false;
        const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
        if (notify->window == root_ && notify->selection == selection_)
            update(notify->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER
                   && notify->owner != XCB_WINDOW_NONE);
        return false;  // Qt follows the same selection for its own purposes
    }

    void update(bool compositing)
    {
        if (compositing == compositing_)
            return;
        compositing_ = compositing;
        log(compositing ? "🪵 a compositor started" : "🪵 the compositor stopped");
        emit compositingChanged(compositing);
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t selection_ = XCB_ATOM_NONE;
    uint8_t xfixesEvent_ = 0;
    bool compositing_ = false;
};

}  // namespace

std::unique_ptr<CompositorWatcher> makePlatformCompositorWatcher()
{
    if (xcb_connection_t* c = x11Connection())
        return std::make_unique<X11CompositorWatcher>(c);
    // Wayland compositors draw every window; other platforms (offscreen) show none.
    return std::make_unique<FixedCompositor>(QGuiApplication::platformName() == u"wayland");
}

}  // namespace flintly

#include "shortcuts/X11KeyGrabBackend.h"

#include "platform/Log.h"
#include "shortcuts/KeyCodeMap.h"
#include "shortcuts/X11Application.h"

#include <QCoreApplication>

#include <X11/Xlib.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <memory>

namespace flintly::shortcuts {

namespace {

constexpr quint32 kNumLockKeysym = 0xff7f;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

}  // namespace

std::unique_ptr<KeyGrabBackend> createX11KeyGrabBackend()
{
    auto* x11 = x11Application();
    if (!x11)
        return nullptr;
    return std::make_unique<X11KeyGrabBackend>(x11->connection(), DefaultRootWindow(x11->display()));
}

X11KeyGrabBackend::X11KeyGrabBackend(xcb_connection_t* connection, xcb_window_t root)
    : connection_(connection), root_(root)
{
    // Zero: it fires once the events queued behind the release have been filtered.
    releaseTimer_.setSingleShot(true);
    releaseTimer_.setInterval(0);
    QObject::connect(&releaseTimer_, &QTimer::timeout, [this] { settlePendingReleases(); });
    readLockMasks();
}

X11KeyGrabBackend::~X11KeyGrabBackend()
{
    for (Grab& g : grabs_)
        ungrabVariants(g);
    xcb_flush(connection_);
    if (filterInstalled_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

std::optional<quint16> X11KeyGrabBackend::xModifiers(quint32 carbon)
{
    if (carbon & CarbonModifier::function)
        return std::nullopt;
    quint16 mask = 0;
    if (carbon & CarbonModifier::command)
        mask |= XCB_MOD_MASK_CONTROL;
    if (carbon & CarbonModifier::control)
        mask |= XCB_MOD_MASK_4;
    if (carbon & CarbonModifier::option)
        mask |= XCB_MOD_MASK_1;
    if (carbon & CarbonModifier::shift)
        mask |= XCB_MOD_MASK_SHIFT;
    return mask;
}

quint32 X11KeyGrabBackend::carbonModifiers(quint16 state)
{
    quint32 carbon = 0;
    if (state & XCB_MOD_MASK_CONTROL)
        carbon |= CarbonModifier::command;
    if (state & XCB_MOD_MASK_4)
        carbon |= CarbonModifier::control;
    if (state & XCB_MOD_MASK_1)
        carbon |= CarbonModifier::option;
    if (state & XCB_MOD_MASK_SHIFT)
        carbon |= CarbonModifier::shift;
    return carbon;
}

// Num Lock is whichever ModN the server's modifier map puts the Num_Lock key on.
void X11KeyGrabBackend::readLockMasks()
{
    numLockMask_ = 0;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection_);
    if (!symbols)
        return;
    std::unique_ptr<xcb_keycode_t, FreeDeleter> numLockCodes(xcb_key_symbols_get_keycode(symbols, kNumLockKeysym));
    xcb_key_symbols_free(symbols);
    std::unique_ptr<xcb_get_modifier_mapping_reply_t, FreeDeleter> reply(
        xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr));
    if (!reply || !numLockCodes)
        return;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    for (int mod = 0; mod < 8; ++mod) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t code = codes[mod * perModifier + i];
            for (const xcb_keycode_t* n = numLockCodes.get(); code && *n != XCB_NO_SYMBOL; ++n)
                if (*n == code)
                    numLockMask_ = static_cast<quint16>(1u << mod);
        }
    }
}

QList<quint16> X11KeyGrabBackend::lockVariants(quint16 modifiers) const
{
    QList<quint16> variants{modifiers, quint16(modifiers | XCB_MOD_MASK_LOCK)};
    if (numLockMask_)
        variants << quint16(modifiers | numLockMask_) << quint16(modifiers | XCB_MOD_MASK_LOCK | numLockMask_);
    return variants;
}

int X11KeyGrabBackend::grabVariants(Grab& g)
{
    // Not owner_events: every press goes to the root window, never into whichever of
    // our own windows has focus, so the hotkey acts the same inside and outside the app.
    g.variants = lockVariants(g.modifiers);
    QList<xcb_void_cookie_t> cookies;
    for (quint16 mods : std::as_const(g.variants))
        cookies << xcb_grab_key_checked(connection_, 0, root_, mods, g.keycode, XCB_GRAB_MODE_ASYNC,
                                        XCB_GRAB_MODE_ASYNC);
    int status = GrabStatus::ok;
    for (const xcb_void_cookie_t& cookie : cookies) {
        std::unique_ptr<xcb_generic_error_t, FreeDeleter> error(xcb_request_check(connection_, cookie));
        if (error && status == GrabStatus::ok)
            status = error->error_code;
    }
    // Releasing a variant another client holds is harmless: X only releases our own.
    if (status != GrabStatus::ok)
        ungrabVariants(g);
    return status;
}

void X11KeyGrabBackend::ungrabVariants(Grab& g)
{
    for (quint16 mods : std::as_const(g.variants))
        xcb_ungrab_key(connection_, g.keycode, root_, mods);
    g.variants.clear();
}

void X11KeyGrabBackend::keymapChanged()
{
    const quint16 oldNumLock = numLockMask_;
    readLockMasks();
    if (numLockMask_ == oldNumLock)
        return;
    for (Grab& g : grabs_) {
        ungrabVariants(g);
        // The hotkey keeps its id either way; a refused variant leaves it dead until the
        // user picks another shortcut, as a refused registration would.
        if (const int status = grabVariants(g); status != GrabStatus::ok)
            log(QStringLiteral("Error registering hotkey %1:").arg(g.shortcut.description()), status);
    }
    xcb_flush(connection_);
}

int X11KeyGrabBackend::grab(quint32 id, const Shortcut& shortcut)
{
    const auto keycode = KeyCodeMap::xKeycode(shortcut.carbonKeyCode());
    const auto modifiers = xModifiers(shortcut.carbonModifiers());
    if (!keycode || !modifiers)
        return GrabStatus::badValue;
    Grab g{shortcut, *keycode, *modifiers, {}};
    const int status = grabVariants(g);
    if (status == GrabStatus::ok)
        grabs_.insert(id, g);
    return status;
}

void X11KeyGrabBackend::ungrab(quint32 id)
{
    const auto it = grabs_.find(id);
    if (it == grabs_.end())
        return;
    ungrabVariants(*it);
    grabs_.erase(it);
    xcb_flush(connection_);
}

bool X11KeyGrabBackend::isHeldByAnotherClient(const Shortcut& shortcut)
{
    const auto keycode = KeyCodeMap::xKeycode(shortcut.carbonKeyCode());
    const auto modifiers = xModifiers(shortcut.carbonModifiers());
    if (!keycode || !modifiers)
        return false;
    // A grab X refuses is held by someone else; one it grants is ours and goes back.
    Grab probe{shortcut, *keycode, *modifiers, {}};
    const int status = grabVariants(probe);
    if (status == GrabStatus::ok)
        ungrabVariants(probe);
    xcb_flush(connection_);
    return status == GrabStatus::badAccess;
}

bool X11KeyGrabBackend::installHandler(Handler handler)
{
    if (!QCoreApplication::instance())
        return false;
    handler_ = std::move(handler);
    if (!filterInstalled_) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        filterInstalled_ = true;
    }
    return true;
}

bool X11KeyGrabBackend::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const quint8 type = event->response_type & ~0x80;
    if (type == XCB_MAPPING_NOTIFY) {
        if (reinterpret_cast<const xcb_mapping_notify_event_t*>(event)->request != XCB_MAPPING_POINTER)
            keymapChanged();
        return false;
    }
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
    // Grabbed keys arrive on the root window; everything else is a key for one of our
    // windows and belongs to Qt.
    if (key->event != root_ || !handler_)
        return false;

    const bool pressed = type == XCB_KEY_PRESS;
    if (pressed && pendingReleases_.contains(key->detail)) {
        const PendingRelease pending = pendingReleases_.take(key->detail);
        // The server stamps the two halves one after the other: they may straddle a tick.
        if (key->time - pending.time <= 1)
            return true;  // the second half of a repeat: the key never went up
        // A new press: the release before it was real and comes first.
        pressedIds_.remove(key->detail);
        runHandler(pending.id, false, pending.time);
    }
    if (pressedIds_.contains(key->detail)) {
        if (!pressed) {
            pendingReleases_.insert(key->detail, {pressedIds_.value(key->detail), key->time});
            releaseTimer_.start();
        }
        return true;  // a press of a key still down is a repeat too
    }

    std::optional<quint32> id;
    const quint16 relevant = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
    const quint16 state = key->state & relevant & ~numLockMask_;
    for (auto it = grabs_.constBegin(); it != grabs_.constEnd(); ++it)
        if (it->keycode == key->detail && it->modifiers == state)
            id = it.key();
    if (!id)
        return false;
    if (pressed)
        pressedIds_.insert(key->detail, *id);
    return runHandler(*id, pressed, key->time);
}

void X11KeyGrabBackend::settlePendingReleases()
{
    const auto pending = pendingReleases_;
    for (auto it = pending.constBegin(); it != pending.constEnd(); ++it) {
        // Down again with no press seen yet: that press is still on its way and decides.
        if (isKeyDown(it.key()))
            continue;
        pendingReleases_.remove(it.key());
        pressedIds_.remove(it.key());
        runHandler(it->id, false, it->time);
    }
}

bool X11KeyGrabBackend::runHandler(quint32 id, bool pressed, quint32 time)
{
    if (!handler_)
        return false;
    // Copy: the handler may ungrab and so replace this object's state.
    const Handler handler = handler_;
    eventTime_ = time;
    const bool handled = handler(id, pressed);
    eventTime_ = 0;
    return handled;
}

bool X11KeyGrabBackend::isKeyDown(quint8 keycode)
{
    std::unique_ptr<xcb_query_keymap_reply_t, FreeDeleter> reply(
        xcb_query_keymap_reply(connection_, xcb_query_keymap(connection_), nullptr));
    return reply && (reply->keys[keycode / 8] & (1 << (keycode % 8)));
}

}  // namespace flintly::shortcuts

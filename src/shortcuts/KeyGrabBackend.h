#pragma once

#include "shortcuts/HotkeyCarrier.h"
#include "shortcuts/Shortcut.h"

#include <functional>
#include <memory>

namespace flintly::shortcuts {

// Statuses of a grab. Refusals by the X server carry its error code.
namespace GrabStatus {
inline constexpr int ok = 0;
inline constexpr int badValue = 2;    // the key or a modifier has no X11 equivalent
inline constexpr int badAccess = 10;  // another client holds the combination
}  // namespace GrabStatus

// The desktop-wide side of hotkeys: take a key combination away from every other
// program and report its presses and releases. X11 is the one real backend; the null
// one stands in where there is no X server, so the rest of the app works unchanged.
class KeyGrabBackend {
public:
    // Called with the id given at grab time; returns whether the event was handled.
    using Handler = std::function<bool(quint32 id, bool pressed)>;

    virtual ~KeyGrabBackend() = default;

    virtual int grab(quint32 id, const Shortcut& shortcut) = 0;
    virtual void ungrab(quint32 id) = 0;
    // Whether some other program holds the combination (the "system" shortcuts).
    virtual bool isHeldByAnotherClient(const Shortcut& shortcut) = 0;
    // Starts delivering events; false when the backend cannot.
    virtual bool installHandler(Handler handler) = 0;
    // While the handler runs: the window system's time of the key event it handles,
    // which a window shown in answer needs to be allowed the focus. 0 otherwise.
    virtual quint32 eventTime() const { return 0; }
    // Which path this backend gives the hotkey.
    virtual HotkeyCarrier carrier() const { return HotkeyCarrier::of(HotkeyCarrier::Kind::x11Grab); }
};

class NullKeyGrabBackend final : public KeyGrabBackend {
public:
    int grab(quint32, const Shortcut&) override { return GrabStatus::ok; }
    void ungrab(quint32) override {}
    bool isHeldByAnotherClient(const Shortcut&) override { return false; }
    bool installHandler(Handler) override { return true; }
    HotkeyCarrier carrier() const override { return HotkeyCarrier::of(HotkeyCarrier::Kind::unavailable); }
};

// The X11 backend when the app talks to an X server, else the null one after one log
// line that says global shortcuts are unavailable.
std::unique_ptr<KeyGrabBackend> createDefaultKeyGrabBackend();

}  // namespace flintly::shortcuts

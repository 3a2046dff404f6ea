#pragma once

#include "platform/UserActivation.h"
#include "shortcuts/HotkeyCarrier.h"
#include "shortcuts/Shortcut.h"

#include <functional>
#include <utility>

namespace flintly::shortcuts {

// Statuses of a grab. Refusals by the X server carry its error code.
namespace GrabStatus {
inline constexpr int ok = 0;
inline constexpr int badValue = 2;    // the key or a modifier has no X11 equivalent
inline constexpr int badAccess = 10;  // another client holds the combination
}  // namespace GrabStatus

// The desktop-wide side of hotkeys: take a key combination away from every other
// program and report its presses and releases. The backends are an X11 grab and the
// desktop portal; the null one stands in where there is neither, so the rest of the
// app works unchanged.
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
    // While the handler runs: what the desktop told about the key event it handles,
    // which a window shown in answer needs to be allowed the focus. Empty otherwise.
    virtual UserActivation activation() const { return {}; }
    // Which path this backend gives the hotkey.
    virtual HotkeyCarrier carrier() const { return HotkeyCarrier::of(HotkeyCarrier::Kind::x11Grab); }
    // Whether grabbed keys still arrive while one of our menus holds the keyboard. An X
    // grab does not (the menu's own grab wins), so the registry reads the menu's keys
    // instead; a key the compositor binds does.
    virtual bool deliversWhileMenuOpen() const { return false; }
    // Opens the desktop's own settings of our hotkeys, where carrier() says it can.
    virtual void configure() {}

    // Called whenever carrier() changes.
    void observeCarrier(std::function<void()> observer) { carrierObserver_ = std::move(observer); }

protected:
    void carrierChanged() const
    {
        if (carrierObserver_)
            carrierObserver_();
    }

private:
    std::function<void()> carrierObserver_;
};

class NullKeyGrabBackend final : public KeyGrabBackend {
public:
    int grab(quint32, const Shortcut&) override { return GrabStatus::ok; }
    void ungrab(quint32) override {}
    bool isHeldByAnotherClient(const Shortcut&) override { return false; }
    bool installHandler(Handler) override { return true; }
    HotkeyCarrier carrier() const override { return HotkeyCarrier::of(HotkeyCarrier::Kind::unavailable); }
};

}  // namespace flintly::shortcuts

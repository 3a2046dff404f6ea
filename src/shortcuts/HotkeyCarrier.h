#pragma once

#include <QString>

namespace flintly::shortcuts {

// Which path carries the desktop-wide hotkey, as the settings window and the start-up log
// tell it: an X11 grab, the desktop portal (with what the user granted there), or none,
// so that a dead key is never silent.
struct HotkeyCarrier {
    enum class Kind {
        x11Grab,      // a passive grab on the X server
        portal,       // bound through the desktop portal; `trigger` says which key
        pending,      // the portal is being asked
        unavailable,  // no way to a desktop-wide key on this desktop
        declined,     // the desktop asked the user, who did not grant a key
    };
    Kind kind = Kind::unavailable;
    QString trigger;            // the desktop's own description of the bound key
    bool canConfigure = false;  // the desktop can open its own shortcut settings for us

    static HotkeyCarrier of(Kind kind, const QString& trigger = {}, bool canConfigure = false)
    {
        HotkeyCarrier carrier;
        carrier.kind = kind;
        carrier.trigger = trigger;
        carrier.canConfigure = canConfigure;
        return carrier;
    }

    bool operator==(const HotkeyCarrier&) const = default;
};

}  // namespace flintly::shortcuts

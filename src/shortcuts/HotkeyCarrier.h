#pragma once

#include <QString>

#include <optional>

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

    // What the log says of it ("⌨️ Hotkey path: X11 key grab").
    QString logLine() const;

    bool operator==(const HotkeyCarrier&) const = default;
};

// Logs each settled path once, as it changes: the first line at start says which path
// carries the hotkey, later ones what became of it.
class CarrierLog {
public:
    void note(const HotkeyCarrier& carrier);

private:
    std::optional<HotkeyCarrier> last_;
};

}  // namespace flintly::shortcuts

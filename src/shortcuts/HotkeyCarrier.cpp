#include "shortcuts/HotkeyCarrier.h"

#include "platform/Log.h"

namespace flintly::shortcuts {

QString HotkeyCarrier::logLine() const
{
    switch (kind) {
    case Kind::x11Grab: return QStringLiteral("⌨️ Hotkey path: X11 key grab");
    case Kind::portal:
        return trigger.isEmpty() ? QStringLiteral("⌨️ Hotkey path: desktop portal, no key bound")
                                 : QStringLiteral("⌨️ Hotkey path: desktop portal, set by the desktop: ") + trigger;
    case Kind::pending: return QStringLiteral("⌨️ Hotkey path: asking the desktop portal");
    case Kind::declined: return QStringLiteral("⌨️ Hotkey path: none, declined in the desktop's dialog");
    case Kind::unavailable: return QStringLiteral("⌨️ Hotkey path: none, not available on this desktop");
    }
    return {};
}

void CarrierLog::note(const HotkeyCarrier& carrier)
{
    if (carrier.kind == HotkeyCarrier::Kind::pending || last_ == carrier)
        return;
    last_ = carrier;
    log(carrier.logLine());
}

}  // namespace flintly::shortcuts

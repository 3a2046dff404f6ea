#include "shortcuts/PortalTrigger.h"

#include "shortcuts/Modifiers.h"

#include <xkbcommon/xkbcommon.h>

namespace flintly::shortcuts {

std::optional<QString> portalTrigger(const Shortcut& shortcut, const KeyboardLayout& layout)
{
    const quint32 modifiers = shortcut.carbonModifiers();
    if (modifiers & CarbonModifier::function)
        return std::nullopt;
    const auto keysym = layout.keysym(shortcut.carbonKeyCode());
    if (!keysym)
        return std::nullopt;
    char name[64];
    if (xkb_keysym_get_name(*keysym, name, sizeof name) <= 0)
        return std::nullopt;

    // The stored modifiers are the Mac's; Command is Ctrl here, Control is Super.
    QString trigger;
    if (modifiers & CarbonModifier::command)
        trigger += QStringLiteral("CTRL+");
    if (modifiers & CarbonModifier::option)
        trigger += QStringLiteral("ALT+");
    if (modifiers & CarbonModifier::shift)
        trigger += QStringLiteral("SHIFT+");
    if (modifiers & CarbonModifier::control)
        trigger += QStringLiteral("LOGO+");
    return trigger + QString::fromLatin1(name);
}

}  // namespace flintly::shortcuts

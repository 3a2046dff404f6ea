#include "shortcuts/KeyboardLayout.h"

#include "shortcuts/KeyCodeMap.h"

#include <xkbcommon/xkbcommon.h>

namespace flintly::shortcuts {

std::optional<QString> UsKeyboardLayout::character(int keyCode) const
{
    const auto c = KeyCodeMap::usCharacter(keyCode);
    if (!c)
        return std::nullopt;
    return QString(*c);
}

std::optional<quint32> UsKeyboardLayout::keysym(int keyCode) const
{
    // The US keymap as xkbcommon builds it from the system's XKB data, made once.
    struct Keymap {
        xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        xkb_keymap* keymap = nullptr;
        Keymap()
        {
            const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
            if (context)
                keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        }
        ~Keymap()
        {
            xkb_keymap_unref(keymap);
            xkb_context_unref(context);
        }
    };
    static const Keymap us;
    const auto keycode = KeyCodeMap::xKeycode(keyCode);
    if (!us.keymap || !keycode)
        return std::nullopt;
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(us.keymap, *keycode, 0, 0, &syms) < 1)
        return std::nullopt;
    return syms[0];
}

}  // namespace flintly::shortcuts

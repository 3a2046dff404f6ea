#include "shortcuts/KeysymName.h"

#include "shortcuts/KeyCodeMap.h"

#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace flintly::shortcuts {

namespace {

// The US keymap, compiled once from the system's keyboard tables, with Num Lock on so
// that keypad keys name their digits rather than their navigation.
class UsKeymap {
public:
    UsKeymap()
    {
        context_.reset(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
        const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
        if (context_)
            keymap_.reset(xkb_keymap_new_from_names(context_.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
        if (keymap_)
            state_.reset(xkb_state_new(keymap_.get()));
        if (state_) {
            const xkb_mod_index_t numLock = xkb_keymap_mod_get_index(keymap_.get(), XKB_MOD_NAME_NUM);
            if (numLock != XKB_MOD_INVALID)
                xkb_state_update_mask(state_.get(), 0, 0, xkb_mod_mask_t(1) << numLock, 0, 0, 0);
        }
    }

    xkb_keysym_t keysym(int evdev) const
    {
        return state_ ? xkb_state_key_get_one_sym(state_.get(), static_cast<xkb_keycode_t>(evdev + 8))
                      : xkb_keysym_t(XKB_KEY_NoSymbol);
    }

private:
    struct Free {
        void operator()(xkb_context* c) const { xkb_context_unref(c); }
        void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
        void operator()(xkb_state* s) const { xkb_state_unref(s); }
    };
    std::unique_ptr<xkb_context, Free> context_;
    std::unique_ptr<xkb_keymap, Free> keymap_;
    std::unique_ptr<xkb_state, Free> state_;
};

}  // namespace

std::optional<QString> usKeysymName(int keyCode)
{
    static const UsKeymap keymap;
    const auto evdev = KeyCodeMap::evdevCode(keyCode);
    if (!evdev)
        return std::nullopt;
    xkb_keysym_t sym = keymap.keysym(*evdev);
    // Without the keyboard tables (no xkb-data), printable keys still have their names.
    if (sym == XKB_KEY_NoSymbol)
        if (const auto c = KeyCodeMap::usCharacter(keyCode))
            sym = xkb_utf32_to_keysym(c->unicode());
    char name[64];
    if (sym == XKB_KEY_NoSymbol || xkb_keysym_get_name(sym, name, sizeof name) <= 0)
        return std::nullopt;
    return QString::fromLatin1(name);
}

}  // namespace flintly::shortcuts

#include "shortcuts/X11KeyboardLayout.h"

#include "shortcuts/KeyCodeMap.h"
#include "shortcuts/X11Application.h"

#include <xcb/xcb_keysyms.h>
#include <xkbcommon/xkbcommon.h>

namespace flintly::shortcuts {

namespace {

// The character the current layout gives a key: the first keysym of its X keycode.
class X11KeyboardLayout final : public KeyboardLayout {
public:
    explicit X11KeyboardLayout(xcb_connection_t* connection) : connection_(connection) {}

    std::optional<QString> character(int keyCode) const override
    {
        const auto sym = keysym(keyCode);
        const char32_t ucs = sym ? xkb_keysym_to_utf32(*sym) : 0;
        if (ucs == 0 || ucs < 0x20 || ucs == 0x7f)
            return std::nullopt;
        return QString::fromUcs4(&ucs, 1);
    }

    std::optional<quint32> keysym(int keyCode) const override
    {
        const auto keycode = KeyCodeMap::xKeycode(keyCode);
        if (!keycode)
            return std::nullopt;
        // Allocated per question so a layout switch shows at once; shortcuts are
        // displayed rarely enough for one round trip not to matter.
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection_);
        if (!symbols)
            return std::nullopt;
        const xcb_keysym_t sym = xcb_key_symbols_get_keysym(symbols, *keycode, 0);
        xcb_key_symbols_free(symbols);
        if (sym == XCB_NO_SYMBOL)
            return std::nullopt;
        return sym;
    }

private:
    xcb_connection_t* connection_;
};

}  // namespace

std::unique_ptr<KeyboardLayout> createX11KeyboardLayout()
{
    auto* x11 = x11Application();
    if (!x11)
        return nullptr;
    return std::make_unique<X11KeyboardLayout>(x11->connection());
}

}  // namespace flintly::shortcuts

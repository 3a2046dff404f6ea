#include "shortcuts/KeyboardLayout.h"

#include "shortcuts/KeyCodeMap.h"
#include "shortcuts/X11Support.h"

#include <memory>

namespace flintly::shortcuts {

std::optional<QString> UsKeyboardLayout::character(int keyCode) const
{
    const auto c = KeyCodeMap::usCharacter(keyCode);
    if (!c)
        return std::nullopt;
    return QString(*c);
}

const KeyboardLayout& KeyboardLayout::current()
{
    static const UsKeyboardLayout us;
    // Created once the GUI application exists; before that (or with no X server) the
    // US table is the best guess there is.
    static std::unique_ptr<KeyboardLayout> x11;
    if (!x11)
        x11 = createX11KeyboardLayout();
    if (x11)
        return *x11;
    return us;
}

}  // namespace flintly::shortcuts

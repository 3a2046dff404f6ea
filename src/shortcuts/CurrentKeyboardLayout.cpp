#include "shortcuts/CurrentKeyboardLayout.h"

#include "shortcuts/X11KeyboardLayout.h"

#include <memory>

namespace flintly::shortcuts {

const KeyboardLayout& currentKeyboardLayout()
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

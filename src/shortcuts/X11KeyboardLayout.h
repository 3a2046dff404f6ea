#pragma once

#include "shortcuts/KeyboardLayout.h"

#include <memory>

namespace flintly::shortcuts {

// The X server's layout, asked key by key; nothing unless the GUI application runs on
// X11 (xcb).
std::unique_ptr<KeyboardLayout> createX11KeyboardLayout();

}  // namespace flintly::shortcuts

#pragma once

#include "shortcuts/KeyGrabBackend.h"
#include "shortcuts/KeyboardLayout.h"

#include <memory>

namespace flintly::shortcuts {

// Both return nothing unless the GUI application runs on X11 (xcb).
std::unique_ptr<KeyGrabBackend> createX11KeyGrabBackend();
std::unique_ptr<KeyboardLayout> createX11KeyboardLayout();

}  // namespace flintly::shortcuts

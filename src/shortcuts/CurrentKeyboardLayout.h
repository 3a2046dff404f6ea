#pragma once

#include "shortcuts/KeyboardLayout.h"

namespace flintly::shortcuts {

// The layout shortcuts are shown in and named by: the X server's when the app runs on
// X11, else a US keyboard.
const KeyboardLayout& currentKeyboardLayout();

}  // namespace flintly::shortcuts

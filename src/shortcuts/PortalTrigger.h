#pragma once

#include "shortcuts/KeyboardLayout.h"
#include "shortcuts/Shortcut.h"

#include <QString>

#include <optional>

namespace flintly::shortcuts {

// A shortcut as a desktop portal's preferred trigger, in the freedesktop shortcuts
// format: the modifiers CTRL, ALT, SHIFT, LOGO in that order, then the keysym the
// layout gives the key ("CTRL+j" for the default Ctrl+J). Nothing for a shortcut with
// the Function modifier (no desktop has one) or a key without a keysym.
std::optional<QString> portalTrigger(const Shortcut& shortcut, const KeyboardLayout& layout);

}  // namespace flintly::shortcuts

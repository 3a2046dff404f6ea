#pragma once

#include <QString>

#include <optional>

namespace flintly::shortcuts {

// The name the X and Wayland keyboard tables give the symbol of a stored key (kVK) on a
// US keyboard: "j", "minus", "F5", "Return", "KP_Add". Desktops take shortcuts in this
// form (GNOME's accelerators, the portal's triggers). Nothing for keys without one.
std::optional<QString> usKeysymName(int keyCode);

}  // namespace flintly::shortcuts

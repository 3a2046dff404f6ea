#pragma once

#include <QString>

namespace flintly::shortcuts {

// The module's user-facing texts by key ("record_shortcut", "space_key", ...), in
// English, passed through Qt's translator (context "GlobalShortcuts") so a
// translation can replace them. An unknown key reads as itself.
QString localized(const char* key);

}  // namespace flintly::shortcuts

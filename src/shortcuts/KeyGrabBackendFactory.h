#pragma once

#include "shortcuts/KeyGrabBackend.h"

#include <QProcessEnvironment>

#include <memory>

namespace flintly::shortcuts {

enum class KeyGrabPath { portal, x11, none };

// Which way to the desktop-wide hotkey this session has. In a Wayland session an X11
// grab fires only while one of our own windows has the focus (XWayland sees no other
// keys), which is worse than none, so there it is the portal or nothing.
KeyGrabPath chooseKeyGrabPath(const QProcessEnvironment& environment, bool hasSessionBus, bool hasX11);

// The backend for this process's session: the desktop portal, the X11 grab, or the
// null one after one log line that says global shortcuts are unavailable.
std::unique_ptr<KeyGrabBackend> createDefaultKeyGrabBackend();

}  // namespace flintly::shortcuts

#pragma once

namespace flintly {

// Whether an X11 system tray (the freedesktop XEmbed one: stalonetray, older panels)
// owns its selection on this display. Asks the X server directly, so that Qt is not
// made to choose its kind of tray before it should be.
bool x11SystemTrayPresent();

}  // namespace flintly

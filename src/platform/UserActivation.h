#pragma once

#include <QString>
#include <QtGlobal>

namespace flintly {

// The user action that asked for a window to come forward, as far as the desktop tells
// us about it: the window system's time of its key event (an X11 grab), an XDG
// activation token (a desktop portal's activation, a launcher's XDG_ACTIVATION_TOKEN),
// both, or neither. Window managers that prevent focus stealing give a newly shown
// window the keyboard only with one of them.
struct UserActivation {
    quint32 userTime = 0;
    QString token;
};

}  // namespace flintly

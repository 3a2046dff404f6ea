#pragma once

#include <QtGlobal>

class QWidget;

namespace flintly {

// Asks the window manager to show the window on every workspace (and over full-screen
// windows where it allows). Does nothing where the platform has no such notion. Safe to
// repeat: a hidden window gets the hints as properties, a shown one as requests.
void showOnAllWorkspaces(QWidget* window);

// Asks the window manager to give a just-shown window the keyboard focus on behalf of
// the user action at `userTime` (the window system's time of the key event). Window
// managers that prevent focus stealing refuse requests that carry an older time than
// the user's last action elsewhere, which is what a toolkit's own request carries
// when the action reached us as a grabbed key it never saw.
void activateForUserAction(QWidget* window, quint32 userTime);

}  // namespace flintly

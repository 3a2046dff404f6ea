#pragma once

#include "platform/UserActivation.h"

#include <QtGlobal>

class QWidget;

namespace flintly {

// Asks the window manager to show the window on every workspace (and over full-screen
// windows where it allows). Does nothing where the platform has no such notion. Safe to
// repeat: a hidden window gets the hints as properties, a shown one as requests.
void showOnAllWorkspaces(QWidget* window);

// Before a window is shown for a user action: what the window manager reads when it maps
// the window (the activation token as the window's startup id).
void prepareActivation(QWidget* window, const UserActivation& activation);

// Asks the window manager to give a just-shown window the keyboard focus on behalf of
// the user action (the window system's time of its key event, or the desktop's
// activation token). Window managers that prevent focus stealing refuse requests that
// carry an older time than the user's last action elsewhere, which is what a toolkit's
// own request carries when the action reached us as a grabbed key it never saw.
void activateForUserAction(QWidget* window, const UserActivation& activation);

}  // namespace flintly

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
// A launch of ours by the desktop (`flintly --toggle` from a keybinding, the app menu's
// action) that hid the window instead is over too: the launcher stops its busy feedback.
void finishActivation(QWidget* window, const UserActivation& activation);

// A launch of ours by the desktop (`flintly --toggle` from a desktop keybinding, the app
// menu's action) carries a token: an XDG activation token, or on X11 a startup-notification
// id, "…_TIME<timestamp>". The running instance shows its window for that launch.
// Set on a window before it is shown (_NET_STARTUP_ID), it lets window managers that
// track launches tie the window to the launch and give it the focus.
void setLaunchToken(QWidget* window, const QString& token);
// The timestamp an X11 startup id carries (its user time), 0 for any other token.
quint32 launchUserTime(const QString& token);
// Tells the launcher the launch is done, so that it stops its busy feedback.
void endLaunchFeedback(QWidget* window, const QString& token);

}  // namespace flintly

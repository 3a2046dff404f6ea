#pragma once

#include <QString>
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

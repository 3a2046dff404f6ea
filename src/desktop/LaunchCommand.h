#pragma once

#include <QString>
#include <QStringList>

namespace flintly::desktop {

// How the desktop is to run Flintly: quoted for the place the command goes.
namespace LaunchCommand {

// The running executable followed by `arguments`, by absolute path: a desktop's own
// launcher may not have the user's PATH.
QStringList forThisExecutable(const QStringList& arguments);

// An Exec= line of a desktop entry (freedesktop.org's quoting for it, with the
// string escapes of its values).
QString desktopEntryExec(const QStringList& command);
// A command line as GLib parses it (g_shell_parse_argv), which is how GNOME runs a
// custom keybinding's command.
QString shellCommand(const QStringList& command);
// What to show a person to type into their desktop's keyboard settings: "flintly
// --toggle" when that name finds this executable on PATH, else the full path.
QString forPeople(const QStringList& command);

// Whether `command` runs Flintly's `argument` (a program named "flintly", or this
// executable, with that one argument), however it is quoted.
bool runsFlintly(const QString& shellCommand, const QString& argument);

}  // namespace LaunchCommand

// Whether XDG_CURRENT_DESKTOP ("ubuntu:GNOME") names GNOME.
bool isGnome(const QString& currentDesktop);

}  // namespace flintly::desktop

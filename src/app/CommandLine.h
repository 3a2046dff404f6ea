#pragma once

#include <QString>
#include <QStringList>

namespace flintly {

struct CommandLine {
    enum class Action { run, toggle, version, help, error };
    Action action = Action::run;
    QString error;
    QString file;  // a note file to open (absolute), from "flintly FILE"
    // Further files, as a file manager passes every chosen one: one note is open at a
    // time, so these are only named as left aside.
    QStringList extraFiles;
};

CommandLine parseCommandLine(const QStringList& arguments);
QString helpText();
QString versionText();

}  // namespace flintly

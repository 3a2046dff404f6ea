#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace flintly {

struct CommandLine {
    enum class Action { run, toggle, append, history, version, help, error };
    Action action = Action::run;
    QString error;
    QString file;  // a note file to open (absolute), from "flintly FILE"
    // Start without showing the note window (a login's autostart, a capture from a script).
    bool hidden = false;
    // --append: the text as given, "-" for standard input. Where it stands in the
    // arguments (index, and offset into that argument for "--append=TEXT"), so that its
    // bytes can be checked as they came rather than as decoded.
    QString appendArgument;
    qsizetype appendIndex = -1;
    qsizetype appendOffset = 0;
    // "flintly --history NOTE [--print ID]": the note file (absolute) and the version.
    QString historyNote;
    std::optional<qint64> historyVersion;
    // Further files, as a file manager passes every chosen one: one note is open at a
    // time, so these are only named as left aside.
    QStringList extraFiles;
};

CommandLine parseCommandLine(const QStringList& arguments);
QString helpText();
QString versionText();

}  // namespace flintly

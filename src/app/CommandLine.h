#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace flintly {

struct CommandLine {
    enum class Action { run, toggle, version, help, history, error };
    Action action = Action::run;
    QString error;
    QString file;  // a note file to open (absolute), from "flintly FILE"
    // "flintly --history NOTE [--print ID]": the note file (absolute) and the version.
    QString historyNote;
    std::optional<qint64> historyVersion;
};

CommandLine parseCommandLine(const QStringList& arguments);
QString helpText();
QString versionText();

}  // namespace flintly

#pragma once

#include <QString>
#include <QStringList>

namespace flintly {

struct CommandLine {
    enum class Action { run, toggle, version, help, error };
    Action action = Action::run;
    QString error;
};

CommandLine parseCommandLine(const QStringList& arguments);
QString helpText();
QString versionText();

}  // namespace flintly

#include "app/CommandLine.h"

#include "app/StartupDecision.h"

#include <QFileInfo>

#include <functional>
#include <vector>

namespace flintly {

namespace {

// One row per option: its spellings, whether a value follows it, and what it sets.
// The help text lists the same options; a new option is one row here and one there.
struct Option {
    QStringList names;
    bool takesValue = false;
    // Returns an error message, or nothing when the value was fine.
    std::function<QString(CommandLine&, const QString& value)> apply;
};

QString setAction(CommandLine& cl, CommandLine::Action action)
{
    cl.action = action;
    return {};
}

const std::vector<Option>& options()
{
    using Action = CommandLine::Action;
    static const std::vector<Option> table{
        {{QStringLiteral("--version"), QStringLiteral("-v")},
         false,
         [](CommandLine& cl, const QString&) { return setAction(cl, Action::version); }},
        {{QStringLiteral("--help"), QStringLiteral("-h")},
         false,
         [](CommandLine& cl, const QString&) { return setAction(cl, Action::help); }},
        {{QStringLiteral("--toggle")},
         false,
         [](CommandLine& cl, const QString&) { return setAction(cl, Action::toggle); }},
        {{QStringLiteral("--history")},
         true,
         [](CommandLine& cl, const QString& note) {
             cl.historyNote = QFileInfo(note).absoluteFilePath();
             return setAction(cl, Action::history);
         }},
        {{QStringLiteral("--print")},
         true,
         [](CommandLine& cl, const QString& id) {
             bool ok = false;
             const qint64 n = id.toLongLong(&ok);
             if (!ok || n <= 0)
                 return QStringLiteral("flintly: --print takes a version id from --history, not '%1'").arg(id);
             cl.historyVersion = n;
             return QString();
         }},
        // Qt's own option and its value.
        {{QStringLiteral("-platform"), QStringLiteral("--platform")},
         true,
         [](CommandLine&, const QString&) { return QString(); }},
    };
    return table;
}

const Option* optionNamed(const QString& name)
{
    for (const Option& option : options())
        if (option.names.contains(name))
            return &option;
    return nullptr;
}

CommandLine failed(QString message)
{
    CommandLine cl;
    cl.action = CommandLine::Action::error;
    cl.error = std::move(message);
    return cl;
}

}  // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine cl;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (const Option* option = optionNamed(a)) {
            QString value;
            if (option->takesValue) {
                if (++i >= arguments.size())
                    return failed(QStringLiteral("flintly: %1 needs a value (try --help)").arg(a));
                value = arguments[i];
            }
            if (QString error = option->apply(cl, value); !error.isEmpty())
                return failed(error);
        } else if (!a.startsWith(u'-') && cl.file.isEmpty()) {
            cl.file = QFileInfo(a).absoluteFilePath();
        } else {
            return failed(QStringLiteral("flintly: unknown option '%1' (try --help)").arg(a));
        }
    }
    if (cl.historyVersion && cl.action != CommandLine::Action::history)
        return failed(QStringLiteral("flintly: --print goes with --history NOTE (try --help)"));
    return cl;
}

QString versionText() { return QStringLiteral("Flintly %1").arg(runningVersion()); }

QString helpText()
{
    return QStringLiteral("Usage: flintly [--toggle | --version | --help] [FILE]\n"
                          "       flintly --history NOTE [--print ID]\n"
                          "\n"
                          "A floating Markdown note, shown and hidden with Ctrl+J from anywhere.\n"
                          "\n"
                          "  --toggle          show or hide the running Flintly's note window (starts\n"
                          "                    Flintly when it is not running); bind this to a key in your\n"
                          "                    desktop's settings where global hotkeys are not available\n"
                          "                    (Wayland)\n"
                          "  --history NOTE    list the earlier versions Flintly kept of the note file NOTE,\n"
                          "                    newest first: id, time, size in bytes and why it was kept,\n"
                          "                    separated by tabs (works without a display, and while\n"
                          "                    Flintly runs)\n"
                          "  --print ID        with --history: write version ID of NOTE to standard output,\n"
                          "                    exactly as the file held it\n"
                          "  --version         print the version and exit\n"
                          "  --help            print this help and exit\n"
                          "  FILE              open this Markdown file as the note (in the running Flintly,\n"
                          "                    when there is one)\n"
                          "\n"
                          "Launching Flintly while it runs brings its note window forward.\n"
                          "Notes are plain .md files in the folder you choose at first start;\n"
                          "settings live in $XDG_CONFIG_HOME/Flintly/Flintly.conf, earlier versions of\n"
                          "notes in $XDG_DATA_HOME/Flintly/History.\n");
}

}  // namespace flintly

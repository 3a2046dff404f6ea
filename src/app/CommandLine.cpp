#include "app/CommandLine.h"

#include "app/AppendInput.h"
#include "app/StartupDecision.h"

#include <QFileInfo>

#include <tuple>
#include <utility>

namespace flintly {

namespace {

using Action = CommandLine::Action;

// One row per option: what it is called, whether a value follows, what it does and
// how --help tells it. An option is added by adding a row.
struct Option {
    QStringView name;
    QStringView shortName;  // empty: none
    QStringView valueName;  // empty: takes no value
    // `at`: where the value stands in the arguments (index, offset into that argument)
    void (*apply)(CommandLine& cl, const QString& value, std::pair<qsizetype, qsizetype> at);
    QStringView help;  // lines after the first are indented under it
};

bool setAction(CommandLine& cl, Action action, QStringView option)
{
    if (cl.action == Action::help || cl.action == Action::version || cl.action == action)
        return true;
    if (action == Action::help || action == Action::version || cl.action == Action::run) {
        cl.action = action;
        return true;
    }
    cl.action = Action::error;
    cl.error = QStringLiteral("flintly: %1 cannot be combined with another request (try --help)").arg(option);
    return false;
}

// clang-format off
const Option kOptions[] = {
    {u"--toggle", {}, {}, [](CommandLine& cl, const QString&, std::pair<qsizetype, qsizetype>) { setAction(cl, Action::toggle, u"--toggle"); },
     u"show or hide the running Flintly's note window (starts Flintly\n"
     u"when it is not running); bind this to a key in your desktop's\n"
     u"settings where global hotkeys are not available (Wayland)"},
    {u"--hidden", {}, {}, [](CommandLine& cl, const QString&, std::pair<qsizetype, qsizetype>) { cl.hidden = true; },
     u"start without showing the note window (as at login); does\n"
     u"nothing visible when Flintly is running already"},
    {u"--append", {}, u"TEXT",
     [](CommandLine& cl, const QString& value, std::pair<qsizetype, qsizetype> at) {
         if (setAction(cl, Action::append, u"--append")) {
             cl.appendArgument = value;
             std::tie(cl.appendIndex, cl.appendOffset) = at;
         }
     },
     u"add TEXT to the end of the current note (- reads it from standard\n"
     u"input), starting Flintly hidden when it is not running; exits 0\n"
     u"once the note is saved to disk. TEXT must be UTF-8, at most 1 MiB"},
    {u"--history", {}, u"NOTE",
     [](CommandLine& cl, const QString& value, std::pair<qsizetype, qsizetype>) {
         if (setAction(cl, Action::history, u"--history"))
             cl.historyNote = QFileInfo(value).absoluteFilePath();
     },
     u"list the earlier versions Flintly kept of the note file NOTE,\n"
     u"newest first: id, time, size in bytes and why it was kept,\n"
     u"separated by tabs (works without a display, and while Flintly\n"
     u"runs; versions live in $XDG_DATA_HOME/Flintly/History)"},
    {u"--print", {}, u"ID",
     [](CommandLine& cl, const QString& value, std::pair<qsizetype, qsizetype>) {
         bool ok = false;
         cl.historyVersion = value.toLongLong(&ok);
         if (!ok || *cl.historyVersion <= 0) {
             cl.action = Action::error;
             cl.error = QStringLiteral("flintly: --print takes a version id from --history, not '%1'").arg(value);
         }
     },
     u"with --history: write version ID of NOTE to standard output,\n"
     u"exactly as the file held it"},
    {u"--version", u"-v", {}, [](CommandLine& cl, const QString&, std::pair<qsizetype, qsizetype>) { setAction(cl, Action::version, {}); },
     u"print the version and exit"},
    {u"--help", u"-h", {}, [](CommandLine& cl, const QString&, std::pair<qsizetype, qsizetype>) { setAction(cl, Action::help, {}); },
     u"print this help and exit"},
};
// clang-format on

static_assert(AppendInput::kMaxBytes == 1024 * 1024, "--help tells the limit as 1 MiB");

const Option* findOption(QStringView name)
{
    for (const Option& o : kOptions)
        if (name == o.name || (!o.shortName.isEmpty() && name == o.shortName))
            return &o;
    return nullptr;
}

}  // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine cl;
    for (qsizetype i = 1; i < arguments.size() && cl.action != Action::error; ++i) {
        const QString& a = arguments[i];
        if (a.startsWith(u"-platform") || a.startsWith(u"--platform")) {
            ++i;  // Qt's own option and its value
            continue;
        }
        if (!a.startsWith(u'-')) {
            // A file manager passes every chosen file; one note is open at a time.
            (cl.file.isEmpty() ? cl.file : cl.extraFiles.emplace_back()) = QFileInfo(a).absoluteFilePath();
            continue;
        }
        // "--name=value" and "--name value" alike.
        const qsizetype equals = a.startsWith(u"--") ? a.indexOf(u'=') : -1;
        const QStringView name = equals < 0 ? QStringView(a) : QStringView(a).left(equals);
        const Option* option = findOption(name);
        if (!option) {
            cl.action = Action::error;
            cl.error = QStringLiteral("flintly: unknown option '%1' (try --help)").arg(a);
            break;
        }
        if (option->valueName.isEmpty()) {
            if (equals >= 0) {
                cl.action = Action::error;
                cl.error = QStringLiteral("flintly: %1 takes no value (try --help)").arg(option->name);
                break;
            }
            option->apply(cl, QString(), {-1, 0});
        } else if (equals >= 0) {
            option->apply(cl, a.mid(equals + 1), {i, equals + 1});
        } else if (i + 1 < arguments.size()) {
            ++i;
            option->apply(cl, arguments[i], {i, 0});
        } else {
            cl.action = Action::error;
            cl.error = QStringLiteral("flintly: %1 needs %2 (try --help)").arg(option->name, option->valueName);
        }
    }
    if (cl.action == Action::append && !cl.file.isEmpty()) {
        cl.action = Action::error;
        cl.error = QStringLiteral("flintly: --append adds to the current note; it cannot open FILE as well");
    }
    if (cl.action == Action::history && !cl.file.isEmpty()) {
        cl.action = Action::error;
        cl.error = QStringLiteral("flintly: --history lists one note's versions; it cannot open FILE as well");
    }
    if (cl.action != Action::error && cl.historyVersion && cl.action != Action::history) {
        cl.action = Action::error;
        cl.error = QStringLiteral("flintly: --print goes with --history NOTE (try --help)");
    }
    return cl;
}

QString versionText() { return QStringLiteral("Flintly %1").arg(runningVersion()); }

QString helpText()
{
    constexpr qsizetype kColumn = 18;
    QString text = QStringLiteral("Usage: flintly [OPTION...] [FILE]\n"
                                  "\n"
                                  "A floating Markdown note, shown and hidden with Ctrl+J from anywhere.\n"
                                  "\n");
    auto row = [&](const QString& left, QStringView help) {
        const QList<QStringView> lines = help.split(u'\n');
        text += QStringLiteral("  ") + left.leftJustified(kColumn - 2) + lines.first().toString() + u'\n';
        for (qsizetype i = 1; i < lines.size(); ++i)
            text += QString(kColumn, u' ') + lines[i].toString() + u'\n';
    };
    for (const Option& o : kOptions) {
        QString left = o.shortName.isEmpty() ? QString() : o.shortName.toString() + QStringLiteral(", ");
        left += o.name;
        if (!o.valueName.isEmpty())
            left += u' ' + o.valueName.toString();
        row(left, o.help);
    }
    row(QStringLiteral("FILE"),
        u"open this Markdown file as the note (in the running Flintly,\nwhen there is one) and "
        u"show it; a file outside the notes\nfolder is edited where it is. Of several "
        u"files, the first\nopens");
    text += QStringLiteral("\n"
                           "Launching Flintly while it runs brings its note window forward.\n"
                           "Notes are plain .md files in the folder you choose at first start;\n"
                           "settings live in $XDG_CONFIG_HOME/Flintly/Flintly.conf.\n");
    return text;
}

}  // namespace flintly

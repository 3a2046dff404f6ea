#include "app/CommandLine.h"

#include "app/StartupDecision.h"

#include <QFileInfo>

namespace flintly {

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine cl;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == u"--version" || a == u"-v")
            cl.action = CommandLine::Action::version;
        else if (a == u"--help" || a == u"-h")
            cl.action = CommandLine::Action::help;
        else if (a == u"--toggle")
            cl.action = CommandLine::Action::toggle;
        else if (a.startsWith(u"-platform") || a.startsWith(u"--platform")) {
            ++i;  // Qt's own option and its value
        } else if (!a.startsWith(u'-')) {
            const QString path = QFileInfo(a).absoluteFilePath();
            if (cl.file.isEmpty())
                cl.file = path;
            else
                cl.extraFiles.append(path);
        } else {
            cl.action = CommandLine::Action::error;
            cl.error = QStringLiteral("flintly: unknown option '%1' (try --help)").arg(a);
            return cl;
        }
    }
    return cl;
}

QString versionText() { return QStringLiteral("Flintly %1").arg(runningVersion()); }

QString helpText()
{
    return QStringLiteral("Usage: flintly [--toggle | --version | --help] [FILE...]\n"
                          "\n"
                          "A floating Markdown note, shown and hidden with Ctrl+J from anywhere.\n"
                          "\n"
                          "  --toggle    show or hide the running Flintly's note window (starts Flintly\n"
                          "              when it is not running); bind this to a key in your desktop's\n"
                          "              settings where global hotkeys are not available (Wayland)\n"
                          "  --version   print the version and exit\n"
                          "  --help      print this help and exit\n"
                          "  FILE        open this Markdown file as the note (in the running Flintly,\n"
                          "              when there is one) and show it; a file outside the notes\n"
                          "              folder is edited where it is. Of several files, the first\n"
                          "              opens\n"
                          "\n"
                          "Launching Flintly while it runs brings its note window forward.\n"
                          "Notes are plain .md files in the folder you choose at first start;\n"
                          "settings live in $XDG_CONFIG_HOME/Flintly/Flintly.conf.\n");
}

}  // namespace flintly

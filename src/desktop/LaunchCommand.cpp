#include "desktop/LaunchCommand.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

namespace flintly::desktop {

namespace LaunchCommand {

namespace {

const QString kProgramName = QStringLiteral("flintly");

bool isPlainShellWord(const QString& word)
{
    if (word.isEmpty())
        return false;
    for (QChar c : word)
        if (!(c.isLetterOrNumber() || QStringView(u"_-/.,:=+@%").contains(c)) || c.unicode() > 127)
            return false;
    return true;
}

// The shell's word splitting as far as GLib's parser does it: blanks, single and double
// quotes, backslashes. Nothing when the quotes do not close.
std::optional<QStringList> shellWords(const QString& line)
{
    QStringList words;
    QString word;
    bool inWord = false;
    const qsizetype n = line.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = line[i];
        if (c == u'\'') {
            const qsizetype close = line.indexOf(u'\'', i + 1);
            if (close < 0)
                return std::nullopt;
            word += line.mid(i + 1, close - i - 1);
            inWord = true;
            i = close;
        } else if (c == u'"') {
            for (++i; i < n && line[i] != u'"'; ++i) {
                if (line[i] == u'\\' && i + 1 < n && QStringView(u"\"\\$`").contains(line[i + 1]))
                    ++i;
                word += line[i];
            }
            if (i >= n)
                return std::nullopt;
            inWord = true;
        } else if (c == u'\\' && i + 1 < n) {
            word += line[++i];
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                words.append(std::exchange(word, QString()));
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

}  // namespace

QStringList forThisExecutable(const QStringList& arguments)
{
    return QStringList{QCoreApplication::applicationFilePath()} + arguments;
}

QString desktopEntryExec(const QStringList& command)
{
    QStringList quoted;
    for (QString arg : command) {
        arg.replace(u'%', QStringLiteral("%%"));  // "%f" and the like are field codes
        bool plain = !arg.isEmpty();
        for (QChar c : arg)
            plain = plain && !QStringView(u" \t\n\"'\\><~|&;$*?#()`").contains(c);
        if (!plain) {
            QString inQuotes;
            for (QChar c : arg) {
                if (QStringView(u"\"`$\\").contains(c))
                    inQuotes += u'\\';
                inQuotes += c;
            }
            arg = u'"' + inQuotes + u'"';
        }
        quoted.append(arg);
    }
    // Then the escapes every string value of a desktop entry has.
    QString line = quoted.join(u' ');
    line.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'\n', QStringLiteral("\\n"))
        .replace(u'\t', QStringLiteral("\\t"));
    return line;
}

QString shellCommand(const QStringList& command)
{
    QStringList quoted;
    for (const QString& arg : command) {
        if (isPlainShellWord(arg))
            quoted.append(arg);
        else
            quoted.append(u'\'' + QString(arg).replace(u'\'', QStringLiteral("'\\''")) + u'\'');
    }
    return quoted.join(u' ');
}

QString forPeople(const QStringList& command)
{
    if (command.isEmpty())
        return {};
    QStringList shown = command;
    const QString onPath = QStandardPaths::findExecutable(kProgramName);
    if (!onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == QFileInfo(command.first()).canonicalFilePath())
        shown.first() = kProgramName;
    return shellCommand(shown);
}

bool runsFlintly(const QString& line, const QString& argument)
{
    const auto words = shellWords(line);
    if (!words || words->size() != 2 || words->at(1) != argument)
        return false;
    const QFileInfo program(words->first());
    return program.fileName() == kProgramName
        || (program.isAbsolute()
            && program.canonicalFilePath() == QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
}

}  // namespace LaunchCommand

bool isGnome(const QString& currentDesktop)
{
    for (QStringView name : QStringView(currentDesktop).split(u':'))
        if (name.compare(u"GNOME", Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

}  // namespace flintly::desktop

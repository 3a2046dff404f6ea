#include "document/NoteNaming.h"

#include "document/DocumentErrors.h"
#include "document/TextDecoding.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

namespace flintly::NoteNaming {

namespace {
constexpr qsizetype kMaxFileNameBytes = 255;

bool isNewline(QChar c)
{
    // The newline set of the platform the names come from: LF, VT, FF, CR, NEL, LS, PS.
    const char16_t u = c.unicode();
    return u == 0x0A || u == 0x0B || u == 0x0C || u == 0x0D || u == 0x85 || u == 0x2028 || u == 0x2029;
}

QString dropLastGrapheme(const QString& s)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    finder.toEnd();
    const qsizetype cut = finder.toPreviousBoundary();
    return cut <= 0 ? QString() : s.left(cut);
}

QString fileName(const QString& base, int counter)
{
    return counter == 0 ? QStringLiteral("%1.%2").arg(base, kExtension)
                        : QStringLiteral("%1-%2.%3").arg(base).arg(counter).arg(kExtension);
}

QString fitted(QString base, int counter)
{
    while (!base.isEmpty() && fileName(base, counter).toUtf8().size() > kMaxFileNameBytes)
        base = dropLastGrapheme(base);
    return base.isEmpty() ? kFallbackName : base;
}

bool isBidiControl(char16_t u) { return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069); }
}  // namespace

QString titleOf(const QString& text)
{
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start <= n) {
        qsizetype end = start;
        while (end < n && !isNewline(text[end]))
            ++end;
        const QString line = text.mid(start, end - start).trimmed();
        if (!line.isEmpty())
            return line;
        start = end + 1;
    }
    return {};
}

QString sanitize(const QString& name)
{
    static const QString removed = QStringLiteral("/:\\?%*|\"<>");
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        if (removed.contains(c) || c.category() == QChar::Other_Control || isBidiControl(c.unicode()))
            continue;
        // A lone surrogate has no UTF-8 form; keep only complete pairs.
        if (c.isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            out.append(c);
            out.append(name[++i]);
            continue;
        }
        if (c.isSurrogate())
            continue;
        out.append(c);
    }
    out = out.trimmed();
    while (out.startsWith(QLatin1Char('.')))
        out = out.mid(1).trimmed();
    return out.isEmpty() ? kFallbackName : out;
}

QString baseNameOf(const QString& text) { return leftGraphemes(sanitize(titleOf(text)), kNameLength); }

QString displayNameOf(const QString& text)
{
    const QString title = titleOf(text);
    return title.isEmpty() ? kFallbackName : leftGraphemes(title, kNameLength);
}

QString withoutCounterSuffix(const QString& completeBaseName)
{
    static const QRegularExpression suffix(QStringLiteral("-\\d+$"));
    QString s = completeBaseName;
    s.remove(suffix);
    return s;
}

bool nameFollowsBase(const QString& completeBaseName, const QString& baseName)
{
    static const QRegularExpression suffix(QStringLiteral("-(\\d+)$"));
    const auto match = suffix.match(completeBaseName);
    const QString stem = match.hasMatch() ? completeBaseName.left(match.capturedStart()) : completeBaseName;
    if (stem == baseName)
        return true;
    // A name cut to fit was cut with the counter it got; without one it is counter 0.
    bool ok = false;
    const int counter = match.hasMatch() ? match.captured(1).toInt(&ok) : 0;
    return stem == fitted(baseName, ok ? counter : 0) || stem == fitted(baseName, 0);
}

QString fitFileName(const QString& stem, const QString& tail)
{
    QString s = stem;
    while (!s.isEmpty() && (s + tail).toUtf8().size() > kMaxFileNameBytes)
        s = dropLastGrapheme(s);
    return (s.isEmpty() ? kFallbackName : s) + tail;
}

QString uniqueFilePath(const QString& folder, const QString& baseName)
{
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        throw FileError(QStringLiteral("The folder “%1” couldn’t be created.").arg(folder));
    const QDir dir(folder);
    QString candidate = dir.filePath(fileName(fitted(baseName, 0), 0));
    int counter = 0;
    while (QFileInfo::exists(candidate)) {
        ++counter;
        candidate = dir.filePath(fileName(fitted(baseName, counter), counter));
    }
    return candidate;
}

}  // namespace flintly::NoteNaming

#include "document/TextDecoding.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTextBoundaryFinder>

namespace flintly {

std::optional<QString> decodeUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    // A byte-order mark is an encoding detail, not part of the note.
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

std::optional<QString> readUtf8File(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    auto text = decodeUtf8(bytes);
    if (!text && error)
        *error = QStringLiteral("%1: %2").arg(path, notUtf8Text());
    return text;
}

QString notUtf8Text() { return QStringLiteral("the file is not valid UTF-8 text"); }

std::optional<QString> notePathProblem(const QString& path)
{
    const QFileInfo info(path);
    if (info.isFile())
        return std::nullopt;
    if (info.isDir())
        return QStringLiteral("it is a folder, not a file");
    if (info.exists())
        return QStringLiteral("it is not a regular file");
    // File names reach us as text: bytes that are not UTF-8 were replaced on the way
    // in, so the name we hold leads nowhere.
    if (path.contains(QChar::ReplacementCharacter))
        return QStringLiteral("its name is not valid UTF-8; rename the file to open it");
    return QStringLiteral("there is no such file");
}

namespace {
bool isAscii(QChar c) { return c.unicode() < 0x80; }

// Between two ASCII units there is always a cluster boundary, except inside CR LF:
// no ASCII character extends, joins or prefixes another. Such a position is where
// the fast path may hand over to the boundary finder and back without changing the
// count, since no rule looks across it.
bool isSafeBoundary(QStringView text, qsizetype p)
{
    return isAscii(text[p - 1]) && isAscii(text[p]) && !(text[p - 1] == u'\r' && text[p] == u'\n');
}

// Clusters of an all-ASCII span: one per unit, except that CR LF is one.
qint64 asciiClusters(QStringView span)
{
    qint64 count = span.size();
    for (qsizetype k = 0; k + 1 < span.size(); ++k)
        if (span[k] == u'\r' && span[k + 1] == u'\n')
            --count;
    return count;
}
}  // namespace

qint64 graphemeCount(QStringView text)
{
    qint64 count = 0;
    qsizetype i = 0;  // always a cluster boundary
    const qsizetype n = text.size();
    while (i < n) {
        qsizetype j = i;
        while (j < n && isAscii(text[j]))
            ++j;
        if (j == n)
            return count + asciiClusters(text.mid(i));
        // The ASCII character just before a non-ASCII run may carry combining marks
        // ("e" + U+0301), and one just after it may belong to a prefixing character
        // (U+0600 + "1"), so the finder gets the run from the last safe boundary before
        // it to the first safe boundary after it.
        qsizetype start = j > i ? j - 1 : j;
        if (start > i && !isSafeBoundary(text, start))
            --start;
        count += asciiClusters(text.mid(i, start - i));
        qsizetype end = j + 1;
        while (end < n && !isSafeBoundary(text, end))
            ++end;
        const QStringView window = text.mid(start, end - start);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, window.data(), window.size());
        while (finder.toNextBoundary() != -1)
            ++count;
        i = end;
    }
    return count;
}

QString leftGraphemes(const QString& text, qint64 n)
{
    if (n <= 0)
        return {};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qint64 seen = 0;
    qsizetype pos = 0;
    while (seen < n) {
        const qsizetype next = finder.toNextBoundary();
        if (next == -1)
            return text;
        pos = next;
        ++seen;
    }
    return text.left(pos);
}

}  // namespace flintly

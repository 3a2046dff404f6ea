#include "document/NoteStatistics.h"

#include "document/TextDecoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextBoundaryFinder>
#include <QThread>

namespace flintly {

namespace {

bool isNewline(char16_t u) { return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029; }

// Finds ticked to-do markers one unit at a time, so a marker or a line cut by a
// chunk boundary is found the same way as in a note read whole.
class TodoScanner {
public:
    void feed(QStringView text)
    {
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (isNewline(u)) {
                m_matched = 0;
                m_lineCounted = false;
                continue;
            }
            if (m_lineCounted)
                continue;
            if (matches(m_matched, u)) {
                if (++m_matched == 5) {
                    ++m_done;
                    m_lineCounted = true;
                    m_matched = 0;
                }
            } else {
                // '-' opens the marker and occurs nowhere else in it, so a failed
                // partial match can only restart at the current unit.
                m_matched = u == u'-' ? 1 : 0;
            }
        }
    }

    // Bytes were skipped: whatever line was being read is unknown from here on.
    void breakLine()
    {
        m_matched = 0;
        m_lineCounted = false;
    }

    qint64 done() const { return m_done; }

private:
    static bool matches(int position, char16_t u)
    {
        switch (position) {
        case 0: return u == u'-';
        case 1: return u == u' ';
        case 2: return u == u'[';
        case 3: return u == u'x' || u == u'X';
        default: return u == u']';
        }
    }

    int m_matched = 0;
    bool m_lineCounted = false;
    qint64 m_done = 0;
};

qsizetype utf8Length(QStringView text)
{
    qsizetype bytes = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // A surrogate pair is four bytes, two per half.
        bytes += u < 0x80 ? 1 : u < 0x800 ? 2 : QChar::isSurrogate(u) ? 2 : 3;
    }
    return bytes;
}

// Bytes at the end that begin a character without finishing it; the read cut it.
qsizetype incompleteTail(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    for (qsizetype back = 1; back <= 4 && back <= n; ++back) {
        const auto b = static_cast<unsigned char>(bytes[n - back]);
        if ((b & 0xC0) == 0x80)
            continue;  // continuation byte: the lead is further back
        const qsizetype needed = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
        return back < needed ? back : 0;
    }
    return 0;
}

// A cluster longer than this (only in contrived text, such as one letter under
// thousands of marks) is counted where the chunk cuts it instead of being carried,
// so what is held between reads stays small.
constexpr qsizetype kMaxCarriedUnits = 1024;

// Where the last grapheme cluster of `text` starts. Text may continue after the end,
// so that cluster is not complete yet. The finder only needs to see the text from
// the last position that is a boundary whatever comes before it: after two ASCII
// units, not CR LF, nothing before matters.
qsizetype lastClusterStart(QStringView text)
{
    const qsizetype n = text.size();
    qsizetype from = n - 1;
    while (from > 0) {
        const char16_t prev = text[from - 1].unicode();
        const char16_t cur = text[from].unicode();
        if (prev < 0x80 && cur < 0x80 && !(prev == u'\r' && cur == u'\n'))
            break;
        --from;
    }
    const QStringView window = text.mid(from);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, window.data(), window.size());
    finder.toEnd();
    const qsizetype last = finder.toPreviousBoundary();
    return from + (last < 0 ? 0 : last);
}

// Reads a note chunk by chunk. Bytes that may still change how the text counts are
// carried into the next round: a character cut by the read, and the last cluster,
// which the next chunk may extend (CR + LF, a letter + a combining mark, the halves
// of an emoji sequence). A run that is not UTF-8 is dropped, as strict decoding
// refuses it; the rest of the file is still counted.
TextCounts countChunked(QFile& file)
{
    qint64 characters = 0;
    TodoScanner todos;
    QByteArray chunk(kStatisticsChunkSize, Qt::Uninitialized);
    QByteArray pending;
    pending.reserve(kStatisticsChunkSize + kMaxCarriedUnits * 3 + 8);
    bool atStart = true;

    for (;;) {
        const qint64 got = file.read(chunk.data(), chunk.size());
        const bool atEnd = got <= 0;  // a read error ends the count like the end of the file
        if (!atEnd)
            pending.append(chunk.constData(), got);

        // At the end there is nothing left to finish a cut character; it is dropped.
        const qsizetype cut = incompleteTail(pending);
        const QByteArrayView body(pending.constData(), pending.size() - cut);
        std::optional<QString> text = decodeUtf8(body);
        // Decoding drops a leading byte-order mark; past the start of the file it is
        // a character like any other.
        if (text && !atStart && body.startsWith("\xEF\xBB\xBF"))
            text->prepend(QChar(0xFEFF));

        qsizetype keep = cut;
        if (text && !text->isEmpty()) {
            qsizetype counted = text->size();
            if (!atEnd) {
                const qsizetype last = lastClusterStart(*text);
                if (counted - last <= kMaxCarriedUnits)
                    counted = last;
            }
            const QStringView done = QStringView(*text).first(counted);
            characters += graphemeCount(done);
            todos.feed(done);
            keep += utf8Length(QStringView(*text).sliced(counted));
        } else if (!text) {
            todos.breakLine();
        }
        if (atEnd)
            break;
        if (keep < pending.size()) {
            pending.remove(0, pending.size() - keep);
            atStart = false;
        }
    }
    return {characters, todos.done()};
}

TextCounts countFile(const QString& path, qint64 listedSize)
{
    if (listedSize > kLargeNoteThreshold)
        return processLargeFileStreaming(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    // The note may have grown since the folder was listed.
    if (file.size() > kLargeNoteThreshold)
        return countChunked(file);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {};
    const std::optional<QString> text = decodeUtf8(bytes);
    return text ? countText(*text) : TextCounts{};
}

}  // namespace

TextCounts countText(QStringView text)
{
    TodoScanner todos;
    todos.feed(text);
    return {graphemeCount(text), todos.done()};
}

TextCounts processLargeFileStreaming(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    return countChunked(file);
}

std::optional<FolderStatistics> computeFolderStatistics(const QString& folder, const std::function<bool()>& keepGoing)
{
    const QFileInfo folderInfo(folder);
    if (folder.isEmpty() || !folderInfo.isDir() || !folderInfo.isReadable() || !folderInfo.isExecutable())
        return std::nullopt;

    // Hidden files are left out by not asking for them. A folder named "x.md" is
    // not a note.
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files, QDir::Unsorted);
    FolderStatistics stats;
    qsizetype position = 0;
    for (const QFileInfo& entry : entries) {
        if (entry.suffix().compare(QLatin1String("md"), Qt::CaseInsensitive) != 0)
            continue;
        if (keepGoing && !keepGoing())
            return std::nullopt;
        ++stats.noteCount;
        const TextCounts counts = countFile(entry.filePath(), entry.size());
        stats.charCount += counts.characters;
        stats.todoDone += counts.todosDone;
        // Leaves room for other work when the folder is large.
        if (position % 100 == 0)
            QThread::msleep(1);
        ++position;
    }
    return stats;
}

}  // namespace flintly

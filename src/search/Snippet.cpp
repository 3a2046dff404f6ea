#include "search/Snippet.h"

#include "search/TextFolding.h"

#include <algorithm>
#include <bit>

namespace flintly::search {

namespace {
constexpr qsizetype kContextBefore = 24;
const QString kEllipsis = QStringLiteral("…");

// The original range behind folded units [from, from + length).
Snippet::Range originalRange(const FoldedText& f, qsizetype from, qsizetype length)
{
    const qsizetype start = f.origin[static_cast<std::size_t>(from)];
    // A match ending inside what one character folded to ("ß" → "ss") takes it whole.
    auto last = static_cast<std::size_t>(from + length - 1);
    std::size_t next = last + 1;
    while (next < f.origin.size() - 1 && f.origin[next] == f.origin[last])
        ++next;
    return {start, f.origin[next] - start};
}
}  // namespace

Snippet findSnippet(QStringView text, const SearchQuery& query, qsizetype maxChars)
{
    Snippet s;
    if (query.isEmpty())
        return s;
    const quint32 all = allWords(query);
    int best = 0;
    QStringView bestLine;
    qsizetype lineNo = 0;
    for (qsizetype start = 0; start <= text.size(); ++lineNo) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        QStringView line = text.sliced(start, end - start);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const quint32 found = wordsIn(fold(line), query);
        const int count = std::popcount(found);
        if (count > best) {
            best = count;
            bestLine = line;
            s.line = lineNo;
            if (found == all)
                break;
        }
        start = end + 1;
    }
    if (s.line < 0)
        return s;

    const FoldedText f = foldWithOrigins(bestLine);
    QList<Snippet::Range> ranges;
    for (const QString& w : query.words)
        for (qsizetype at = f.text.indexOf(w); at >= 0; at = f.text.indexOf(w, at + w.size()))
            ranges.append(originalRange(f, at, w.size()));
    std::sort(ranges.begin(), ranges.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    if (ranges.isEmpty())
        return {};
    s.match = ranges.constFirst();

    // The shown stretch: from a little before the first match, at most maxChars long.
    qsizetype from = 0;
    while (from < bestLine.size() && bestLine[from].isSpace())
        ++from;
    QString shown;
    if (s.match.start - from > maxChars / 3) {
        from = std::max(from, s.match.start - kContextBefore);
        if (from > 0 && bestLine[from].isLowSurrogate())
            --from;
        shown = kEllipsis;
    }
    const qsizetype offset = shown.size() - from;
    qsizetype to = std::min(bestLine.size(), from + maxChars);
    if (to < bestLine.size() && bestLine[to].isLowSurrogate())
        ++to;
    shown += bestLine.sliced(from, to - from);
    if (to < bestLine.size())
        shown += kEllipsis;
    s.text = shown;
    for (const Snippet::Range& r : ranges) {
        const qsizetype a = std::max(r.start, from), b = std::min(r.start + r.length, to);
        if (b > a)
            s.emphasis.append({a + offset, b - a});
    }
    return s;
}

}  // namespace flintly::search

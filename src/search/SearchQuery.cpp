#include "search/SearchQuery.h"

#include "search/TextFolding.h"

#include <QRegularExpression>

namespace flintly::search {

SearchQuery SearchQuery::parse(QStringView typed)
{
    SearchQuery q;
    static const QRegularExpression space(QStringLiteral("\\s+"));
    for (const QString& part : typed.toString().split(space, Qt::SkipEmptyParts)) {
        const QString word = fold(part);
        if (!word.isEmpty())
            q.words.append(word);
    }
    q.phrase = q.words.join(QLatin1Char(' '));
    for (const QString& w : q.words)
        q.utf8Words.push_back(w.toStdString());
    q.utf8Phrase = q.phrase.toStdString();
    return q;
}

namespace {
// Whether the character ending just before `at` (UTF-8) is not part of a word.
bool startsWord(std::string_view name, std::size_t at)
{
    if (at == 0)
        return true;
    std::size_t start = at - 1;
    while (start > 0 && (static_cast<unsigned char>(name[start]) & 0xC0) == 0x80)
        --start;
    const QString before = QString::fromUtf8(name.data() + start, static_cast<qsizetype>(at - start));
    const char32_t c = before.size() == 2 ? QChar::surrogateToUcs4(before[0], before[1]) : before[0].unicode();
    return !isWordChar(c);
}

bool hasWordStartingWith(std::string_view name, std::string_view word)
{
    for (std::size_t at = name.find(word); at != std::string_view::npos; at = name.find(word, at + 1))
        if (startsWord(name, at))
            return true;
    return false;
}
}  // namespace

NameMatch matchName(std::string_view foldedName, const SearchQuery& query)
{
    if (query.isEmpty())
        return NameMatch::anywhere;
    if (foldedName == query.utf8Phrase)
        return NameMatch::exact;
    if (foldedName.starts_with(query.utf8Phrase))
        return NameMatch::prefix;
    bool wordStarts = true;
    for (const std::string& w : query.utf8Words) {
        if (foldedName.find(w) == std::string_view::npos)
            return NameMatch::none;
        wordStarts = wordStarts && hasWordStartingWith(foldedName, w);
    }
    return wordStarts ? NameMatch::wordStart : NameMatch::anywhere;
}

quint32 wordsIn(QStringView folded, const SearchQuery& query)
{
    quint32 found = 0;
    bool restFound = true;  // words 31 and on share the last bit: all of them or none
    for (qsizetype i = 0; i < query.words.size(); ++i) {
        const bool in = folded.contains(query.words[i]);
        if (i < 31 && in)
            found |= wordBit(i);
        else if (i >= 31)
            restFound = restFound && in;
    }
    if (query.words.size() > 31 && restFound)
        found |= wordBit(31);
    return found;
}

bool holdsPhrase(QStringView folded, const SearchQuery& query)
{
    if (query.words.isEmpty())
        return false;
    const QString& first = query.words.front();
    for (qsizetype at = folded.indexOf(first); at >= 0; at = folded.indexOf(first, at + 1)) {
        qsizetype next = at + first.size();
        bool all = true;
        for (qsizetype w = 1; w < query.words.size() && all; ++w) {
            const qsizetype gap = next;
            while (next < folded.size() && folded[next].isSpace())
                ++next;
            all = next > gap && folded.sliced(next).startsWith(query.words[w]);
            next += query.words[w].size();
        }
        if (all)
            return true;
    }
    return false;
}

}  // namespace flintly::search

#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <string>
#include <string_view>
#include <vector>

namespace flintly::search {

// What the user typed, split into words at white space and folded. A note matches when
// every word occurs, as a substring and in any order, in its name or in its text.
struct SearchQuery {
    QStringList words;  // folded, never empty ones
    QString phrase;     // the words joined by single spaces
    // The same in UTF-8, as the index and the names buffer hold text.
    std::vector<std::string> utf8Words;
    std::string utf8Phrase;

    static SearchQuery parse(QStringView typed);
    bool isEmpty() const { return words.isEmpty(); }
};

// How well a note's name matches, best first: the name is the query; begins with it;
// has, for every word, a word of its own that begins with it; or contains every word.
enum class NameMatch : quint8 { exact, prefix, wordStart, anywhere, none };

// `foldedName` is the name as fold() gives it, in UTF-8.
NameMatch matchName(std::string_view foldedName, const SearchQuery& query);
inline NameMatch matchName(QStringView foldedName, const SearchQuery& query)
{
    return matchName(std::string_view(foldedName.toUtf8().toStdString()), query);
}

// Which of the query's words occur in `folded`: bit i for word i; words 31 and on
// share the last bit, set when all of them occur.
quint32 wordsIn(QStringView folded, const SearchQuery& query);
// Whether `folded` holds the query's words as typed: in order, each after the last
// with only white space between (a line break counts as a space).
bool holdsPhrase(QStringView folded, const SearchQuery& query);
inline quint32 allWords(const SearchQuery& query)
{
    const auto n = std::min<qsizetype>(query.words.size(), 32);
    return n == 32 ? 0xFFFFFFFFu : (1u << n) - 1;
}
inline quint32 wordBit(qsizetype i) { return 1u << std::min<qsizetype>(i, 31); }

}  // namespace flintly::search

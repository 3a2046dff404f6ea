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
    return q;
}

std::vector<std::string> SearchQuery::utf8Words() const
{
    std::vector<std::string> out;
    for (const QString& w : words)
        out.push_back(w.toStdString());
    return out;
}

namespace {
bool startsWord(QStringView name, qsizetype at)
{
    if (at == 0)
        return true;
    const QChar before = name[at - 1];
    if (before.isLowSurrogate() && at >= 2)
        return !isWordChar(QChar::surrogateToUcs4(name[at - 2], before));
    return !isWordChar(before.unicode());
}

bool hasWordStartingWith(QStringView name, QStringView word)
{
    for (qsizetype at = name.indexOf(word); at >= 0; at = name.indexOf(word, at + 1))
        if (startsWord(name, at))
            return true;
    return false;
}
}  // namespace

NameMatch matchName(QStringView foldedName, const SearchQuery& query)
{
    if (query.isEmpty())
        return NameMatch::anywhere;
    if (foldedName == query.phrase)
        return NameMatch::exact;
    if (foldedName.startsWith(query.phrase))
        return NameMatch::prefix;
    if (wordsIn(foldedName, query) != allWords(query))
        return NameMatch::none;
    for (const QString& w : query.words)
        if (!hasWordStartingWith(foldedName, w))
            return NameMatch::anywhere;
    return NameMatch::wordStart;
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

}  // namespace flintly::search

#include "browser/ResultRows.h"

#include "search/SearchEngine.h"

namespace flintly {

namespace {
constexpr quint32 kNoRecord = 0xFFFFFFFFu;
}

ResultRows allRows(const NoteIndex& index, SortMode mode, const QStringList& recentPaths)
{
    ResultRows out;
    const NoteIndex::Rows& all = index.order(mode);
    std::vector<qsizetype> recency(index.size(), -1);
    std::vector<quint32> recent(static_cast<std::size_t>(recentPaths.size()), kNoRecord);
    if (!recentPaths.isEmpty()) {
        qsizetype left = recentPaths.size();
        for (quint32 r = 0; r < index.size() && left > 0; ++r) {
            const qsizetype at = recentPaths.indexOf(index.files()[r].path);
            if (at >= 0 && recent[static_cast<std::size_t>(at)] == kNoRecord) {
                recent[static_cast<std::size_t>(at)] = r;
                recency[r] = at;
                --left;
            }
        }
    }
    for (quint32 r : recent)
        if (r != kNoRecord)
            out.records.push_back(r);
    for (quint32 r : all)
        if (recency[r] < 0)
            out.records.push_back(r);
    out.contentStart = out.records.size();
    return out;
}

ResultRows rankedRows(const NoteIndex& index, const NoteIndex::NameMatches& names, const search::SearchQuery& query,
                      SortMode mode, const search::WordHits* textHits)
{
    ResultRows out;
    out.records = names.ranked;
    out.contentStart = out.records.size();
    out.hasExactName = names.exact > 0;
    out.contentPending = textHits == nullptr;
    if (!textHits || query.isEmpty())
        return out;
    const quint32 every = search::allWords(query);
    // Notes holding the words as typed come before those holding them apart.
    std::vector<quint32> apart;
    for (quint32 r : index.order(mode)) {
        const quint32 inName = names.words[r];
        if (inName == every)
            continue;  // listed above, or a name holding the words in no way that ranks
        quint32 found = inName;
        for (std::size_t w = 0; w < textHits->size(); ++w)
            if ((*textHits)[w][r])
                found |= search::wordBit(static_cast<qsizetype>(w));
        if (found != every)
            continue;
        if (!textHits->empty() && (*textHits)[0][r] == search::kPhrase)
            out.records.push_back(r);
        else
            apart.push_back(r);
    }
    out.records.insert(out.records.end(), apart.begin(), apart.end());
    return out;
}

}  // namespace flintly

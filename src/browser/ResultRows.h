#pragma once

#include "browser/NoteIndex.h"
#include "search/SearchQuery.h"

#include <QStringList>

namespace flintly {

// What the quick-open list shows for one query, as records of one NoteIndex: the
// notes whose names hold the query, best first, then those whose text (with the name)
// holds it, each group in the sort mode's order.
struct ResultRows {
    NoteIndex::Rows records;
    std::size_t contentStart = 0;  // records from here on were found by their text
    bool hasExactName = false;     // some name is the query itself
    bool contentPending = false;   // the text search has not answered yet

    bool isContentRow(std::size_t row) const { return row >= contentStart && row < records.size(); }
};

// No query: the recently opened notes first, most recent first, then every other note.
ResultRows allRows(const NoteIndex& index, SortMode mode, const QStringList& recentPaths);

// The name matches; with `textHits` (per word, per record) also the text matches.
ResultRows rankedRows(const NoteIndex& index, const NoteIndex::NameMatches& names, const search::SearchQuery& query,
                      SortMode mode, const search::WordHits* textHits);

}  // namespace flintly

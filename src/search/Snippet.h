#pragma once

#include "search/SearchQuery.h"

#include <QList>
#include <QString>
#include <QStringView>

namespace flintly::search {

// Where a query's words stand in a note's text: the first line holding the most of
// them, with the first occurrence on it (as a caret range for the editor) and every
// occurrence on the shown stretch of the line (to emphasise).
struct Snippet {
    struct Range {
        qsizetype start = 0;
        qsizetype length = 0;
        friend bool operator==(const Range&, const Range&) = default;
    };
    qsizetype line = -1;    // zero-based; -1: no word of the query is in the text
    Range match;            // in the original line
    QString text;           // the line, cut around the match to at most maxChars, "…" where cut
    QList<Range> emphasis;  // in `text`

    bool isValid() const { return line >= 0; }
};

// Lines end at LF; a CR before it belongs to the line break.
Snippet findSnippet(QStringView text, const SearchQuery& query, qsizetype maxChars = 90);

}  // namespace flintly::search

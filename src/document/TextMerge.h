#pragma once

#include <QString>

#include <vector>

// Three-way merge of a note: the text both sides started from (what the file held when
// the app last read or wrote it), the user's text, and the file's new text.
//
// Lines are merged first. Where both sides changed the same stretch of lines (a
// Markdown paragraph is one line), that stretch is merged again word by word. Both
// sides adding at the same place is not a conflict: the file's addition comes first,
// then the user's. Changes that touch the same words are a conflict, and so is an
// addition right beside text the other side deleted. A file cut to less than half of
// what it was (emptied by a broken sync, an old copy brought back) is not merged.
namespace flintly::TextMerge {

// ours[from, to) becomes `insert` (UTF-16 offsets).
struct Edit {
    qsizetype from = 0, to = 0;
    QString insert;
    bool operator==(const Edit&) const = default;
};

struct Result {
    bool clean = false;
    QString text;             // when clean: the user's text with the file's changes in it
    std::vector<Edit> edits;  // when clean: what turns the user's text into `text`, in order
    // The file changed its line breaks (LF to CRLF or back), and the user's text was
    // given the file's: `edits` is empty, the whole text changed.
    bool breaksConverted = false;
    int changesTaken = 0;  // places where the file's changes went into the user's text
};

Result merge(const QString& base, const QString& ours, const QString& theirs);

// `text` with `edits` (in order, not overlapping) made.
QString applyEdits(const QString& text, const std::vector<Edit>& edits);

}  // namespace flintly::TextMerge

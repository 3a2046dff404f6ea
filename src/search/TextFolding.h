#pragma once

#include <QString>
#include <QStringView>

#include <vector>

namespace flintly::search {

// The form in which names, note text and queries are compared: composed (NFC), case
// folded, and without the accents of Latin, Greek and Cyrillic letters, so "cafe" finds
// "Café" and "CAFÉ" typed either composed or decomposed. Marks of other scripts
// (Devanagari vowel signs, Japanese voicing marks) change the letter and are kept.
//
// Text is folded one combining sequence (a character with the marks after it) at a
// time, so a stretch of text folds the same alone as inside a longer text: the index,
// the direct search and the snippet all see the same folded words.
QString fold(QStringView text);

// The folded text and, for each of its units, where in `text` the sequence it came
// from starts; `origin` has one more entry, `text.size()`, for the end.
struct FoldedText {
    QString text;
    std::vector<qsizetype> origin;
};
FoldedText foldWithOrigins(QStringView text);

// Letters, digits and combining marks: what words are made of. Anything else
// separates words.
bool isWordChar(char32_t c);

}  // namespace flintly::search

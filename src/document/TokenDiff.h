#pragma once

#include <QStringView>

#include <cstddef>
#include <optional>
#include <vector>

// Cutting a text into tokens and finding the shortest way from one token sequence to
// another: the ground the three-way merge of a note stands on.
namespace flintly::TokenDiff {

// Token i is text[starts[i], starts[i + 1]); tokens are compared by hash, then by text.
struct Tokens {
    QStringView text;
    std::vector<qsizetype> starts{0};  // one more entry than there are tokens
    std::vector<std::size_t> hashes;

    qsizetype size() const { return static_cast<qsizetype>(hashes.size()); }
    // Where token i begins; size() gives the end of the text.
    qsizetype offset(qsizetype i) const { return starts[static_cast<std::size_t>(i)]; }
    QStringView token(qsizetype i) const { return text.mid(offset(i), offset(i + 1) - offset(i)); }
    bool same(qsizetype i, const Tokens& other, qsizetype j) const;
};

// Lines, each with the break that ends it ("\n", "\r\n" or a lone "\r").
Tokens lines(QStringView text);
// Words (letters, digits, marks, underscores), runs of horizontal white space, line
// breaks, and every other character on its own (with the marks and joiners that belong
// to it, so an emoji sequence stays whole).
Tokens words(QStringView text);

// Tokens a[a0, a1) became b[b0, b1).
struct Hunk {
    qsizetype a0 = 0, a1 = 0, b0 = 0, b1 = 0;
};

// The shortest edit script from `a` to `b` (Myers' algorithm), as hunks in order. When
// more than `maxEdits` tokens would have to be inserted or deleted, the part between
// the common head and tail is given as one hunk instead: texts that far apart are not
// worth telling apart token by token.
std::vector<Hunk> diff(const Tokens& a, const Tokens& b, qsizetype maxEdits = 1000);

}  // namespace flintly::TokenDiff

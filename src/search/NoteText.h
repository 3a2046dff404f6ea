#pragma once

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace flintly::search {

// Notes larger than this, and files that are not text, are found by name only.
inline constexpr qint64 kMaxSearchedBytes = 10 * 1000 * 1000;

// The text of a note as search sees it: read as the editor reads it (strict UTF-8, a
// byte-order mark dropped). Nothing for a file that cannot be read, is larger than
// kMaxSearchedBytes, holds a NUL byte (binary) or is not UTF-8: such a note is
// searched by its name alone, like a note the editor would refuse to open.
std::optional<QString> readSearchableText(const QString& path);

// The distinct words of folded text, in UTF-8, sorted: what the index keeps of a note.
std::vector<std::string> distinctWords(QStringView foldedText);

}  // namespace flintly::search

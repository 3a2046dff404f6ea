#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace flintly::history::content {

// The bytes of a note's file for `text`: UTF-8, after a byte-order mark when the file
// had one. A version is these bytes, so it comes back exactly as the file held it.
QByteArray bytesOf(const QString& text, bool byteOrderMark);

// Names a version's bytes in the store: equal bytes are stored once. Kept across runs,
// so a cryptographic hash (two texts sharing a name would lose one of them).
QByteArray digest(const QByteArray& bytes);

// zlib; `size` is the length of the original bytes.
QByteArray compress(const QByteArray& bytes);
std::optional<QByteArray> uncompress(const QByteArray& stored, qint64 size);

}  // namespace flintly::history::content

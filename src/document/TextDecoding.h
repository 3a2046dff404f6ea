#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

namespace flintly {

// Notes are UTF-8. Bytes that are not valid UTF-8 are refused rather than decoded
// with replacement characters: loading such a file and saving it back would silently
// destroy whatever the file really held.
std::optional<QString> decodeUtf8(QByteArrayView bytes);

// Reads a whole file as strict UTF-8; on failure `error` holds a reason fit for a log.
std::optional<QString> readUtf8File(const QString& path, QString* error = nullptr);

// Why nothing can be read as a note at `path`, in words for the person who asked for
// it; nothing when a regular file stands there. Checks the path only, not the content.
std::optional<QString> notePathProblem(const QString& path);
// The words for a file whose bytes are not UTF-8.
QString notUtf8Text();

// User-perceived characters (grapheme clusters). Pure ASCII text, the common case,
// is counted without the boundary finder: in ASCII only CR LF forms a two-unit cluster.
qint64 graphemeCount(QStringView text);

// The first `n` grapheme clusters of `text`.
QString leftGraphemes(const QString& text, qint64 n);

}  // namespace flintly

#pragma once

#include "core/DurableWrite.h"
#include "document/DocumentErrors.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace flintly {

std::optional<FileStamp> stampOfFile(const QString& path);

// The write is in place, but the folder entry could not be flushed, so a power cut
// could still bring the old file back. Reported so that the caller writes again.
class NotDurableError : public FileError {
public:
    NotDurableError(const QString& message, FileStamp written, QString displaced = {})
        : FileError(message), written_(written), displaced_(std::move(displaced))
    {}
    FileStamp written() const { return written_; }
    // Another program's version the write took the place of (see replaceFileDurably).
    QString displaced() const { return displaced_; }

private:
    FileStamp written_;
    QString displaced_;
};

// The note's side of the one durable write (core/DurableWrite.h): Qt paths and bytes,
// and the document's errors. Throws FileError with the system's reason (a full disk, a
// read-only folder); NotDurableError when only the folder flush failed.
FileStamp writeFileDurably(const QString& path, const QByteArray& bytes);

// For the note's own file, which other programs write too: nothing they wrote after we
// last saw the file (`expected`) is dropped; it is left at `displaced` instead.
struct FileReplacement {
    FileStamp written;
    QString displaced;
};
FileReplacement replaceFileDurably(const QString& path, const QByteArray& bytes, std::optional<FileStamp> expected);

}  // namespace flintly

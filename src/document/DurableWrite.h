#pragma once

#include "document/DocumentErrors.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace flintly {

// Who a file is on disk: which inode at which size and modification time. Two equal
// stamps mean nobody wrote the file in between (every write moves the time or the size,
// every replace moves the inode), so a stamp taken when we wrote or read a file tells
// later whether someone else has written it since.
struct FileStamp {
    quint64 device = 0, inode = 0;
    qint64 size = -1, mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};
// Follows symbolic links; nothing when the file does not exist.
std::optional<FileStamp> stampOfFile(const QString& path);
std::optional<FileStamp> stampOfDescriptor(int fd);

// The write is in place, but the folder entry could not be flushed, so a power cut
// could still bring the old file back. Reported so that the caller writes again.
class NotDurableError : public FileError {
public:
    NotDurableError(const QString& message, FileStamp written) : FileError(message), written_(written) {}
    FileStamp written() const { return written_; }

private:
    FileStamp written_;
};

// Replaces the file at `path` with `bytes` so that a crash or power cut leaves either
// the old note or the new one, never a torn file: the bytes go to a hidden temporary
// file in the same folder, which is flushed to disk and renamed over the target, and
// then the folder entry itself is flushed. The target's permissions are kept, and a
// symbolic link stays a link: the file it points to is what gets replaced. A missing
// parent folder is created. Returns the stamp of the file as written. Throws FileError
// with the system's reason (a full disk, a read-only folder); the target is then
// untouched and no temporary file is left.
FileStamp writeFileDurably(const QString& path, const QByteArray& bytes);

namespace durable_write_testing {
// Makes the next folder flushes fail with `error` (0: back to normal). Nothing else
// can make a real fsync of a folder fail on demand.
void failFolderSyncWith(int error);
}  // namespace durable_write_testing

}  // namespace flintly

#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>

namespace flintly {

// Who a file is on disk: which inode at which size and modification time. Two equal
// stamps mean nobody wrote the file in between (every write moves the time or the size,
// every replace moves the inode), so a stamp taken when we wrote or read a file tells
// later whether someone else has written it since.
struct FileStamp {
    std::uint64_t device = 0, inode = 0;
    std::int64_t size = -1, mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};
// Follows symbolic links; nothing when the file does not exist.
std::optional<FileStamp> stampOfFile(const std::string& path);
std::optional<FileStamp> stampOfDescriptor(int fd);

// A durable write that failed. `what()` names the file and the system's reason.
class DurableWriteError : public std::runtime_error {
public:
    DurableWriteError(const std::string& message, int error, std::optional<FileStamp> written = std::nullopt,
                      std::optional<std::string> displaced = std::nullopt)
        : std::runtime_error(message), error_(error), written_(written), displaced_(std::move(displaced))
    {}
    int error() const { return error_; }
    // Set when the new content is in place and only the folder entry could not be
    // flushed: a power cut could still bring the old file back, so the caller should
    // write again, but the bytes on disk are the caller's own.
    std::optional<FileStamp> written() const { return written_; }
    // With written(): another program's version that the write took the place of (see
    // replaceFileDurably).
    const std::optional<std::string>& displaced() const { return displaced_; }

private:
    int error_;
    std::optional<FileStamp> written_;
    std::optional<std::string> displaced_;
};

// Replaces the file at `path` with `bytes` so that a crash or power cut leaves either
// the old content or the new one, never a torn file:
//  - the bytes go to a hidden temporary beside the target under a unique name (a fixed
//    name would let two writers tear each other's temporary), flushed to disk;
//  - the temporary is renamed over the target, then the folder entry itself is flushed.
// The target's permissions are kept (a new file gets `newFileMode` less the umask), and
// a symbolic link stays a link: the file it points to is what gets replaced. A missing
// parent folder is created. Returns the stamp of the file as written. Throws
// DurableWriteError; unless its written() is set, the target is untouched and no
// temporary file is left.
FileStamp writeFileDurably(const std::string& path, std::string_view bytes, mode_t newFileMode = 0666);

struct Replacement {
    FileStamp written;
    // Set when the file that was replaced was not the version the caller expected:
    // another program wrote it after the caller last looked. That version is kept at
    // this path (a hidden file beside the target) for the caller to deal with.
    std::optional<std::string> displaced;
};
// The same, for a file that other programs may write too (a synced note): the
// temporary is swapped with the target in one step (renameat2 RENAME_EXCHANGE), and
// the file it took the place of is kept unless it is the `expected` one. A rename
// would silently drop a version written while our bytes were being flushed to disk.
// Where the file system cannot swap, or the target is gone, a plain rename is used.
Replacement replaceFileDurably(const std::string& path, std::string_view bytes, std::optional<FileStamp> expected,
                               mode_t newFileMode = 0666);

namespace durable_write_testing {
// Makes the next folder flushes fail with `error` (0: back to normal). Nothing else
// can make a real fsync of a folder fail on demand.
void failFolderSyncWith(int error);
}  // namespace durable_write_testing

}  // namespace flintly

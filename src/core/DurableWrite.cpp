#include "core/DurableWrite.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace flintly {

namespace {
constexpr std::size_t kMaxFileNameBytes = 255;
std::atomic<int> g_failFolderSync{0};

[[noreturn]] void fail(const std::string& what, int error)
{
    throw DurableWriteError(what + ": " + std::strerror(error), error);
}

FileStamp stampOf(const struct stat& st)
{
    return FileStamp{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                     static_cast<std::int64_t>(st.st_size),
                     static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

void writeAll(int fd, std::string_view bytes, const std::string& tempPath)
{
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(tempPath, errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

mode_t lessUmask(mode_t mode)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mode & ~mask;
}

// A file reached through a symbolic link is saved into the file the link names;
// renaming over the link itself would turn it into a plain copy.
std::string resolveLinks(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved))
        return resolved;
    // A dangling link: create what it points to.
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    if (n <= 0)
        return path;
    const std::filesystem::path named(std::string(target, static_cast<std::size_t>(n)));
    return named.is_absolute() ? named.string() : (std::filesystem::path(path).parent_path() / named).string();
}

// "." + name + ".XXXXXX" keeps the temporary recognisable beside its file, but it is
// eight bytes longer than the name, so a name near the 255-byte limit gets a short one.
std::string temporaryTemplate(const std::string& folder, const std::string& fileName)
{
    std::string name = "." + fileName + ".XXXXXX";
    if (name.size() > kMaxFileNameBytes)
        name = ".flintly-XXXXXX";
    return (folder.empty() ? std::string(".") : folder) + "/" + name;
}

int syncFolder(const std::string& folder)
{
    if (const int injected = g_failFolderSync.load())
        return injected;
    const int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return errno;
    const int rc = ::fsync(dirFd) == 0 ? 0 : errno;
    ::close(dirFd);
    return rc;
}
}  // namespace

std::optional<FileStamp> stampOfFile(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return stampOf(st);
}

std::optional<FileStamp> stampOfDescriptor(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return stampOf(st);
}

Replacement replaceFileDurably(const std::string& path, std::string_view bytes, std::optional<FileStamp> expected,
                               mode_t newFileMode)
{
    const std::filesystem::path target(resolveLinks(path));
    const std::string targetPath = target.string();
    const std::string folder = target.parent_path().string();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec)
            fail(folder, ec.value());
    }

    std::string tempPath = temporaryTemplate(folder, target.filename().string());
    const int fd = ::mkstemp(tempPath.data());
    if (fd < 0)
        fail(targetPath, errno);
    bool closed = false;
    Replacement result;
    try {
        struct stat existing {};
        const mode_t mode =
            ::stat(targetPath.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : lessUmask(newFileMode);
        if (::fchmod(fd, mode) != 0)
            fail(tempPath, errno);
        writeAll(fd, bytes, tempPath);
        if (::fsync(fd) != 0)
            fail(tempPath, errno);
        // The rename keeps inode and time, so this is the stamp the file will have.
        const auto stamp = stampOfDescriptor(fd);
        if (!stamp)
            fail(tempPath, errno);
        result.written = *stamp;
        closed = true;
        // Some file systems report a failed write-back only at close.
        if (::close(fd) != 0)
            fail(tempPath, errno);
    } catch (...) {
        if (!closed)
            ::close(fd);
        ::unlink(tempPath.c_str());
        throw;
    }
    bool swapped = false;
    if (expected) {
        if (::renameat2(AT_FDCWD, tempPath.c_str(), AT_FDCWD, targetPath.c_str(), RENAME_EXCHANGE) == 0) {
            swapped = true;
        } else if (errno != ENOENT && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            const int e = errno;
            ::unlink(tempPath.c_str());
            fail(targetPath, e);
        }
    }
    if (swapped) {
        // The temporary's name now holds the version we replaced.
        const auto was = stampOfFile(tempPath);
        if (was && *was != *expected)
            result.displaced = tempPath;
        else
            ::unlink(tempPath.c_str());
    } else if (::rename(tempPath.c_str(), targetPath.c_str()) != 0) {
        const int e = errno;
        ::unlink(tempPath.c_str());
        fail(targetPath, e);
    }
    // The rename is only durable once the folder's entry is on disk too.
    if (const int error = syncFolder(folder))
        throw DurableWriteError(folder + ": " + std::strerror(error), error, result.written, result.displaced);
    return result;
}

FileStamp writeFileDurably(const std::string& path, std::string_view bytes, mode_t newFileMode)
{
    return replaceFileDurably(path, bytes, std::nullopt, newFileMode).written;
}

void durable_write_testing::failFolderSyncWith(int error) { g_failFolderSync.store(error); }

}  // namespace flintly

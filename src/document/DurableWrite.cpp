#include "document/DurableWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace flintly {

namespace {
constexpr qsizetype kMaxFileNameBytes = 255;
std::atomic<int> g_failFolderSync{0};

[[noreturn]] void fail(const QString& what, int error)
{
    throw FileError(QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(error))));
}

FileStamp stampOf(const struct stat& st)
{
    return FileStamp{static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino), static_cast<qint64>(st.st_size),
                     static_cast<qint64>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

void writeAll(int fd, const QByteArray& bytes, const QString& tempPath)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(tempPath, errno);
        }
        p += n;
        left -= n;
    }
}

mode_t modeForNewFile()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// A note reached through a symbolic link is saved into the file the link names;
// renaming over the link itself would turn it into a plain copy.
QString resolveLinks(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    char resolved[PATH_MAX];
    if (::realpath(QFile::encodeName(path).constData(), resolved))
        return QFile::decodeName(resolved);
    return info.symLinkTarget();  // a dangling link: create what it points to
}

// "." + name + ".XXXXXX" keeps the temporary recognisable beside its note, but it is
// eight bytes longer than the name, so a note whose name is near the 255-byte limit
// gets a short one instead.
QByteArray temporaryTemplate(const QString& folder, const QString& fileName)
{
    const QByteArray usual = QFile::encodeName(QStringLiteral(".") + fileName + QStringLiteral(".XXXXXX"));
    const QByteArray name = usual.size() <= kMaxFileNameBytes ? usual : QByteArray(".flintly-XXXXXX");
    return QFile::encodeName(folder) + '/' + name;
}

int syncFolder(const QString& folder)
{
    if (const int injected = g_failFolderSync.load())
        return injected;
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return errno;
    const int rc = ::fsync(dirFd) == 0 ? 0 : errno;
    ::close(dirFd);
    return rc;
}
}  // namespace

std::optional<FileStamp> stampOfFile(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
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

FileStamp writeFileDurably(const QString& path, const QByteArray& bytes)
{
    const QString targetPath = resolveLinks(path);
    const QFileInfo target(targetPath);
    const QString folder = target.absolutePath();
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        fail(folder, errno ? errno : ENOENT);

    QByteArray tempPath = temporaryTemplate(folder, target.fileName());
    const int fd = ::mkstemp(tempPath.data());
    if (fd < 0)
        fail(targetPath, errno);
    const QString tempName = QFile::decodeName(tempPath);
    bool closed = false;
    FileStamp written;
    try {
        struct stat existing {};
        const mode_t mode = ::stat(QFile::encodeName(targetPath).constData(), &existing) == 0
            ? (existing.st_mode & 07777)
            : modeForNewFile();
        if (::fchmod(fd, mode) != 0)
            fail(tempName, errno);
        writeAll(fd, bytes, tempName);
        if (::fsync(fd) != 0)
            fail(tempName, errno);
        // The rename keeps inode and time, so this is the stamp the note will have.
        const auto stamp = stampOfDescriptor(fd);
        if (!stamp)
            fail(tempName, errno);
        written = *stamp;
        closed = true;
        // Some file systems report a failed write-back only at close.
        if (::close(fd) != 0)
            fail(tempName, errno);
    } catch (...) {
        if (!closed)
            ::close(fd);
        ::unlink(tempPath.constData());
        throw;
    }
    if (::rename(tempPath.constData(), QFile::encodeName(targetPath).constData()) != 0) {
        const int e = errno;
        ::unlink(tempPath.constData());
        fail(targetPath, e);
    }
    // The rename is only durable once the folder's entry is on disk too.
    if (const int error = syncFolder(folder))
        throw NotDurableError(
            QStringLiteral("%1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(error))), written);
    return written;
}

void durable_write_testing::failFolderSyncWith(int error) { g_failFolderSync.store(error); }

}  // namespace flintly

#include "document/DurableWrite.h"

#include "document/DocumentErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace flintly {

namespace {
[[noreturn]] void fail(const QString& what, int error)
{
    throw FileError(QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(error))));
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
}  // namespace

void writeFileDurably(const QString& path, const QByteArray& bytes)
{
    const QFileInfo target(path);
    const QString folder = target.absolutePath();
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        fail(folder, errno ? errno : ENOENT);

    QByteArray tempPath = QFile::encodeName(folder + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    const int fd = ::mkstemp(tempPath.data());
    if (fd < 0)
        fail(path, errno);
    const QString tempName = QFile::decodeName(tempPath);
    bool closed = false;
    try {
        struct stat existing {};
        const mode_t mode = ::stat(QFile::encodeName(path).constData(), &existing) == 0 ? (existing.st_mode & 07777)
                                                                                        : modeForNewFile();
        if (::fchmod(fd, mode) != 0)
            fail(tempName, errno);
        writeAll(fd, bytes, tempName);
        if (::fsync(fd) != 0)
            fail(tempName, errno);
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
    if (::rename(tempPath.constData(), QFile::encodeName(path).constData()) != 0) {
        const int e = errno;
        ::unlink(tempPath.constData());
        fail(path, e);
    }
    // The rename is only durable once the folder's entry is on disk too.
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

}  // namespace flintly

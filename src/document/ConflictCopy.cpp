#include "document/ConflictCopy.h"

#include "document/DocumentErrors.h"
#include "document/DurableWrite.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace flintly {

namespace {
QByteArray digestOf(const QByteArray& bytes) { return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256); }
}  // namespace

std::optional<DiskState::Stamp> DiskState::stampOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return Stamp{static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino), static_cast<qint64>(st.st_size),
                 static_cast<qint64>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

void DiskState::remember(const QString& path, const QByteArray& bytes)
{
    path_ = path;
    digest_ = digestOf(bytes);
    stamp_ = stampOf(path);
}

void DiskState::moved(const QString& newPath)
{
    path_ = newPath;
    stamp_ = stampOf(newPath);
}

void DiskState::forget()
{
    path_.clear();
    digest_.clear();
    stamp_.reset();
}

bool DiskState::changedOnDisk(const QString& path) const
{
    const auto now = stampOf(path);
    if (!now)
        return false;  // gone: writing it again loses nothing
    if (path != path_ && QFileInfo(path).canonicalFilePath() != QFileInfo(path_).canonicalFilePath())
        return false;  // not a file we know; nothing to compare against
    if (stamp_ && *now == *stamp_)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return digestOf(file.readAll()) != digest_;
}

QString keepConflictCopy(const QString& path, const QDateTime& when)
{
    const QFileInfo info(path);
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("%1: %2").arg(path, source.errorString()));
    const QByteArray bytes = source.readAll();
    const QString stem = QStringLiteral("%1 (conflict %2)")
                             .arg(info.completeBaseName(), when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HHmmss")));
    const QDir dir = info.absoluteDir();
    QString copy = dir.filePath(stem + QStringLiteral(".md"));
    for (int n = 1; QFileInfo::exists(copy); ++n)
        copy = dir.filePath(QStringLiteral("%1-%2.md").arg(stem).arg(n));
    writeFileDurably(copy, bytes);
    return copy;
}

}  // namespace flintly

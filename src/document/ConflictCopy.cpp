#include "document/ConflictCopy.h"

#include "document/DocumentErrors.h"
#include "document/NoteNaming.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHashFunctions>

namespace flintly {

QByteArray contentDigest(const QByteArray& bytes)
{
    // Only ever compared within this process, against our own writes: the size and two
    // differently seeded 64-bit hashes tell versions apart well enough, at memory speed
    // (a cryptographic hash of a 30 MB note held up the app for a third of a second
    // after each save).
    const quint64 parts[3] = {static_cast<quint64>(bytes.size()), qHashBits(bytes.constData(), bytes.size(), 1),
                              qHashBits(bytes.constData(), bytes.size(), 0x9e3779b97f4a7c15ULL)};
    return QByteArray(reinterpret_cast<const char*>(parts), sizeof parts);
}

void DiskState::remember(const QString& path, const QByteArray& bytes, std::optional<FileStamp> stamp)
{
    path_ = path;
    digest_ = contentDigest(bytes);
    stamp_ = stamp;
}

void DiskState::moved(const QString& newPath)
{
    path_ = newPath;
    stamp_ = stampOfFile(newPath);
}

void DiskState::forget()
{
    path_.clear();
    digest_.clear();
    stamp_.reset();
}

std::optional<FileStamp> DiskState::stampOf(const QString& path) const
{
    if (path_.isEmpty() || path != path_)
        return std::nullopt;
    return stamp_;
}

bool DiskState::stampChanged(const QString& path) const
{
    const auto now = stampOfFile(path);
    return now && (!stamp_ || *now != *stamp_);
}

bool DiskState::changedOnDisk(const QString& path) const
{
    const auto now = stampOfFile(path);
    if (!now)
        return false;  // gone: writing it again loses nothing
    if (path_.isEmpty()
        || (path != path_ && QFileInfo(path).canonicalFilePath() != QFileInfo(path_).canonicalFilePath()))
        return false;  // not a file we know; nothing to compare against
    if (stamp_ && *now == *stamp_)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return contentDigest(file.readAll()) != digest_;
}

QString keepConflictCopy(const QString& path, const QDateTime& when)
{
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("%1: %2").arg(path, source.errorString()));
    return writeConflictCopy(path, source.readAll(), when);
}

QString writeConflictCopy(const QString& notePath, const QByteArray& bytes, const QDateTime& when)
{
    const QFileInfo info(notePath);
    const QString tag =
        QStringLiteral(" (conflict %1)").arg(when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HHmmss")));
    const QDir dir = info.absoluteDir();
    QString copy;
    for (int n = 0; copy.isEmpty() || QFileInfo::exists(copy); ++n) {
        const QString suffix = n == 0 ? tag : QStringLiteral("%1-%2").arg(tag).arg(n);
        copy = dir.filePath(NoteNaming::fitFileName(info.completeBaseName(), suffix + QStringLiteral(".md")));
    }
    try {
        writeFileDurably(copy, bytes);
    } catch (const NotDurableError&) {
        // The copy is in place; only its folder entry may not have reached the disk yet.
    }
    return copy;
}

}  // namespace flintly

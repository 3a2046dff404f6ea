#include "browser/FileInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator64>

namespace flintly {

const QDateTime& FileInfo::distantPast()
{
    static const QDateTime past(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
    return past;
}

QString FileInfo::nameFor(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString last = path.mid(slash + 1);
    const qsizetype dot = last.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? last.left(dot) : last;
}

QUuid FileInfo::newId()
{
    thread_local QRandomGenerator64 rng(QRandomGenerator::system()->generate64());
    const quint64 hi = rng.generate64();
    const quint64 lo = rng.generate64();
    auto byte = [lo](int i) { return static_cast<uchar>(lo >> (56 - 8 * i)); };
    return QUuid(static_cast<uint>(hi >> 32), static_cast<ushort>(hi >> 16),
                 static_cast<ushort>((hi & 0x0FFF) | 0x4000),           // version 4
                 static_cast<uchar>((byte(0) & 0x3F) | 0x80), byte(1),  // RFC 4122 variant
                 byte(2), byte(3), byte(4), byte(5), byte(6), byte(7));
}

QString FileInfo::folderBelow(const QString& root) const
{
    const QString dir = QFileInfo(path).path();
    const QString relative = QDir(root.isEmpty() ? QDir::homePath() : root).relativeFilePath(dir);
    return relative == u"." ? QString() : relative;
}

FileInfo FileInfo::fromAttributes(const QString& path)
{
    FileInfo f;
    f.id = newId();
    f.path = path;
    f.name = nameFor(path);
    f.modifiedDate = distantPast();
    f.createdDate = distantPast();
    const QFileInfo info(path);
    if (info.exists()) {
        if (const QDateTime m = info.lastModified(); m.isValid())
            f.modifiedDate = m.toUTC();
        if (const QDateTime b = info.birthTime(); b.isValid())
            f.createdDate = b.toUTC();
        f.size = info.size();
    }
    return f;
}

}  // namespace flintly

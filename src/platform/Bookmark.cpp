#include "platform/Bookmark.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>

namespace flintly::Bookmark {

namespace {
const QByteArray kMagic = QByteArrayLiteral("flintly-bookmark:1\n");

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}
}  // namespace

std::optional<QByteArray> create(const QString& path, QString* error)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(absolute).constData(), &st) != 0) {
        setError(error,
                 QStringLiteral("The file “%1” couldn’t be opened because there is no such file.").arg(absolute));
        return std::nullopt;
    }
    QJsonObject o;
    o.insert(QStringLiteral("path"), absolute);
    o.insert(QStringLiteral("dev"), QString::number(st.st_dev));
    o.insert(QStringLiteral("ino"), QString::number(st.st_ino));
    return kMagic + QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<ResolvedBookmark> resolve(const QByteArray& bytes, QString* error)
{
    if (!bytes.startsWith(kMagic)) {
        setError(error, QStringLiteral("The bookmark data is not in a format Flintly understands."));
        return std::nullopt;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(bytes.mid(kMagic.size()));
    const QString path = doc.object().value(QStringLiteral("path")).toString();
    if (!doc.isObject() || path.isEmpty() || !QDir::isAbsolutePath(path)) {
        setError(error, QStringLiteral("The bookmark data is corrupted."));
        return std::nullopt;
    }
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        setError(error, QStringLiteral("The file “%1” couldn’t be opened because there is no such file.").arg(path));
        return std::nullopt;
    }
    ResolvedBookmark r;
    r.path = path;
    r.isStale = doc.object().value(QStringLiteral("dev")).toString() != QString::number(st.st_dev)
        || doc.object().value(QStringLiteral("ino")).toString() != QString::number(st.st_ino);
    return r;
}

std::optional<QString> storedPath(const QByteArray& bytes)
{
    if (!bytes.startsWith(kMagic))
        return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes.mid(kMagic.size()));
    const QString path = doc.object().value(QStringLiteral("path")).toString();
    if (!doc.isObject() || path.isEmpty() || !QDir::isAbsolutePath(path))
        return std::nullopt;
    return path;
}

bool startAccessing(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && info.isReadable();
}

void stopAccessing(const QString&) {}

}  // namespace flintly::Bookmark

#include "document/RecoveryStore.h"

#include "document/DurableWrite.h"
#include "document/NoteNaming.h"
#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace flintly {

RecoveryStore::RecoveryStore(QString folder) : folder_(std::move(folder)) {}

QString RecoveryStore::defaultFolder() { return AppPaths::dataDir() + QStringLiteral("/Recovery"); }

QString RecoveryStore::listPath() const { return folder_ + QStringLiteral("/.unannounced"); }

QString RecoveryStore::keep(const QString& noteName, const QString& text, const QDateTime& when)
{
    const QString stamp = when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HHmmss"));
    const QString stem = NoteNaming::sanitize(noteName);
    const QDir dir(folder_);
    QString path;
    for (int n = 0; path.isEmpty() || QFileInfo::exists(path); ++n) {
        const QString tail =
            n == 0 ? QStringLiteral(" %1.md").arg(stamp) : QStringLiteral(" %1-%2.md").arg(stamp).arg(n);
        path = dir.filePath(NoteNaming::fitFileName(stem, tail));
    }
    try {
        writeFileDurably(path, text.toUtf8());
    } catch (const NotDurableError&) {
        // In place; a later flush of the folder is the system's business now.
    }
    // The announcement list is a convenience: losing it must not fail the recovery.
    QFile list(listPath());
    if (list.open(QIODevice::Append | QIODevice::Text))
        list.write(QFile::encodeName(path) + '\n');
    return path;
}

QStringList RecoveryStore::takeUnannounced()
{
    QFile list(listPath());
    if (!list.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList paths;
    for (const QByteArray& line : list.readAll().split('\n'))
        if (!line.isEmpty() && QFileInfo::exists(QFile::decodeName(line)))
            paths.append(QFile::decodeName(line));
    list.close();
    list.remove();
    return paths;
}

std::vector<RecoveryStore::Entry> RecoveryStore::entries() const
{
    std::vector<Entry> found;
    const QFileInfoList files = QDir(folder_).entryInfoList({QStringLiteral("*.md")}, QDir::Files, QDir::Time);
    for (const QFileInfo& info : files)
        found.push_back({info.absoluteFilePath(), info.lastModified(), info.size()});
    return found;
}

}  // namespace flintly

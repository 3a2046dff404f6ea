#include "history/HistoryCommand.h"

#include "history/Sqlite.h"
#include "history/VersionContent.h"

#include <QFile>
#include <QFileInfo>

namespace flintly::history {

namespace {
void say(std::FILE* err, const QString& line) { std::fprintf(err, "flintly: %s\n", qPrintable(line)); }

QByteArray digestOfFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? content::digest(file.readAll()) : QByteArray();
}
}  // namespace

QString versionLine(const VersionInfo& v)
{
    const QDateTime local = v.time.toLocalTime();
    const QString when = local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
    return QStringLiteral("%1\t%2\t%3\t%4").arg(v.id).arg(when).arg(v.size).arg(v.reason);
}

int runHistoryCommand(const QString& notePath, std::optional<qint64> version, std::FILE* out, std::FILE* err,
                      HistoryStore::Options options)
{
    const QString path = QFileInfo(notePath).absoluteFilePath();
    HistoryStore store(std::move(options));
    try {
        std::optional<qint64> note;
        if (store.openExisting()) {
            note = store.findNote(path);
            // Renamed outside the app: the note whose last known text the file holds.
            if (!note)
                note = store.findNote(path, digestOfFile(path));
        }
        if (!note) {
            say(err, QStringLiteral("no history of %1").arg(path));
            return 1;
        }
        if (!version) {
            QByteArray listing;
            for (const VersionInfo& v : store.versions(*note))
                listing += versionLine(v).toUtf8() + '\n';
            std::fwrite(listing.constData(), 1, static_cast<size_t>(listing.size()), out);
            return std::fflush(out) == 0 ? 0 : 1;
        }
        const auto info = store.version(*version);
        if (!info || info->note != *note) {
            say(err, QStringLiteral("%1 has no version %2").arg(path).arg(*version));
            return 1;
        }
        const auto bytes = store.bytesOf(*version);
        if (!bytes) {
            say(err, QStringLiteral("version %1 of %2 cannot be read back").arg(*version).arg(path));
            return 1;
        }
        const size_t written = std::fwrite(bytes->constData(), 1, static_cast<size_t>(bytes->size()), out);
        return written == static_cast<size_t>(bytes->size()) && std::fflush(out) == 0 ? 0 : 1;
    } catch (const SqliteError& e) {
        say(err, QStringLiteral("the history in %1 cannot be read: %2").arg(store.path(), QString::fromUtf8(e.what())));
        return 1;
    }
}

}  // namespace flintly::history

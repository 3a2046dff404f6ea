#include "history/HistoryCommand.h"

#include "history/Sqlite.h"
#include "history/VersionContent.h"

#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <cstdlib>
#include <limits>
#include <optional>

namespace flintly::history {

namespace {
void say(std::FILE* err, const QString& line) { std::fprintf(err, "flintly: %s\n", qPrintable(line)); }

QByteArray digestOfFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? content::digest(file.readAll()) : QByteArray();
}
}  // namespace

namespace {
qint64 floorDiv(qint64 a, qint64 b) { return a >= 0 ? a / b : (a - b + 1) / b; }

// The local offset from UTC at `ms`. Looking it up costs more than the rest of a listed
// line, so it is looked up once a day: a day that starts and ends on the same offset has
// it throughout (zones change theirs at most twice a year); on a day of change, once a
// quarter hour, as every zone's offset and every change of it fall on a quarter hour.
int localOffsetAt(qint64 ms)
{
    constexpr qint64 kDayMs = 24 * 60 * 60 * 1000;
    constexpr qint64 kQuarterMs = 15 * 60 * 1000;
    static thread_local qint64 cachedDay = std::numeric_limits<qint64>::min();
    static thread_local std::optional<int> dayOffset;
    auto lookUp = [](qint64 at) { return QDateTime::fromMSecsSinceEpoch(at, Qt::LocalTime).offsetFromUtc(); };
    const qint64 day = floorDiv(ms, kDayMs);
    if (day != cachedDay) {
        cachedDay = day;
        const int start = lookUp(day * kDayMs);
        dayOffset = start == lookUp((day + 1) * kDayMs) ? std::optional<int>(start) : std::nullopt;
    }
    return dayOffset ? *dayOffset : lookUp(floorDiv(ms, kQuarterMs) * kQuarterMs);
}

// "2026-03-01T10:00:00+01:00" (or "...Z" in UTC), written out by hand: QDateTime's
// formatting took most of the time of a 10,000-line listing.
int formatLocalTime(qint64 ms, char* out, size_t size)
{
    using namespace std::chrono;
    const int offset = localOffsetAt(ms);
    const sys_seconds local{floor<seconds>(milliseconds(ms)) + seconds(offset)};
    const sys_days midnight = floor<days>(local);
    const year_month_day date{midnight};
    const hh_mm_ss clock{local - midnight};
    char zone[16] = "Z";
    if (offset != 0)
        std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', std::abs(offset) / 3600,
                      std::abs(offset) / 60 % 60);
    return std::snprintf(out, size, "%04d-%02u-%02uT%02d:%02d:%02d%s", static_cast<int>(date.year()),
                         static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                         static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                         static_cast<int>(clock.seconds().count()), zone);
}
}  // namespace

QByteArray versionLine(const VersionInfo& v)
{
    QByteArray line;
    appendVersionLine(line, v);
    return line;
}

void appendVersionLine(QByteArray& out, const VersionInfo& v)
{
    char when[64];
    const int length = formatLocalTime(v.time.toMSecsSinceEpoch(), when, sizeof when);
    out.append(QByteArray::number(v.id)).append('\t').append(when, length).append('\t');
    out.append(QByteArray::number(v.size)).append('\t').append(v.reason.toLatin1());
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
            const std::vector<VersionInfo> versions = store.versions(*note);
            QByteArray listing;
            listing.reserve(static_cast<qsizetype>(versions.size()) * 64);
            for (const VersionInfo& v : versions) {
                appendVersionLine(listing, v);
                listing.append('\n');
            }
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

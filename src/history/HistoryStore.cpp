#include "history/HistoryStore.h"

#include "history/Sqlite.h"
#include "history/VersionContent.h"
#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace flintly::history {

namespace {
constexpr qint64 kSchemaVersion = 1;

QDateTime fromMs(qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC); }

QString cleanPath(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

VersionInfo versionFrom(const Statement& s)
{
    return {s.integer(0), s.integer(1), fromMs(s.integer(2)), s.integer(3), s.text(4)};
}

constexpr const char* kVersionColumns = "SELECT v.id, v.note, v.time, c.size, v.reason FROM versions v "
                                        "JOIN contents c ON c.id = v.content ";
}  // namespace

const QByteArray& Content::hash() const
{
    if (hash_.isEmpty())
        hash_ = content::digest(bytes_);
    return hash_;
}

QString HistoryStore::defaultFolder() { return AppPaths::dataDir() + QStringLiteral("/History"); }

HistoryStore::HistoryStore(Options options) : options_(std::move(options))
{
    if (options_.folder.isEmpty())
        options_.folder = defaultFolder();
}

HistoryStore::~HistoryStore() = default;

QString HistoryStore::path() const { return options_.folder + QStringLiteral("/history.sqlite"); }

void HistoryStore::open()
{
    if (db_)
        return;
    QDir().mkpath(options_.folder);
    auto db = std::make_unique<Database>(path());
    // Must come before the first table: pages freed by pruning go back to the disk. (On
    // a store that has tables it changes nothing, and costs a write.)
    if (db->pragma("page_count") == 0)
        db->exec("PRAGMA auto_vacuum = INCREMENTAL");
    db->exec("PRAGMA journal_mode = WAL");
    // A version lost to a power cut is one of many; every save waiting for a flush of
    // the history would not be.
    db->exec("PRAGMA synchronous = NORMAL");
    if (options_.maxPageCount > 0)
        db->pragma(QByteArray("max_page_count = " + QByteArray::number(options_.maxPageCount)).constData());
    db_ = std::move(db);
    try {
        createSchema();
    } catch (...) {
        db_.reset();
        throw;
    }
}

bool HistoryStore::openExisting()
{
    if (db_)
        return true;
    if (!QFileInfo::exists(path()))
        return false;
    auto db = std::make_unique<Database>(path(), true);
    // A store the app has only just created holds nothing yet.
    if (db->pragma("user_version") != kSchemaVersion)
        return false;
    db_ = std::move(db);
    return true;
}

void HistoryStore::close() { db_.reset(); }

QString HistoryStore::setAside(const QDateTime& when)
{
    close();
    const QString aside =
        path() + QStringLiteral(".damaged-") + when.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    // The journal files belong to the damaged file: they go with it, or a new store
    // would take them for its own.
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (!QFileInfo::exists(path() + suffix))
            continue;
        // Nothing is deleted: a store that cannot be moved aside is reported as failing.
        QFile::rename(path() + suffix, aside + suffix);
    }
    lastAgePrune_.reset();
    return aside;
}

void HistoryStore::createSchema()
{
    if (db_->pragma("user_version") == kSchemaVersion)
        return;
    Transaction t(*db_);
    db_->exec("CREATE TABLE IF NOT EXISTS notes ("
              " id INTEGER PRIMARY KEY,"
              " path TEXT NOT NULL,"
              " digest BLOB,"  // what its file held when the app last wrote or read it
              " superseded INTEGER NOT NULL DEFAULT 0)");
    db_->exec("CREATE INDEX IF NOT EXISTS notes_by_path ON notes (path)");
    db_->exec("CREATE INDEX IF NOT EXISTS notes_by_digest ON notes (digest)");
    // The data last: reading a version's size never touches its overflow pages.
    db_->exec("CREATE TABLE IF NOT EXISTS contents ("
              " id INTEGER PRIMARY KEY,"
              " hash BLOB NOT NULL UNIQUE,"
              " size INTEGER NOT NULL,"
              " data BLOB NOT NULL)");
    db_->exec("CREATE TABLE IF NOT EXISTS versions ("
              " id INTEGER PRIMARY KEY,"
              " note INTEGER NOT NULL,"
              " time INTEGER NOT NULL,"  // milliseconds since 1970, UTC
              " reason TEXT NOT NULL,"
              " content INTEGER NOT NULL)");
    db_->exec("CREATE INDEX IF NOT EXISTS versions_by_note ON versions (note, time)");
    db_->exec("CREATE INDEX IF NOT EXISTS versions_by_content ON versions (content)");
    db_->exec("PRAGMA user_version = 1");
    t.commit();
}

// --- Notes ---------------------------------------------------------------------------

std::optional<qint64> HistoryStore::findNote(const QString& notePath, const QByteArray& fileDigest)
{
    return lookUp(cleanPath(notePath), fileDigest, true);
}

std::optional<qint64> HistoryStore::lookUp(const QString& path, const QByteArray& fileDigest, bool orGone)
{
    {
        // A live note first; else the last one that lived here (a deleted note).
        Statement s(*db_,
                    orGone ? "SELECT id FROM notes WHERE path = ? ORDER BY superseded, id DESC LIMIT 1"
                           : "SELECT id FROM notes WHERE path = ? AND superseded = 0 ORDER BY id DESC LIMIT 1");
        s.bind(1, path);
        if (s.step())
            return s.integer(0);
    }
    if (fileDigest.isEmpty())
        return std::nullopt;
    Statement s(*db_, "SELECT id, path FROM notes WHERE digest = ? AND superseded = 0 ORDER BY id DESC");
    s.bindBlob(1, fileDigest);
    while (s.step()) {
        // Only a note whose own file is gone can have moved: a copy of a note that is
        // still in its place starts a history of its own.
        if (!QFileInfo::exists(s.text(1)))
            return s.integer(0);
    }
    return std::nullopt;
}

qint64 HistoryStore::noteAt(const QString& notePath, const std::function<QByteArray()>& fileDigest)
{
    const QString path = cleanPath(notePath);
    // A note that once lived here and was replaced by another is not this one.
    if (const auto here = lookUp(path, {}, false))
        return *here;
    const QByteArray digest = fileDigest ? fileDigest() : QByteArray();
    if (const auto found = lookUp(path, digest, false)) {
        Statement s(*db_, "UPDATE notes SET path = ?, superseded = 0 WHERE id = ? AND path <> ?");
        s.bind(1, path).bind(2, *found).bind(3, path).run();
        return *found;
    }
    Statement s(*db_, "INSERT INTO notes (path, digest) VALUES (?, ?)");
    s.bind(1, path).bindBlob(2, digest).run();
    return db_->lastInsertId();
}

qint64 HistoryStore::startNote(const QString& notePath)
{
    const QString path = cleanPath(notePath);
    Transaction t(*db_);
    Statement gone(*db_, "UPDATE notes SET superseded = 1 WHERE path = ?");
    gone.bind(1, path).run();
    Statement s(*db_, "INSERT INTO notes (path) VALUES (?)");
    s.bind(1, path).run();
    const qint64 id = db_->lastInsertId();
    t.commit();
    return id;
}

void HistoryStore::moveNote(const QString& from, const QString& to)
{
    Transaction t(*db_);
    Statement gone(*db_, "UPDATE notes SET superseded = 1 WHERE path = ?");
    gone.bind(1, cleanPath(to)).run();
    Statement s(*db_, "UPDATE notes SET path = ?, superseded = 0 WHERE path = ? AND superseded = 0");
    s.bind(1, cleanPath(to)).bind(2, cleanPath(from)).run();
    t.commit();
}

void HistoryStore::setDigest(qint64 note, const QByteArray& digest)
{
    Statement s(*db_, "UPDATE notes SET digest = ? WHERE id = ?");
    s.bindBlob(1, digest).bind(2, note).run();
}

std::vector<NoteInfo> HistoryStore::deletedNotes()
{
    std::vector<NoteInfo> found;
    Statement s(*db_,
                "SELECT n.id, n.path, n.superseded, MAX(v.time), COUNT(v.id) FROM notes n"
                " JOIN versions v ON v.note = n.id GROUP BY n.id ORDER BY MAX(v.time) DESC");
    while (s.step()) {
        if (s.integer(2) == 0 && QFileInfo::exists(s.text(1)))
            continue;
        found.push_back({s.integer(0), s.text(1), fromMs(s.integer(3)), s.integer(4)});
    }
    return found;
}

// --- Versions ------------------------------------------------------------------------

std::optional<VersionInfo> HistoryStore::newestVersion(qint64 note)
{
    Statement s(*db_,
                (QByteArray(kVersionColumns) + "WHERE v.note = ? ORDER BY v.time DESC, v.id DESC LIMIT 1").constData());
    s.bind(1, note);
    if (!s.step())
        return std::nullopt;
    return versionFrom(s);
}

bool HistoryStore::addVersion(qint64 note, const Content& content, const QString& reason, const QDateTime& when)
{
    // An empty note has nothing to bring back.
    if (content.bytes().isEmpty())
        return false;
    Transaction t(*db_);
    {
        Statement newest(*db_,
                         "SELECT c.hash FROM versions v JOIN contents c ON c.id = v.content"
                         " WHERE v.note = ? ORDER BY v.time DESC, v.id DESC LIMIT 1");
        newest.bind(1, note);
        if (newest.step() && newest.blob(0) == content.hash())
            return false;
    }
    qint64 contentId = 0;
    {
        Statement known(*db_, "SELECT id FROM contents WHERE hash = ?");
        known.bindBlob(1, content.hash());
        if (known.step())
            contentId = known.integer(0);
    }
    if (!contentId) {
        const QByteArray stored = content::compress(content.bytes());
        Statement insert(*db_, "INSERT INTO contents (hash, size, data) VALUES (?, ?, ?)");
        insert.bindBlob(1, content.hash()).bind(2, content.bytes().size()).bindBlob(3, stored).run();
        contentId = db_->lastInsertId();
    }
    Statement insert(*db_, "INSERT INTO versions (note, time, reason, content) VALUES (?, ?, ?, ?)");
    insert.bind(1, note).bind(2, when.toMSecsSinceEpoch()).bind(3, reason).bind(4, contentId).run();
    t.commit();
    return true;
}

std::vector<VersionInfo> HistoryStore::versions(qint64 note)
{
    std::vector<VersionInfo> found;
    Statement s(*db_, (QByteArray(kVersionColumns) + "WHERE v.note = ? ORDER BY v.time DESC, v.id DESC").constData());
    s.bind(1, note);
    while (s.step())
        found.push_back(versionFrom(s));
    return found;
}

std::optional<VersionInfo> HistoryStore::version(qint64 id)
{
    Statement s(*db_, (QByteArray(kVersionColumns) + "WHERE v.id = ?").constData());
    s.bind(1, id);
    if (!s.step())
        return std::nullopt;
    return versionFrom(s);
}

std::optional<QByteArray> HistoryStore::bytesOf(qint64 versionId)
{
    Statement s(*db_, "SELECT c.data, c.size FROM versions v JOIN contents c ON c.id = v.content WHERE v.id = ?");
    s.bind(1, versionId);
    if (!s.step())
        return std::nullopt;
    return content::uncompress(s.blob(0), s.integer(1));
}

}  // namespace flintly::history

#pragma once

#include "history/VersionRules.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace flintly::history {

class Database;

struct VersionInfo {
    qint64 id = 0;
    qint64 note = 0;
    QDateTime time;
    qint64 size = 0;  // bytes of the note's file
    QString reason;
};

struct NoteInfo {
    qint64 id = 0;
    QString path;
    QDateTime newest;  // the time of its newest version
    qint64 versions = 0;
};

// A version's bytes and the name they are stored under, worked out when first asked
// for (hashing a large note takes a while, and most saves never need it).
class Content {
public:
    explicit Content(QByteArray bytes) : bytes_(std::move(bytes)) {}
    const QByteArray& bytes() const { return bytes_; }
    const QByteArray& hash() const;

private:
    QByteArray bytes_;
    mutable QByteArray hash_;
};

// The earlier versions of every note, in one SQLite file outside the notes folder:
//  - a note is a row of its own that follows its file: the app's own renames move it,
//    and a file the history does not know whose bytes are the last a vanished note was
//    known to hold is taken for that note, moved (a rename in a file manager, or by a
//    sync tool delivering a rename as a delete and a create);
//  - a version names its bytes by hash, and bytes are stored once, compressed;
//  - one transaction per change, so a crash leaves the store as it was before or after.
// Used from one thread at a time; every failure throws SqliteError.
class HistoryStore {
public:
    struct Options {
        QString folder;  // empty: defaultFolder()
        qint64 capBytes = rules::kDefaultCapBytes;
        // When set, the file cannot grow past this many pages: a disk that is full.
        qint64 maxPageCount = 0;
    };

    // $XDG_DATA_HOME/Flintly/History
    static QString defaultFolder();

    explicit HistoryStore(Options options);
    ~HistoryStore();

    QString path() const;
    bool isOpen() const { return db_ != nullptr; }
    // Opens the store, creating the folder and the file when they are missing.
    void open();
    // Opens the store only if there is one, to read it beside the app (which keeps
    // writing it); false when there is none.
    bool openExisting();
    void close();
    // Closes the store and moves its files aside (the data stays there, for a person to
    // look at); returns where they went.
    QString setAside(const QDateTime& when);

    // --- Notes
    // The note at `path`, or else one that has moved there (see above); `fileDigest` is
    // the hash of what the file holds, empty when unknown. Changes nothing.
    std::optional<qint64> findNote(const QString& path, const QByteArray& fileDigest = {});
    // The same, then follows a moved note to `path`, or starts a note there. The digest
    // is asked for only when no note lives at `path`.
    qint64 noteAt(const QString& path, const std::function<QByteArray()>& fileDigest);
    // A new note's first file: whatever history lay at the same path belonged to a
    // note that is gone.
    qint64 startNote(const QString& path);
    void moveNote(const QString& from, const QString& to);
    // What the note's file holds now, as far as the app knows.
    void setDigest(qint64 note, const QByteArray& digest);
    // Notes with versions whose file is gone (deleted, or replaced by another note),
    // newest first.
    std::vector<NoteInfo> deletedNotes();

    // --- Versions
    std::optional<VersionInfo> newestVersion(qint64 note);
    // Keeps `content` as a version; nothing when it is empty or equals the note's newest
    // version. Returns whether a version was added.
    bool addVersion(qint64 note, const Content& content, const QString& reason, const QDateTime& when);
    // Newest first.
    std::vector<VersionInfo> versions(qint64 note);
    std::optional<VersionInfo> version(qint64 id);
    std::optional<QByteArray> bytesOf(qint64 versionId);

    // --- Retention (HistoryRetention.cpp)
    // Drops versions older than the days kept, then the oldest while the store is over
    // its cap; each note's newest versions always stay.
    void prune(const QDateTime& now);
    // The bytes the store's pages hold (free pages not counted).
    qint64 usedBytes();

private:
    void createSchema();
    std::optional<qint64> lookUp(const QString& path, const QByteArray& fileDigest, bool orGone);
    void dropVersions(const std::vector<std::pair<qint64, qint64>>& victims, bool untilUnderCap);

    Options options_;
    std::unique_ptr<Database> db_;
    std::optional<QDateTime> lastAgePrune_;
};

}  // namespace flintly::history

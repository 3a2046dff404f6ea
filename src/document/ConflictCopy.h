#pragma once

#include "document/DurableWrite.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace flintly {

// What the note's file held when we last read or wrote it. Before a save overwrites
// the file, the file on disk is compared with this; if another program changed it in
// between (say, a sync that landed while the user was typing), its version is kept as
// a conflict copy first, so no outside write is ever silently lost.
class DiskState {
public:
    // `stamp` is the file's as it was when `bytes` were read or written, taken from the
    // same descriptor: a stamp taken later could belong to a newer outside version.
    void remember(const QString& path, const QByteArray& bytes, std::optional<FileStamp> stamp);
    // Our own move of the file (a rename) keeps its content.
    void moved(const QString& newPath);
    void forget();

    // True when the file at `path` exists and holds something other than what we last
    // saw there. Cheap when nothing changed: the file's identity, size and time are
    // compared before any byte is read.
    bool changedOnDisk(const QString& path) const;
    // Only the stamp: whether the file may have changed since (no read).
    bool stampChanged(const QString& path) const;
    bool isKnown() const { return !path_.isEmpty(); }
    // The stamp the file at `path` had when we last read or wrote it, if we know it.
    std::optional<FileStamp> stampOf(const QString& path) const;

private:
    QString path_;
    QByteArray digest_;
    std::optional<FileStamp> stamp_;
};

// Copies the file to "{name} (conflict YYYY-MM-DD HHMMSS).md" beside it (a free name,
// shortened to fit the file-name limit) and returns the copy's path; throws FileError
// when it cannot.
QString keepConflictCopy(const QString& path, const QDateTime& when);
// Writes `bytes` as such a copy of the note at `notePath`.
QString writeConflictCopy(const QString& notePath, const QByteArray& bytes, const QDateTime& when);

// The same hash DiskState keeps, for comparing a file with bytes about to be written.
QByteArray contentDigest(const QByteArray& bytes);

}  // namespace flintly

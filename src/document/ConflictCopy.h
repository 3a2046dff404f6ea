#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace flintly {

// What the note's file held when we last read or wrote it. Before a save overwrites
// the file, the file on disk is compared with this; if another program changed it in
// between (say, a sync that landed while the user was typing, whose reload the
// typing cool-down skipped), its version is kept as a conflict copy first, so no
// outside write is ever silently lost.
class DiskState {
public:
    void remember(const QString& path, const QByteArray& bytes);
    // Our own move of the file (a rename) keeps its content.
    void moved(const QString& newPath);
    void forget();

    // True when the file at `path` exists and holds something other than what we last
    // saw there. Cheap when nothing changed: the file's identity, size and time are
    // compared before any byte is read.
    bool changedOnDisk(const QString& path) const;

private:
    struct Stamp {
        quint64 device = 0, inode = 0;
        qint64 size = -1, mtimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    static std::optional<Stamp> stampOf(const QString& path);

    QString path_;
    QByteArray digest_;
    std::optional<Stamp> stamp_;
};

// Copies the file to "{name} (conflict YYYY-MM-DD HHMMSS).md" beside it (a free name)
// and returns the copy's path; throws FileError when it cannot.
QString keepConflictCopy(const QString& path, const QDateTime& when);

}  // namespace flintly

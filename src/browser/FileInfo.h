#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QUrl>
#include <QUuid>

namespace flintly {

// One note the browser lists. The location is kept as a path (the URL is built when
// asked for): a hundred thousand QUrls would cost the list several times its size.
// Dates are UTC, so reading them as numbers never goes through a time zone.
struct FileInfo {
    QUuid id;      // fresh on every build of the record: a rescan gives new ids
    QString path;  // absolute
    QString name;  // file name without its last extension
    QDateTime modifiedDate;
    QDateTime createdDate;
    qint64 size = 0;

    QUrl url() const { return QUrl::fromLocalFile(path); }

    // Records are the same note when they are the same file.
    friend bool operator==(const FileInfo& a, const FileInfo& b) { return a.path == b.path; }

    static FileInfo fromAttributes(const QString& path);
    // The note's folder relative to `root` ("" when it is `root` itself); relative to
    // the home folder when no root is given.
    QString folderBelow(const QString& root) const;
    static QString nameFor(const QString& path);
    // A random (version 4) UUID from a generator seeded once per thread: the system
    // source costs a system call per id, which a large scan would feel.
    static QUuid newId();
    static const QDateTime& distantPast();
};

inline size_t qHash(const FileInfo& f, size_t seed = 0) { return qHash(f.path, seed); }

}  // namespace flintly

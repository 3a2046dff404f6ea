#pragma once

#include "document/ConflictCopy.h"
#include "document/OutsideChangeMonitor.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace flintly {

class NoteVersionSink;
class RecoveryStore;

// The file the open note lives in, as far as we know it: its path, the text last read
// from or written to it (and whether it began with a byte-order mark, kept when writing
// it back), the stamp it had then, and whether we hold access to it. Reads it, moves it,
// and keeps text it cannot take in recovery files.
class NoteFile : public QObject {
    Q_OBJECT

public:
    // `versions` (may be null) hears of the file's moves.
    NoteFile(const QString& recoveryFolder, NoteVersionSink* versions, QObject* parent = nullptr);
    ~NoteFile() override;

    // Reads the note at `path`: only a regular file, only UTF-8 text; throws FileError
    // ("<path>: <reason>") otherwise.
    static OutsideChangeMonitor::Read read(const QString& path);

    const QString& path() const { return path_; }
    void setPath(const QString& path);

    const QString& savedText() const { return savedText_; }
    bool hadByteOrderMark() const { return hadByteOrderMark_; }
    DiskState& disk() { return disk_; }
    const DiskState& disk() const { return disk_; }
    // Edits of `text` the file does not hold yet.
    bool hasUnsavedEdits(const QString& text) const;
    // What writing `text` puts in the file.
    QByteArray bytesFor(const QString& text) const;

    // The file holds `bytes` (the UTF-8 of `text`), stamped `stamp`.
    void remember(const QString& path, const QByteArray& bytes, std::optional<FileStamp> stamp, const QString& text);
    void remember(const OutsideChangeMonitor::Read& read) { remember(read.path, read.bytes, read.stamp, read.text); }
    void forget();

    // Whether we were granted access to the note's file or folder.
    bool hasAccess() const { return access_; }
    void setAccess(bool access) { access_ = access; }
    // Gives up access to the note's file, if any was granted.
    void releaseAccess();

    // Our own move of the note's file; false (logged) when it stays where it is.
    bool move(const QString& from, const QString& to);

    // `text`, which the file cannot take, goes to a recovery file (when unsaved).
    // Failures are logged.
    void keepInRecoveryFile(const QString& text, const QString& why, const QDateTime& now);
    // What the temporaries of a save killed midway hold, once the note is read.
    void keepLeftoverTemporaries(const QDateTime& now);

signals:
    void pathChanged(const QString& path);
    void notice(const QString& message);

private:
    std::unique_ptr<RecoveryStore> recovery_;
    NoteVersionSink* versions_ = nullptr;
    QString path_;
    QString savedText_;
    bool hadByteOrderMark_ = false;
    DiskState disk_;
    bool access_ = false;
};

}  // namespace flintly

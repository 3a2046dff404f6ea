#pragma once

#include <QObject>
#include <QString>

namespace flintly {

class NoteFile;
class OutsideChangeMonitor;

// The name shown for the note, and whether it is still a scratch note, whose name (and,
// once saved, whose file's name) follows its first line. A name the user gives renames
// the file.
class NoteName : public QObject {
    Q_OBJECT

public:
    NoteName(NoteFile& file, OutsideChangeMonitor& monitor, QObject* parent = nullptr);

    QString currentFileName() const { return currentFileName_; }
    void setCurrentFileName(const QString& name);
    bool isScratch() const { return isScratch_; }
    void setIsScratch(bool scratch);

    // From now on a scratch note's name follows its first line; until stopFollowing().
    void startFollowing(const QString& text);
    void stopFollowing() { following_ = false; }
    // The text changed: a scratch note's name follows it.
    void follow(const QString& text);

    // Whether a save of `text` must move the note's file at `path` to the name of its
    // first line.
    bool fileNameDue(const QString& path, const QString& text) const;

    // The user's name for the note: sanitised and shortened, and the file renamed to it.
    void rename(const QString& proposedName);

signals:
    void currentFileNameChanged(const QString& name);
    void isScratchChanged(bool scratch);

private:
    NoteFile& file_;
    OutsideChangeMonitor& monitor_;
    QString currentFileName_ = QStringLiteral("Untitled");
    bool isScratch_ = true;
    bool following_ = false;  // titleCancellable
};

}  // namespace flintly

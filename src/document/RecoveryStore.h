#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

namespace flintly {

// Where a note's text goes when its own file cannot be written and the app must not
// keep it only in memory any longer (quitting, switching notes): plain Markdown files
// in $XDG_DATA_HOME/Flintly/Recovery, named by note and time. The next start is told
// about them once.
class RecoveryStore {
public:
    explicit RecoveryStore(QString folder);
    static QString defaultFolder();

    // Writes `text` as "{noteName} {yyyy-MM-dd HHmmss}.md" and returns the path; throws
    // FileError when even that fails.
    QString keep(const QString& noteName, const QString& text, const QDateTime& when);

    // The files written since the last call (across runs), oldest first; each is
    // returned once.
    QStringList takeUnannounced();

    struct Entry {
        QString path;
        QDateTime written;
        qint64 size = 0;
    };
    // Every recovery file in the folder, newest first.
    std::vector<Entry> entries() const;

    QString folder() const { return folder_; }

private:
    QString listPath() const;

    QString folder_;
};

}  // namespace flintly

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <exception>

namespace flintly {

class Debouncer;
class NoteFile;
class NoteFolders;
class NoteName;
class NoteText;
class NoteVersionSink;
class OutsideVersions;
class SaveRetries;
class TimeSource;
class UsageTracker;
class WritingStatistics;

// Writes the note to its file: half a second after the text stops changing, at least
// every few seconds while typing goes on, again and again after a failed save, and at
// once before the note is left. A first save names the file after the first line, as
// later saves of a scratch note rename it; another program's version is merged in first.
class NoteSaver : public QObject {
    Q_OBJECT

public:
    // What a save works with; all outlive the saver.
    struct Parts {
        NoteText& text;
        NoteFile& file;
        NoteName& name;
        NoteFolders& folders;
        OutsideVersions& outside;
        WritingStatistics& statistics;
    };
    // Who hears of saves: the history (may be null), the usage events (null: the
    // process-wide tracker) under the note's id.
    struct Listeners {
        NoteVersionSink* versions = nullptr;
        UsageTracker* tracker = nullptr;
        QString noteId;
    };

    NoteSaver(Parts parts, Listeners listeners, TimeSource& time, QObject* parent = nullptr);
    ~NoteSaver() override;

    void save();  // throws ModelError or FileError
    // Writes edits that are not on disk yet; when the note's file cannot be written, the
    // text goes to a recovery file instead. Failures are logged, never thrown.
    void flushPendingEdits();

    // The text changed: it is written once it has been still for half a second.
    void schedule();
    // The user typed: written within the ceiling even without a pause.
    void keepUpWithTyping();
    // Nothing is left to retry (another note is open).
    void settle();

    bool isSaving() const { return isSaving_; }
    QDateTime lastSaveTime() const { return lastSaveTime_; }
    // True from a failed save until a save lands.
    bool failing() const;

signals:
    void saveFailingChanged(bool failing);
    // A save wrote the note's file, or moved it away from this path (a rename).
    void fileWritten(const QString& path);
    void notice(const QString& message);

private:
    void onTextSettled();
    void saveWhenDue();
    void saveFailed(const std::exception& error);
    void writeNoteFile(QByteArray bytes);
    QString saveFolderPath() const;

    Parts parts_;
    Listeners listeners_;
    TimeSource& time_;
    Debouncer* debouncer_ = nullptr;  // saveCancellable
    SaveRetries* retries_ = nullptr;
    bool isSaving_ = false;
    quint64 saveSerial_ = 0;  // the saving flag's release belongs to the latest save
    QDateTime lastSaveTime_;
};

}  // namespace flintly

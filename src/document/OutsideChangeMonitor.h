#pragma once

#include "document/DurableWrite.h"
#include "document/FileWatcher.h"
#include "document/OutsideChange.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

namespace flintly {

class OneShotTimer;
class SerialQueue;
class TimeSource;

// Watches the open note's file for other programs' changes. Events arrive and the file
// is read on the "FileMonitor" queue; every decision is made on the GUI thread against
// the note as it is at that moment, so no keystroke can slip in between deciding and
// applying. A change refused for now (our own write settling, the user typing) is
// looked at again later, never dropped.
class OutsideChangeMonitor {
public:
    // A version of the file as read, with the stamp of the descriptor it came from.
    struct Read {
        QString path;
        QByteArray bytes;
        std::optional<FileStamp> stamp;
        QString text;
    };

    // What the monitor needs of the note (GUI thread).
    class Note {
    public:
        virtual ~Note() = default;
        virtual QString notePath() const = 0;
        virtual QString noteText() const = 0;
        virtual bool noteHasUnsavedEdits() const = 0;
        virtual bool noteIsSaving() const = 0;
        virtual QDateTime noteLastSaveTime() const = 0;
        virtual QDateTime noteLastUserEditTime() const = 0;
        // Whether the file's stamp differs from the one of our last read or write.
        virtual bool noteFileMayHaveChanged() const = 0;
        // The file holds the note's text (written by someone, but the same).
        virtual void keepOutsideStamp(const Read& read) = 0;
        // The file holds another version while the user has edits not on disk.
        virtual void mergeOutsideVersion(const Read& read) = 0;
        // The file holds another version and nothing of the user's is at stake.
        virtual void reloadOutsideVersion(const Read& read) = 0;
    };

    // Reads the file with the stamp of the descriptor it was read from. False (with a
    // reason fit for a log) when it cannot be read or is not UTF-8 text; `read.bytes`
    // holds what was read either way.
    static bool readVersion(const QString& path, Read& read, QString* error);

    OutsideChangeMonitor(Note& note, FileWatcher& watcher, TimeSource& time);
    ~OutsideChangeMonitor();

    // (Re)starts watching `path`, with the log lines of the attempt.
    void start(const QString& path);
    void stop();
    bool isMonitoring() const { return watch_ != nullptr; }
    // False once the watched folder was deleted or moved away.
    bool isLive() const { return watch_ && watch_->isLive(); }
    // Our own move of the file.
    void follow(const QString& newPath);

private:
    // What the monitor thread may touch: whether the monitor still exists.
    struct Shared {
        std::mutex mutex;
        OutsideChangeMonitor* monitor = nullptr;
    };

    static void deliver(const std::weak_ptr<Shared>& weak, unsigned events);
    static void read(const std::weak_ptr<Shared>& weak, const QString& path);
    void decide(bool lookingAgain);
    void lookAgainAt(const QDateTime& when);
    void lookAgain();
    void resolve(const Read& read);

    Note& note_;
    FileWatcher& watcher_;
    TimeSource& time_;
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<SerialQueue> queue_;  // "FileMonitor"
    std::unique_ptr<FileWatch> watch_;
    std::unique_ptr<OneShotTimer> lookAgainTimer_;
    QDateTime lookAgainAt_;
};

}  // namespace flintly

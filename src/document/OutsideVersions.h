#pragma once

#include "document/OutsideChangeMonitor.h"
#include "document/TextMerge.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>

namespace flintly {

class FileWatcher;
class NoteFile;
class NoteText;
class TimeSource;

// Other programs' versions of the note's file: the monitor that watches for them, and
// what happens to one once read. Reloaded when nothing of the user's is at stake; merged
// into the user's edits before a save overwrites the file, or when it turns up in the
// file's place after one; kept aside as a conflict copy only where the two cannot be
// merged.
class OutsideVersions : public QObject, private OutsideChangeMonitor::Note {
    Q_OBJECT

public:
    // What the outside versions need of the note beyond its text and file.
    class Host {
    public:
        virtual ~Host() = default;
        virtual bool noteIsSaving() const = 0;
        virtual QDateTime noteLastSaveTime() const = 0;
        // Another program's version (as it stands, or merged with the user's) replaces
        // the text.
        virtual void takeOutsideText(const QString& text) = 0;
        // A save that reads the file afresh and merges it in before writing.
        virtual void saveMergingOutsideVersion() = 0;
    };

    OutsideVersions(NoteText& text, NoteFile& file, Host& host, FileWatcher& watcher, TimeSource& time,
                    QObject* parent = nullptr);
    ~OutsideVersions() override;

    OutsideChangeMonitor& monitor() { return *monitor_; }
    // (Re)starts watching the note's file.
    void startMonitoring();
    void stopMonitoring();
    // Stops watching for good and lets the monitor's queue finish.
    void shutDown();
    bool isMonitoring() const { return monitor_ && monitor_->isMonitoring(); }
    bool isLive() const { return monitor_ && monitor_->isLive(); }
    bool isReloading() const { return reloading_; }

    // Before a save overwrites the file: a version another program wrote meanwhile is
    // merged into the text, or kept as a conflict copy (throws FileError when it cannot
    // be, and the save must not go ahead).
    void takeInOutsideVersion();
    // The version a save displaced (written by another program while ours was on its way),
    // merged in from `displaced` on `base`: true when the text changed and must be written
    // again (the caller then removes `displaced`). Otherwise it is kept aside or let go.
    bool takeInDisplacedVersion(const QString& displaced, const QString& base);
    // Keeps `bytes`, another program's version, as a conflict copy; throws FileError
    // when it cannot.
    void keepFileVersionAside(const QByteArray& bytes);
    // Keeps the note's current text as a conflict copy (or in a recovery file) before
    // the user's typing replaces it.
    void keepTextAside();

signals:
    void notice(const QString& message);

private:
    void takeMerge(TextMerge::Result merged);

    // OutsideChangeMonitor::Note
    QString notePath() const override;
    QString noteText() const override;
    bool noteHasUnsavedEdits() const override;
    bool noteIsSaving() const override { return host_.noteIsSaving(); }
    QDateTime noteLastSaveTime() const override { return host_.noteLastSaveTime(); }
    QDateTime noteLastUserEditTime() const override;
    bool noteFileMayHaveChanged() const override;
    void keepOutsideStamp(const OutsideChangeMonitor::Read& read) override;
    void mergeOutsideVersion(const OutsideChangeMonitor::Read& read) override;
    void reloadOutsideVersion(const OutsideChangeMonitor::Read& read) override;

    NoteText& text_;
    NoteFile& file_;
    Host& host_;
    TimeSource& time_;
    bool reloading_ = false;
    std::unique_ptr<OutsideChangeMonitor> monitor_;  // fileMonitor
};

}  // namespace flintly

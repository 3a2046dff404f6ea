#pragma once

#include "document/ConflictCopy.h"
#include "document/FileWatcher.h"
#include "document/FolderBookmarks.h"
#include "document/NoteVersionSink.h"
#include "document/OutsideChangeMonitor.h"
#include "document/SaveRetries.h"
#include "document/TextMerge.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace flintly {

class Debouncer;
class EditorBridge;
class FileChooser;
class RecoveryStore;
class SettingsStore;
class TimeSource;
class UsageTracker;
class WritingStatistics;

// The one open note: its text (the single source of truth the editor mirrors), the
// file it lives in, the name shown for it, whether it is still a scratch note, and the
// notes and template folders. Saves itself half a second after the text stops changing
// and picks up other programs' changes to its file. Lives on the GUI thread.
//
// What is not the document's own state lives beside it: OutsideChangeMonitor watches
// the file, SaveRetries decides when to write again, WritingStatistics counts the notes
// folder and focus time. Saving and the file's side are in MarkdownModelDisk.cpp.
class MarkdownModel : public QObject, private OutsideChangeMonitor::Note {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QUrl url READ url NOTIFY urlChanged)
    Q_PROPERTY(QString currentFileName READ currentFileName WRITE setCurrentFileName NOTIFY currentFileNameChanged)
    Q_PROPERTY(bool isScratch READ isScratch WRITE setIsScratch NOTIFY isScratchChanged)
    Q_PROPERTY(QUrl saveFolder READ saveFolder WRITE setSaveFolder NOTIFY saveFolderChanged)
    Q_PROPERTY(QUrl templateFolder READ templateFolder WRITE setTemplateFolder NOTIFY templateFolderChanged)
    Q_PROPERTY(bool saveFailing READ saveFailing NOTIFY saveFailingChanged)

public:
    struct Dependencies {
        Dependencies() = default;
        explicit Dependencies(SettingsStore* store, FileChooser* chooser = nullptr, UsageTracker* usage = nullptr)
            : settings(store), tracker(usage), fileChooser(chooser)
        {}

        SettingsStore* settings = nullptr;     // required
        UsageTracker* tracker = nullptr;       // null: the process-wide tracker
        FileChooser* fileChooser = nullptr;    // null: folder and file panels answer "cancel"
        std::shared_ptr<FileWatcher> watcher;  // null: the platform's (inotify)
        TimeSource* time = nullptr;            // null: the system clock (UTC) and Qt timers
        QString recoveryFolder;                // empty: $XDG_DATA_HOME/Flintly/Recovery
        NoteVersionSink* versions = nullptr;   // null: no history of earlier versions is kept
    };

    // While edits are pending, a write at least this often, pause or no pause.
    static constexpr int kSaveCeilingMs = SaveRetries::kCeilingMs;
    // A failed save is tried again after 1 s, then 2, 4, ... up to 30 s.
    static constexpr int kFirstRetryMs = SaveRetries::kFirstRetryMs;
    static constexpr int kLongestRetryMs = SaveRetries::kLongestRetryMs;

    explicit MarkdownModel(Dependencies deps, QObject* parent = nullptr);
    ~MarkdownModel() override;

    // The process-wide instance. The app configures it once before first use; without
    // that it uses the standard settings store and no file panels.
    static MarkdownModel& shared();
    static void configureShared(Dependencies deps);

    static const QDateTime& distantPast();

    QUuid debugID() const { return debugID_; }
    QString debugIDString() const;

    QString text() const { return text_; }
    // A change of the text from anywhere but the editor page (which reports through
    // setTextFromEditor): the note will be saved, and the page is given the text.
    void setText(const QString& text);
    // The editor page's whole text, built on the text of `baseGeneration`. A report
    // older than the last replacement of the text (another note opened, another
    // program's version reloaded) is not taken as it stands: a report about another
    // note is dropped, and one about this note keeps the user's text and the replaced
    // version both. Returns whether the page's text is now the note's text.
    bool setTextFromEditor(const QString& text, quint64 baseGeneration);
    // Counts replacements of the text that did not come from the editor; the editor
    // is sent each new text with its generation and reports edits against it.
    quint64 generation() const { return generation_; }

    // A replacement of the text that merged other changes into a text the editor had:
    // the page can be given `edits` (which turn `onto` into the note's text) instead of
    // the whole text, so its cursor, selection and undo history stay. Empty `edits`
    // with a `whole` merge: the line breaks changed, the page needs the whole text.
    struct Merge {
        quint64 generation = 0;
        QString onto;
        std::vector<TextMerge::Edit> edits;
        bool whole = false;
    };
    // The latest merge; it describes the current text while its generation is current.
    const std::optional<Merge>& lastMerge() const { return lastMerge_; }
    QUrl url() const { return filePath_.isEmpty() ? QUrl() : QUrl::fromLocalFile(filePath_); }
    QString filePath() const { return filePath_; }
    QString currentFileName() const { return currentFileName_; }
    void setCurrentFileName(const QString& name);
    bool isScratch() const { return isScratch_; }
    void setIsScratch(bool scratch);
    QUrl saveFolder() const { return saveFolder_; }
    void setSaveFolder(const QUrl& folder);
    QUrl templateFolder() const { return templateFolder_; }
    void setTemplateFolder(const QUrl& folder);

    bool isSaving() const { return isSaving_; }
    bool isReloadingFromExternal() const { return isReloadingFromExternal_; }
    QDateTime lastSaveTime() const { return lastSaveTime_; }
    QDateTime lastUserEditTime() const { return lastUserEditTime_; }
    // Edits the note's file does not hold yet.
    bool hasUnsavedEdits() const;
    // True from a failed save until a save lands.
    bool saveFailing() const { return retries_->failing(); }
    std::optional<QDateTime> sessionStart() const;
    bool isFileMonitoring() const { return monitor_->isMonitoring(); }

    void setEditorBridge(EditorBridge* bridge) { editorBridge_ = bridge; }

    // Opening and creating notes. open() keeps the current note when the file cannot be
    // read, says why in the log and a notice, and gives the reason through `why`.
    bool open(const QUrl& fileUrl, QString* why = nullptr);
    // Logs why the file at `path` did not open and tells the user in a notice; returns
    // the reason without the path.
    QString reportOpenFailure(const QString& path, const QString& error);
    void loadNote(const QUrl& fileUrl, const std::optional<QByteArray>& bookmark = std::nullopt);  // throws
    void openNotePanel();
    void newNote();
    void chooseSaveFolder(std::function<void(std::optional<QUrl>)> completion);
    std::optional<QUrl> resolveSaveFolderBookmark();
    std::optional<QUrl> resolveTemplateFolderBookmark();
    // `caret`: where in `markdown` the editor's caret is to land (none: it stays put).
    void appendText(const QString& markdown, std::optional<qsizetype> caret = std::nullopt);
    // Puts an earlier text of the note back, as an edit the user can undo in the editor;
    // the text it replaces is kept as a version first.
    void restoreText(const QString& text);
    // Puts the editor's caret on a stretch of the note's current text, scrolled into
    // view: `line` zero-based, `column` and `length` in UTF-16 units of that line.
    void revealInEditor(qsizetype line, qsizetype column, qsizetype length);

    // Saving and naming.
    void save();  // throws ModelError or FileError
    void rename(const QString& proposedName);
    // Writes edits that are not on disk yet (before switching notes or quitting). When
    // the note's file cannot be written, the text goes to a recovery file instead.
    // Failures are logged, never thrown.
    void flushPendingEdits();

    // Outside changes.
    void startFileMonitoring();
    void stopFileMonitoring();

    // Statistics and focus time.
    void recomputeStatistics();
    void startFocusSession();
    void endFocusSession();

signals:
    void textChanged(const QString& text);
    void urlChanged(const QUrl& url);
    void currentFileNameChanged(const QString& name);
    void isScratchChanged(bool scratch);
    void saveFolderChanged(const QUrl& folder);
    void templateFolderChanged(const QUrl& folder);
    // A statistics pass finished and stored its figures.
    void statisticsUpdated();
    void generationChanged(quint64 generation);
    void saveFailingChanged(bool failing);
    // A save wrote the note's file, or moved it away from this path (a rename).
    void fileWritten(const QString& path);
    // Something the user should know about their text (a conflict copy was kept, saving
    // fails); the editor shows it briefly.
    void notice(const QString& message);

private:
    enum class Replacement {
        note,        // another note opened or started
        outside,     // another program's version of the file, reloaded
        merge,       // another program's version, merged into the user's edits
        lateTyping,  // typing the page did on text since replaced, merged into what replaced it
    };

    QDateTime now() const;
    UsageTracker& tracker() const;
    QString saveFolderPath() const { return saveFolder_.isEmpty() ? QString() : saveFolder_.toLocalFile(); }
    bool isInNotesFolderByPrefix(const QString& path) const;
    void setFilePath(const QString& path);
    void runSaveFolderChangeHandler();
    void runTemplateFolderChangeHandler();
    void setUpPipelines();
    void onTextSettled();
    void onTitleSource();
    void replaceText(const QString& text, Replacement why);
    void keepVersionBeforeReplacing(const QString& incoming, NoteVersionSink::Cause cause);
    void supersede(const QString& heldText);
    void applyEdit(const QString& text);
    void forgetDisk();

    // The file's side (MarkdownModelDisk.cpp).
    bool moveNoteFile(const QString& from, const QString& to);
    QByteArray bytesToWrite() const;
    void writeNoteFile(QByteArray bytes);
    void saveFailed(const std::exception& error);
    void saveWhenDue();
    void keepTextAside();
    void keepInRecoveryFile(const QString& why);
    void rememberDisk(const QString& path, const QByteArray& bytes, std::optional<FileStamp> stamp,
                      const QString& text);

    // OutsideChangeMonitor::Note
    QString notePath() const override { return filePath_; }
    QString noteText() const override { return text_; }
    bool noteHasUnsavedEdits() const override { return hasUnsavedEdits(); }
    bool noteIsSaving() const override { return isSaving_; }
    QDateTime noteLastSaveTime() const override { return lastSaveTime_; }
    QDateTime noteLastUserEditTime() const override { return lastUserEditTime_; }
    bool noteFileMayHaveChanged() const override;
    void keepOutsideStamp(const OutsideChangeMonitor::Read& read) override;
    void mergeOutsideVersion(const OutsideChangeMonitor::Read& read) override;
    void reloadOutsideVersion(const OutsideChangeMonitor::Read& read) override;

    // Another program's version meets the user's (MarkdownModelMerge.cpp).
    void takeInOutsideVersion();
    bool takeInDisplacedVersion(const QString& displaced, const QString& base);
    bool mergeLateReport(const QString& report, quint64 baseGeneration);
    void takeMerge(const QString& onto, TextMerge::Result merged, Replacement why);
    void keepFileVersionAside(const QByteArray& bytes);
    void keepLeftoverTemporaries();

    Dependencies deps_;
    FolderBookmarks folders_;
    TimeSource* time_ = nullptr;
    const QUuid debugID_ = QUuid::createUuid();

    QString text_;
    QString filePath_;
    QString currentFileName_ = QStringLiteral("Untitled");
    bool isScratch_ = true;
    bool securityAccess_ = false;
    bool isReloadingFromExternal_ = false;
    bool isSaving_ = false;
    QDateTime lastSaveTime_;
    QDateTime lastUserEditTime_;
    QUrl saveFolder_;
    QUrl templateFolder_;

    // What the file holds as far as we know: the text last read from or written to it,
    // and whether it began with a byte-order mark (kept when writing it back).
    QString savedText_;
    bool hadByteOrderMark_ = false;
    DiskState diskState_;
    bool changeFromUser_ = false;  // the text the save pipeline will see was typed
    quint64 generation_ = 0;
    quint64 noteGeneration_ = 0;  // the generation at which the open note was opened or started
    quint64 saveSerial_ = 0;      // the saving flag's release belongs to the latest save
    // The text the note held when each recent generation was replaced: a report the page
    // made on that generation grew from it, so it is the base for merging the report in.
    std::map<quint64, QString> superseded_;
    std::optional<Merge> lastMerge_;
    // Another program's version of the file while replaceText() takes it in (reloaded
    // or merged); null at every other time.
    const OutsideChangeMonitor::Read* outsideVersion_ = nullptr;

    Debouncer* saveDebouncer_ = nullptr;  // saveCancellable
    bool titlePipelineActive_ = false;    // titleCancellable
    EditorBridge* editorBridge_ = nullptr;
    SaveRetries* retries_ = nullptr;
    WritingStatistics* statistics_ = nullptr;
    std::unique_ptr<RecoveryStore> recovery_;
    std::unique_ptr<OutsideChangeMonitor> monitor_;  // fileMonitor
};

}  // namespace flintly

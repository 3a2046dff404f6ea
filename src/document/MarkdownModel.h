#pragma once

#include "document/FileWatcher.h"
#include "document/NoteText.h"
#include "document/NoteVersionSink.h"
#include "document/OutsideVersions.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

namespace flintly {

class EditorBridge;
class FileChooser;
class NoteFile;
class NoteFolders;
class NoteName;
class NoteSaver;
class SettingsStore;
class TimeSource;
class UsageTracker;
class WritingStatistics;

// The one open note as the rest of the app sees it (GUI thread): its text, file, name,
// and the notes and template folders; saved half a second after typing stops, and
// other programs' changes to its file picked up. It wires the parts that do the work:
// NoteText (the text and its edits), NoteFile (what the file holds), NoteName,
// NoteSaver, OutsideVersions, NoteFolders and WritingStatistics.
class MarkdownModel : public QObject, private OutsideVersions::Host {
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

    explicit MarkdownModel(Dependencies deps, QObject* parent = nullptr);
    ~MarkdownModel() override;

    // The process-wide instance. The app configures it once before first use; without
    // that it uses the standard settings store and no file panels.
    static MarkdownModel& shared();
    static void configureShared(Dependencies deps);

    static const QDateTime& distantPast() { return NoteText::distantPast(); }

    QString debugIDString() const;

    QString text() const { return text_.text(); }
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
    quint64 generation() const { return text_.generation(); }

    using Merge = NoteText::Merge;
    // The latest merge; it describes the current text while its generation is current.
    const std::optional<Merge>& lastMerge() const { return text_.lastMerge(); }
    QUrl url() const;
    QString filePath() const;
    QString currentFileName() const;
    void setCurrentFileName(const QString& name);
    bool isScratch() const;
    void setIsScratch(bool scratch);
    QUrl saveFolder() const;
    void setSaveFolder(const QUrl& folder);
    QUrl templateFolder() const;
    void setTemplateFolder(const QUrl& folder);

    bool isSaving() const;
    bool isReloadingFromExternal() const { return outside_->isReloading(); }
    QDateTime lastSaveTime() const;
    QDateTime lastUserEditTime() const { return text_.lastUserEditTime(); }
    // True from a failed save until a save lands.
    bool saveFailing() const;
    std::optional<QDateTime> sessionStart() const;
    bool isFileMonitoring() const { return outside_->isMonitoring(); }

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

    // Outside changes: (re)starts watching the note's file.
    void startFileMonitoring();

    // Focus time.
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
        outside,     // another program's version of the file, reloaded or merged in
        lateTyping,  // typing the page did on text since replaced, merged into what replaced it
    };

    QDateTime now() const;
    UsageTracker& tracker() const;
    void connectParts();
    void applyEdit(const QString& text);
    void replaceText(const QString& text, Replacement why);
    void keepVersionBeforeReplacing(const QString& incoming, NoteVersionSink::Cause cause);

    // OutsideVersions::Host
    bool noteIsSaving() const override { return isSaving(); }
    QDateTime noteLastSaveTime() const override { return lastSaveTime(); }
    void takeOutsideText(const QString& text) override { replaceText(text, Replacement::outside); }
    void saveMergingOutsideVersion() override;

    Dependencies deps_;
    TimeSource* time_ = nullptr;
    const QUuid debugID_ = QUuid::createUuid();

    NoteText text_;
    std::unique_ptr<NoteFile> file_;
    WritingStatistics* statistics_ = nullptr;
    std::unique_ptr<OutsideVersions> outside_;
    std::unique_ptr<NoteFolders> folders_;
    std::unique_ptr<NoteName> name_;
    std::unique_ptr<NoteSaver> saver_;
    EditorBridge* editorBridge_ = nullptr;
};

}  // namespace flintly

#pragma once

#include "document/ConflictCopy.h"
#include "document/FileWatcher.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace flintly {

class Debouncer;
class EditorBridge;
class FileChooser;
class SerialQueue;
class SettingsStore;
class UsageTracker;

// The one open note: its text (the single source of truth the editor mirrors), the
// file it lives in, the name shown for it, whether it is still a scratch note, and the
// notes and template folders. Saves itself half a second after the text stops changing
// and picks up other programs' changes to its file. Lives on the GUI thread.
class MarkdownModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QUrl url READ url NOTIFY urlChanged)
    Q_PROPERTY(QString currentFileName READ currentFileName WRITE setCurrentFileName NOTIFY currentFileNameChanged)
    Q_PROPERTY(bool isScratch READ isScratch WRITE setIsScratch NOTIFY isScratchChanged)
    Q_PROPERTY(QUrl saveFolder READ saveFolder WRITE setSaveFolder NOTIFY saveFolderChanged)
    Q_PROPERTY(QUrl templateFolder READ templateFolder WRITE setTemplateFolder NOTIFY templateFolderChanged)

public:
    using Clock = std::function<QDateTime()>;

    struct Dependencies {
        SettingsStore* settings = nullptr;       // required
        UsageTracker* tracker = nullptr;         // null: the process-wide tracker
        FileChooser* fileChooser = nullptr;      // null: folder and file panels answer "cancel"
        std::shared_ptr<FileWatcher> watcher;    // null: the platform's (inotify)
        Clock clock;                             // null: the system clock (UTC)
    };

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
    void setText(const QString& text);
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

    bool isSaving() const;
    bool isReloadingFromExternal() const { return isReloadingFromExternal_; }
    QDateTime lastSaveTime() const;
    QDateTime lastUserEditTime() const;
    std::optional<QDateTime> sessionStart() const { return sessionStart_; }
    bool isFileMonitoring() const { return fileWatch_ != nullptr; }

    void setEditorBridge(EditorBridge* bridge) { editorBridge_ = bridge; }

    // Opening and creating notes.
    void open(const QUrl& fileUrl);
    void loadNote(const QUrl& fileUrl, const std::optional<QByteArray>& bookmark = std::nullopt);  // throws
    void openNotePanel();
    void newNote();
    void chooseSaveFolder(std::function<void(std::optional<QUrl>)> completion);
    std::optional<QUrl> resolveSaveFolderBookmark();
    std::optional<QUrl> resolveTemplateFolderBookmark();
    void appendText(const QString& markdown);

    // Saving and naming.
    void save();  // throws ModelError or FileError
    void rename(const QString& proposedName);
    // Writes edits the save pipeline has not written yet (before switching notes or
    // quitting). Failures are logged, never thrown.
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

private:
    // Fields the "FileMonitor" thread reads while the GUI thread writes them. The GUI
    // thread is the only writer; it takes the lock to write, the monitor to read.
    struct SharedState {
        mutable std::mutex mutex;
        MarkdownModel* model = nullptr;  // reset at teardown; dereferenced on the GUI thread only
        SerialQueue* queue = nullptr;    // the "FileMonitor" queue; outlives every task on it
        Clock clock;
        QString filePath;
        QString text;
        bool isSaving = false;
        QDateTime lastSaveTime;
        QDateTime lastUserEditTime;
    };
    struct Snapshot {
        QString filePath, text;
        bool isSaving = false;
        QDateTime lastSaveTime, lastUserEditTime;
    };

    QDateTime now() const;
    void setFilePath(const QString& path);
    void setIsSavingFlag(bool saving);
    void setLastSaveTime(const QDateTime& t);
    void setLastUserEditTime(const QDateTime& t);
    void runSaveFolderChangeHandler();
    void runTemplateFolderChangeHandler();
    void setUpPipelines();
    void onTextSettled();
    void onTitleSource();
    void track(const std::string& event, const std::map<std::string, std::variant<std::string, std::int64_t>>& props);
    QString saveFolderPath() const { return saveFolder_.isEmpty() ? QString() : saveFolder_.toLocalFile(); }
    bool moveNoteFile(const QString& from, const QString& to);
    void guardAgainstOverwritingOutsideChange();

    // File monitor internals (run on the "FileMonitor" queue).
    static void handleFileEvents(const std::weak_ptr<SharedState>& weak, unsigned events);
    static void readChangedFile(const std::weak_ptr<SharedState>& weak, const QString& path);
    void applyExternalChange(const QString& newText, const QByteArray& bytes);

    Dependencies deps_;
    const QUuid debugID_ = QUuid::createUuid();
    std::shared_ptr<SharedState> state_;

    QString text_;
    QString filePath_;
    QString currentFileName_ = QStringLiteral("Untitled");
    bool isScratch_ = true;
    bool securityAccess_ = false;
    bool isReloadingFromExternal_ = false;
    QUrl saveFolder_;
    QUrl templateFolder_;
    std::optional<QDateTime> sessionStart_;

    Debouncer* saveDebouncer_ = nullptr;  // saveCancellable
    bool titlePipelineActive_ = false;    // titleCancellable
    EditorBridge* editorBridge_ = nullptr;
    DiskState diskState_;
    std::shared_ptr<std::atomic<quint64>> statisticsGeneration_ = std::make_shared<std::atomic<quint64>>(0);

    std::unique_ptr<SerialQueue> fileMonitorQueue_;
    std::unique_ptr<FileWatch> fileWatch_;  // fileMonitor
    int watchedFd_ = -1;
};

}  // namespace flintly

#include "document/MarkdownModel.h"

#include "core/AppEvents.h"
#include "document/EditorBridge.h"
#include "document/NoteNaming.h"
#include "document/RecoveryStore.h"
#include "document/WritingStatistics.h"
#include "platform/Bookmark.h"
#include "platform/Dialogs.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/SettingsStore.h"
#include "platform/TimeSource.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace flintly {

namespace {
constexpr int kSaveDebounceMs = 500;

std::unique_ptr<MarkdownModel::Dependencies>& sharedDependencies()
{
    static std::unique_ptr<MarkdownModel::Dependencies> deps;
    return deps;
}

QString pathOrNil(const QString& path) { return path.isEmpty() ? QStringLiteral("nil") : path; }
}  // namespace

const QDateTime& MarkdownModel::distantPast()
{
    static const QDateTime past(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
    return past;
}

void MarkdownModel::configureShared(Dependencies deps)
{
    sharedDependencies() = std::make_unique<Dependencies>(std::move(deps));
}

MarkdownModel& MarkdownModel::shared()
{
    static MarkdownModel* model = [] {
        Dependencies deps = sharedDependencies() ? *sharedDependencies() : Dependencies{};
        if (!deps.settings)
            deps.settings = &SettingsStore::standard();
        return new MarkdownModel(std::move(deps));
    }();
    return *model;
}

MarkdownModel::MarkdownModel(Dependencies deps, QObject* parent)
    : QObject(parent), deps_(std::move(deps)), folders_(*deps_.settings)
{
    Q_ASSERT(deps_.settings);
    if (!deps_.watcher)
        deps_.watcher = makePlatformFileWatcher();
    time_ = deps_.time ? deps_.time : &TimeSource::system();
    lastSaveTime_ = distantPast();
    lastUserEditTime_ = distantPast();
    recovery_ = std::make_unique<RecoveryStore>(deps_.recoveryFolder.isEmpty() ? RecoveryStore::defaultFolder()
                                                                               : deps_.recoveryFolder);
    retries_ = new SaveRetries(
        *time_, [this] { saveWhenDue(); }, this);
    connect(retries_, &SaveRetries::failingChanged, this, &MarkdownModel::saveFailingChanged);
    connect(retries_, &SaveRetries::startedFailing, this, [this](const QString& reason) {
        emit notice(QStringLiteral("Not saved: %1. Flintly keeps trying.").arg(reason));
    });
    statistics_ = new WritingStatistics(*deps_.settings, *time_, this);
    connect(statistics_, &WritingStatistics::updated, this, &MarkdownModel::statisticsUpdated);
    monitor_ =
        std::make_unique<OutsideChangeMonitor>(static_cast<OutsideChangeMonitor::Note&>(*this), *deps_.watcher, *time_);

    // Assignments during creation do not run the change handlers by themselves, so
    // they are run here explicitly.
    std::optional<QUrl> folder = resolveSaveFolderBookmark();
    if (!folder)
        folder = folders_.storedNotesFolderUrl();
    if (folder) {
        saveFolder_ = *folder;
        runSaveFolderChangeHandler();
    }
    templateFolder_ = resolveTemplateFolderBookmark().value_or(QUrl());
    runTemplateFolderChangeHandler();

    log("🪵 MarkdownModel init →", debugIDString());
    setUpPipelines();
}

MarkdownModel::~MarkdownModel()
{
    endFocusSession();
    if (securityAccess_ && !filePath_.isEmpty())
        Bookmark::stopAccessing(filePath_);
    titlePipelineActive_ = false;
    monitor_.reset();  // stops watching, then lets the monitor queue finish
}

QString MarkdownModel::debugIDString() const { return debugID_.toString(QUuid::WithoutBraces).toUpper(); }

QDateTime MarkdownModel::now() const { return time_->now(); }

UsageTracker& MarkdownModel::tracker() const { return deps_.tracker ? *deps_.tracker : usageTracker(); }

bool MarkdownModel::isInNotesFolderByPrefix(const QString& path) const
{
    // A plain string-prefix test, not a folder-by-folder one: a sibling whose name merely
    // begins with the notes folder's ("Notes2" beside "Notes") counts as inside. This is
    // how the analytics events have always told internal notes from external ones, and
    // changing it would make the reported numbers incomparable across versions.
    return path.startsWith(saveFolderPath());
}

// --- Published properties -------------------------------------------------------

void MarkdownModel::setText(const QString& text)
{
    if (text == text_)
        return;
    const QString held = text_;
    applyEdit(text);
    // Not from the editor: the page must take this text even over its own latest edit.
    supersede(held);
    emit generationChanged(generation_);
}

void MarkdownModel::supersede(const QString& heldText)
{
    // A handful is plenty: the page reports in order, and only ever on the last few.
    constexpr std::size_t kKept = 8;
    superseded_[generation_] = heldText;
    while (superseded_.size() > kKept)
        superseded_.erase(superseded_.begin());
    ++generation_;
}

void MarkdownModel::applyEdit(const QString& text)
{
    if (text == text_)
        return;
    // The typing cool-down of the watcher counts from the last keystroke; the save
    // pipeline's own stamp comes only once typing pauses.
    lastUserEditTime_ = now();
    changeFromUser_ = true;
    text_ = text;
    emit textChanged(text_);
    onTitleSource();
    saveDebouncer_->trigger();
    // Typing without a half-second pause would otherwise never be written.
    retries_->edited();
}

void MarkdownModel::replaceText(const QString& text, Replacement why)
{
    // Switching notes replaces nothing of this note, and typing merged late is the user's
    // own; anything else puts text the user did not type over theirs, so what they had is
    // kept first.
    if (why != Replacement::note && why != Replacement::lateTyping && text != text_)
        keepVersionBeforeReplacing(text, NoteVersionSink::Cause::outsideChange);
    supersede(text_);
    if (why == Replacement::note) {
        noteGeneration_ = generation_;
        superseded_.clear();  // reports about the note left behind are dropped, not merged
    }
    changeFromUser_ = false;
    if (text != text_) {
        text_ = text;
        emit textChanged(text_);
        onTitleSource();
        saveDebouncer_->trigger();
    }
    emit generationChanged(generation_);
}

void MarkdownModel::keepVersionBeforeReplacing(const QString& incoming, NoteVersionSink::Cause cause)
{
    if (!deps_.versions || filePath_.isEmpty())
        return;
    deps_.versions->noteReplacing({filePath_, text_, incoming, hadByteOrderMark_, cause, now()});
}

void MarkdownModel::restoreText(const QString& text)
{
    if (text == text_)
        return;
    keepVersionBeforeReplacing(text, NoteVersionSink::Cause::restore);
    // An edit, like a template: the page applies it as one undoable step and reports
    // it, instead of being handed a new text that would wipe its undo history.
    applyEdit(text);
    if (editorBridge_)
        editorBridge_->replaceAll(text);
}

void MarkdownModel::forgetDisk()
{
    diskState_.forget();
    savedText_.clear();
    hadByteOrderMark_ = false;
}

bool MarkdownModel::hasUnsavedEdits() const
{
    if (filePath_.isEmpty())
        return !text_.isEmpty();
    return text_.size() != savedText_.size() || text_ != savedText_;
}

void MarkdownModel::setCurrentFileName(const QString& name)
{
    if (name == currentFileName_)
        return;
    currentFileName_ = name;
    emit currentFileNameChanged(name);
}

void MarkdownModel::setIsScratch(bool scratch)
{
    if (scratch == isScratch_)
        return;
    isScratch_ = scratch;
    emit isScratchChanged(scratch);
}

void MarkdownModel::setFilePath(const QString& path)
{
    if (path == filePath_)
        return;
    filePath_ = path;
    emit urlChanged(url());
}

void MarkdownModel::setSaveFolder(const QUrl& folder)
{
    saveFolder_ = folder;
    runSaveFolderChangeHandler();
    emit saveFolderChanged(folder);
    // Text typed while there was nowhere to save it goes there now.
    if (!folder.isEmpty() && hasUnsavedEdits())
        saveDebouncer_->trigger();
}

void MarkdownModel::setTemplateFolder(const QUrl& folder)
{
    templateFolder_ = folder;
    runTemplateFolderChangeHandler();
    emit templateFolderChanged(folder);
}

// --- Folders ---------------------------------------------------------------------

std::optional<QUrl> MarkdownModel::resolveSaveFolderBookmark()
{
    return folders_.resolve(FolderBookmarks::Folder::notes);
}

std::optional<QUrl> MarkdownModel::resolveTemplateFolderBookmark()
{
    return folders_.resolve(FolderBookmarks::Folder::templates);
}

void MarkdownModel::runSaveFolderChangeHandler()
{
    log("🪵 saveFolder didSet →", pathOrNil(saveFolderPath()));
    folders_.store(FolderBookmarks::Folder::notes, saveFolder_);
}

void MarkdownModel::runTemplateFolderChangeHandler()
{
    folders_.store(FolderBookmarks::Folder::templates, templateFolder_);
}

void MarkdownModel::chooseSaveFolder(std::function<void(std::optional<QUrl>)> completion)
{
    log("🐛 chooseSaveFolder on main? –", isMainThread());
    if (!isMainThread()) {
        QPointer<MarkdownModel> self(this);
        runOnMainThread([self, completion = std::move(completion)]() mutable {
            if (self)
                self->chooseSaveFolder(std::move(completion));
        });
        return;
    }
    if (!deps_.fileChooser) {
        completion(std::nullopt);
        return;
    }
    QPointer<MarkdownModel> self(this);
    FolderRequest request;
    request.prompt = QStringLiteral("Choose Folder");
    request.canCreateDirectories = true;
    deps_.fileChooser->chooseFolder(request, [self, completion = std::move(completion)](std::optional<QString> chosen) {
        if (!self || !chosen || chosen->isEmpty()) {
            completion(std::nullopt);
            return;
        }
        const QString folder = QDir::cleanPath(*chosen);
        log("✅ picked folder →", folder);
        // The draft being typed belongs to the folder it was begun in: saved (or first
        // named) there now, before the new folder would take it in.
        if (!self->saveFolder_.isEmpty())
            self->flushPendingEdits();
        if (self->securityAccess_) {
            if (!self->filePath_.isEmpty())
                Bookmark::stopAccessing(self->filePath_);
            self->securityAccess_ = false;
        }
        Bookmark::startAccessing(folder);
        self->setSaveFolder(QUrl::fromLocalFile(folder));
        self->recomputeStatistics();
        completion(QUrl::fromLocalFile(folder));
    });
}

// --- Opening and creating notes ----------------------------------------------------

bool MarkdownModel::open(const QUrl& fileUrl, QString* why)
{
    flushPendingEdits();
    endFocusSession();
    stopFileMonitoring();
    const QString path = fileUrl.toLocalFile();
    log("🪵 open() called for", QFileInfo(path).fileName(), "on model", debugIDString());
    bool opened = true;
    try {
        loadNote(fileUrl);
        setIsScratch(false);
    } catch (const std::exception& error) {
        // The current note stays open; keep watching it. Whoever asked for the file
        // hears why it did not open: a choice that silently does nothing looks broken.
        opened = false;
        if (!filePath_.isEmpty())
            startFileMonitoring();
        const QString because = reportOpenFailure(path, QString::fromUtf8(error.what()));
        if (why)
            *why = because;
    }
    if (!saveFolder_.isEmpty() && !isInNotesFolderByPrefix(path))
        events::openExternalNote(tracker(), QFileInfo(path).fileName().toStdString(),
                                 QFileInfo(path).absolutePath().toStdString());
    startFocusSession();
    return opened;
}

QString MarkdownModel::reportOpenFailure(const QString& path, const QString& error)
{
    log("❌ Failed to open markdown file:", error);
    const QString prefix = path + QStringLiteral(": ");
    const QString because = error.startsWith(prefix) ? error.mid(prefix.size()) : error;
    emit notice(QStringLiteral("Could not open “%1”: %2.").arg(QFileInfo(path).fileName(), because));
    return because;
}

void MarkdownModel::newNote()
{
    flushPendingEdits();
    endFocusSession();
    if (securityAccess_ && !filePath_.isEmpty())
        Bookmark::stopAccessing(filePath_);
    securityAccess_ = false;
    stopFileMonitoring();
    forgetDisk();
    retries_->settled();
    setFilePath(QString());
    replaceText(QString(), Replacement::note);
    setCurrentFileName(NoteNaming::kFallbackName);
    setIsScratch(true);
    startFocusSession();
    events::createNote(tracker(), debugIDString().toStdString());
}

void MarkdownModel::revealInEditor(qsizetype line, qsizetype column, qsizetype length)
{
    if (editorBridge_)
        editorBridge_->revealRange(generation_, line, column, length);
}

void MarkdownModel::appendText(const QString& markdown, std::optional<qsizetype> caret)
{
    const QString piece = (text_.isEmpty() ? QString() : QStringLiteral("\n\n")) + markdown;
    applyEdit(text_ + piece);  // the page adds the block itself; its next report settles the text
    if (editorBridge_)
        editorBridge_->appendBlock(markdown, caret);
}

// --- Saving ----------------------------------------------------------------------

void MarkdownModel::setUpPipelines()
{
    saveDebouncer_ = new Debouncer(
        kSaveDebounceMs, [this] { onTextSettled(); }, this, time_);
    titlePipelineActive_ = true;
    // Both pipelines see the current text at once.
    onTitleSource();
    saveDebouncer_->trigger();
}

void MarkdownModel::onTitleSource()
{
    if (!titlePipelineActive_ || !isScratch_)
        return;
    setCurrentFileName(NoteNaming::displayNameOf(text_));
}

// --- Outside changes, statistics and focus time: the monitor's and the counter's ----

void MarkdownModel::startFileMonitoring() { monitor_->start(filePath_); }

void MarkdownModel::stopFileMonitoring() { monitor_->stop(); }

void MarkdownModel::recomputeStatistics() { statistics_->recompute(saveFolderPath()); }

void MarkdownModel::startFocusSession() { statistics_->startFocusSession(); }

void MarkdownModel::endFocusSession()
{
    const bool external =
        !isScratch_ && !saveFolder_.isEmpty() && !filePath_.isEmpty() && !isInNotesFolderByPrefix(filePath_);
    statistics_->endFocusSession(tracker(), debugIDString().toStdString(), external);
}

std::optional<QDateTime> MarkdownModel::sessionStart() const { return statistics_->sessionStart(); }

}  // namespace flintly

#include "document/MarkdownModel.h"

#include "core/AppEvents.h"
#include "core/SerialQueue.h"
#include "core/UsageTracker.h"
#include "document/DocumentErrors.h"
#include "document/DurableWrite.h"
#include "document/EditorBridge.h"
#include "document/LogDate.h"
#include "document/NoteNaming.h"
#include "document/RecoveryStore.h"
#include "document/TextDecoding.h"
#include "platform/Bookmark.h"
#include "platform/Dialogs.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/SettingsStore.h"
#include "platform/TimeSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <cerrno>
#include <cstring>

namespace flintly {

namespace {
constexpr int kSaveDebounceMs = 500;
constexpr int kSavingFlagReleaseMs = 100;

const QString kSavedFolderBookmark = QStringLiteral("SavedFolderBookmark");
const QString kSaveFolderUrl = QStringLiteral("flintlySaveFolder");
const QString kTemplateFolderBookmark = QStringLiteral("TemplateFolderBookmark");

std::unique_ptr<MarkdownModel::Dependencies>& sharedDependencies()
{
    static std::unique_ptr<MarkdownModel::Dependencies> deps;
    return deps;
}

QString pathOrNil(const QString& path) { return path.isEmpty() ? QStringLiteral("nil") : path; }

const QByteArray kByteOrderMark("\xEF\xBB\xBF");

QString conflictNotice(const QString& copy)
{
    return QStringLiteral("Another version of this note was kept as “%1”.").arg(QFileInfo(copy).fileName());
}
}  // namespace

const QDateTime& MarkdownModel::distantPast()
{
    static const QDateTime past(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
    return past;
}

void MarkdownModel::configureShared(Dependencies deps) { sharedDependencies() = std::make_unique<Dependencies>(std::move(deps)); }

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
    : QObject(parent), deps_(std::move(deps)), state_(std::make_shared<SharedState>())
{
    Q_ASSERT(deps_.settings);
    if (!deps_.watcher)
        deps_.watcher = makePlatformFileWatcher();
    time_ = deps_.time ? deps_.time : &TimeSource::system();
    state_->model = this;
    lastSaveTime_ = distantPast();
    lastUserEditTime_ = distantPast();
    fileMonitorQueue_ = std::make_unique<SerialQueue>("FileMonitor", SerialQueue::Priority::Utility);
    state_->queue = fileMonitorQueue_.get();
    recovery_ = std::make_unique<RecoveryStore>(deps_.recoveryFolder.isEmpty() ? RecoveryStore::defaultFolder()
                                                                               : deps_.recoveryFolder);
    ceilingTimer_ = time_->createTimer([this] {
        if (hasUnsavedEdits()) {
            try {
                save();
            } catch (const std::exception&) {
                // saveFailed() has scheduled the retry.
            }
        }
    });
    retryTimer_ = time_->createTimer([this] { retrySave(); });
    lookAgainTimer_ = time_->createTimer([this] { lookAgain(); });

    // Assignments during creation do not run the change handlers by themselves, so
    // they are run here explicitly.
    std::optional<QUrl> folder = resolveSaveFolderBookmark();
    if (!folder)
        folder = deps_.settings->fileUrlValue(kSaveFolderUrl);
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
    stopFileMonitoring();
    {
        std::lock_guard lock(state_->mutex);
        state_->model = nullptr;
    }
    state_.reset();
    fileMonitorQueue_.reset();  // runs what is queued (it finds the model gone), then joins
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
    applyEdit(text);
    // Not from the editor: the page must take this text even over its own latest edit.
    ++generation_;
    emit generationChanged(generation_);
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
    if (!ceilingTimer_->isActive())
        ceilingTimer_->start(kSaveCeilingMs);
}

void MarkdownModel::replaceText(const QString& text, Replacement why)
{
    ++generation_;
    if (why == Replacement::note)
        noteGeneration_ = generation_;
    changeFromUser_ = false;
    if (text != text_) {
        text_ = text;
        emit textChanged(text_);
        onTitleSource();
        saveDebouncer_->trigger();
    }
    emit generationChanged(generation_);
}

bool MarkdownModel::setTextFromEditor(const QString& text, quint64 baseGeneration)
{
    if (baseGeneration < noteGeneration_) {
        // Typed into the note that was open before; it was written when we left it.
        log("🗑️ 이전 노트에 대한 편집 보고 무시 - 세대", baseGeneration, "<", noteGeneration_);
        return false;
    }
    if (baseGeneration < generation_) {
        if (text == text_)
            return true;
        // The user typed into text that has since been replaced (another program's
        // version, reloaded): their typing stays, and the replaced text is kept aside.
        log("⚠️ 교체되기 전 내용에 대한 편집 - 사용자 편집 유지, 교체된 내용은 사본으로 보관");
        if (hasUnsavedEdits())
            keepTextAside();
        else
            diskState_.distrust();  // the file holds the replaced text: the next save copies it
        setText(text);  // a new generation: the page shows the replaced text and gets the user's back
        return false;
    }
    applyEdit(text);
    return true;
}

void MarkdownModel::keepTextAside()
{
    if (filePath_.isEmpty()) {
        keepInRecoveryFile(QStringLiteral("replaced before it had a file"));
        return;
    }
    try {
        const QString copy = writeConflictCopy(filePath_, bytesToWrite(), now());
        log("⚠️ 외부 변경과 충돌 - 사본 보관:", QFileInfo(copy).fileName());
        emit notice(conflictNotice(copy));
    } catch (const FileError& e) {
        keepInRecoveryFile(e.message());
    }
}

bool MarkdownModel::hasUnsavedEdits() const
{
    if (filePath_.isEmpty())
        return !text_.isEmpty();
    return text_.size() != savedText_.size() || text_ != savedText_;
}

void MarkdownModel::setSaveFailing(bool failing)
{
    if (failing == saveFailing_)
        return;
    saveFailing_ = failing;
    emit saveFailingChanged(failing);
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

namespace {
// A folder stored as a bookmark, or nothing (logged) when it no longer resolves.
std::optional<QUrl> resolveFolderBookmark(const SettingsStore& settings, const QString& key, const char* failure)
{
    const auto bytes = settings.bytesValue(key);
    if (!bytes)
        return std::nullopt;
    QString error;
    const auto resolved = Bookmark::resolve(*bytes, &error);
    if (!resolved) {
        log(failure, error);
        return std::nullopt;
    }
    if (!Bookmark::startAccessing(resolved->path))
        return std::nullopt;
    return QUrl::fromLocalFile(resolved->path);
}
}  // namespace

std::optional<QUrl> MarkdownModel::resolveSaveFolderBookmark()
{
    return resolveFolderBookmark(*deps_.settings, kSavedFolderBookmark, "❌ Failed to load bookmark:");
}

std::optional<QUrl> MarkdownModel::resolveTemplateFolderBookmark()
{
    return resolveFolderBookmark(*deps_.settings, kTemplateFolderBookmark, "❌ Failed to load template bookmark:");
}

void MarkdownModel::runSaveFolderChangeHandler()
{
    log("🪵 saveFolder didSet →", pathOrNil(saveFolderPath()));
    if (saveFolder_.isEmpty())
        return;
    QString error;
    if (const auto bytes = Bookmark::create(saveFolderPath(), &error))
        deps_.settings->setValue(kSavedFolderBookmark, *bytes);
    else
        log("❌ Failed to save bookmark:", error);
    deps_.settings->setFileUrl(kSaveFolderUrl, saveFolder_);
}

void MarkdownModel::runTemplateFolderChangeHandler()
{
    if (templateFolder_.isEmpty()) {
        deps_.settings->remove(kTemplateFolderBookmark);
        return;
    }
    QString error;
    if (const auto bytes = Bookmark::create(templateFolder_.toLocalFile(), &error))
        deps_.settings->setValue(kTemplateFolderBookmark, *bytes);
    else
        log("❌ Failed to save template bookmark:", error);
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

void MarkdownModel::loadNote(const QUrl& fileUrl, const std::optional<QByteArray>& bookmark)
{
    QString target = fileUrl.toLocalFile();
    bool access = securityAccess_;
    if (bookmark) {
        QString error;
        const auto resolved = Bookmark::resolve(*bookmark, &error);
        if (!resolved)
            throw FileError(error);
        target = resolved->path;
        access = Bookmark::startAccessing(target);
    }
    // Leaving the current note, or reading it again: what is not on disk yet is
    // written first, so neither switching notes nor re-opening drops the last typing.
    flushPendingEdits();

    QFile file(target);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("%1: %2").arg(target, file.errorString()));
    const QByteArray bytes = file.readAll();
    const auto stamp = stampOfDescriptor(file.handle());
    const auto content = decodeUtf8(bytes);
    if (!content)
        throw FileError(QStringLiteral("%1: the file is not valid UTF-8 text").arg(target));

    securityAccess_ = access;
    setFilePath(QFileInfo(target).absoluteFilePath());
    setIsScratch(false);
    forgetSaveTrouble();
    hadByteOrderMark_ = bytes.startsWith(kByteOrderMark);
    savedText_ = *content;
    diskState_.remember(filePath_, bytes, stamp);
    replaceText(*content, Replacement::note);
    setCurrentFileName(leftGraphemes(QFileInfo(target).fileName(), NoteNaming::kNameLength));
    startFileMonitoring();
}

void MarkdownModel::open(const QUrl& fileUrl)
{
    flushPendingEdits();
    endFocusSession();
    stopFileMonitoring();
    log("🪵 open() called for", QFileInfo(fileUrl.toLocalFile()).fileName(), "on model", debugIDString());
    try {
        loadNote(fileUrl);
        setIsScratch(false);
    } catch (const std::exception&) {
        // The current note stays open; keep watching it.
        if (!filePath_.isEmpty())
            startFileMonitoring();
    }
    const QString path = fileUrl.toLocalFile();
    if (!saveFolder_.isEmpty() && !isInNotesFolderByPrefix(path))
        events::openExternalNote(tracker(), QFileInfo(path).fileName().toStdString(),
                                 QFileInfo(path).absolutePath().toStdString());
    startFocusSession();
}

void MarkdownModel::openNotePanel()
{
    if (!deps_.fileChooser)
        return;
    QPointer<MarkdownModel> self(this);
    FileRequest request;
    request.nameFilters = {QStringLiteral("Markdown (*.md)")};
    deps_.fileChooser->chooseFile(request, [self](std::optional<QString> chosen) {
        if (!self || !chosen || chosen->isEmpty())
            return;
        try {
            self->loadNote(QUrl::fromLocalFile(*chosen));
            self->setIsScratch(false);
        } catch (const std::exception&) {
        }
    });
}

void MarkdownModel::newNote()
{
    flushPendingEdits();
    endFocusSession();
    if (securityAccess_ && !filePath_.isEmpty())
        Bookmark::stopAccessing(filePath_);
    securityAccess_ = false;
    stopFileMonitoring();
    diskState_.forget();
    forgetSaveTrouble();
    savedText_.clear();
    hadByteOrderMark_ = false;
    setFilePath(QString());
    replaceText(QString(), Replacement::note);
    setCurrentFileName(NoteNaming::kFallbackName);
    setIsScratch(true);
    startFocusSession();
    events::createNote(tracker(), debugIDString().toStdString());
}

void MarkdownModel::appendText(const QString& markdown)
{
    const QString piece = (text_.isEmpty() ? QString() : QStringLiteral("\n\n")) + markdown;
    applyEdit(text_ + piece);  // the page gets the piece itself, below
    if (editorBridge_)
        editorBridge_->appendMarkdown(piece);
}

// --- Saving ----------------------------------------------------------------------

void MarkdownModel::setUpPipelines()
{
    saveDebouncer_ = new Debouncer(kSaveDebounceMs, [this] { onTextSettled(); }, this, time_);
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

void MarkdownModel::onTextSettled()
{
    if (!isSaving_ && !isReloadingFromExternal_ && changeFromUser_) {
        const QDateTime t = now();
        lastUserEditTime_ = t;
        log("⏰ 사용자 편집 시간 업데이트:", formatLogDate(t));
    } else {
        log("⏸️ 저장/리로드 중이므로 편집 시간 업데이트 건너뜀");
    }
    try {
        save();
    } catch (const std::exception&) {
        // The autosave service reports failures; this pipeline retries at the next pause.
    }
}

void MarkdownModel::flushPendingEdits()
{
    const bool pending = (saveDebouncer_ && saveDebouncer_->isPending()) || hasUnsavedEdits();
    if (saveDebouncer_)
        saveDebouncer_->cancel();
    if (!pending || (filePath_.isEmpty() && text_.isEmpty()))
        return;  // nothing typed that the file lacks
    try {
        save();
    } catch (const std::exception& e) {
        log("❌ Saving before switching notes failed:", e.what());
        keepInRecoveryFile(QString::fromUtf8(e.what()));
    }
}

void MarkdownModel::keepInRecoveryFile(const QString& why)
{
    if (!hasUnsavedEdits())
        return;
    const QString name = filePath_.isEmpty() ? NoteNaming::baseNameOf(text_) : QFileInfo(filePath_).completeBaseName();
    try {
        const QString path = recovery_->keep(name, text_, now());
        log("🛟 저장하지 못한 내용을 복구 파일에 보관:", path, "-", why);
    } catch (const FileError& e) {
        log("❌ 복구 파일도 쓸 수 없음:", e.message());
    }
}

void MarkdownModel::forgetSaveTrouble()
{
    retryTimer_->stop();
    ceilingTimer_->stop();
    nextRetryMs_ = kFirstRetryMs;
    setSaveFailing(false);
}

void MarkdownModel::saveFailed(const std::exception& error)
{
    // Without a folder there is nothing to retry until one is chosen; a note with
    // nothing unsaved has nothing to lose.
    if (dynamic_cast<const ModelError*>(&error) || !hasUnsavedEdits())
        return;
    const bool first = !saveFailing_;
    setSaveFailing(true);
    if (!retryTimer_->isActive()) {
        log(QStringLiteral("❌ 저장 실패 - %1초 후 다시 시도:").arg(nextRetryMs_ / 1000), error.what());
        retryTimer_->start(nextRetryMs_);
        nextRetryMs_ = std::min(nextRetryMs_ * 2, kLongestRetryMs);
    }
    if (first)
        emit notice(QStringLiteral("Not saved: %1. Flintly keeps trying.").arg(QString::fromUtf8(error.what())));
}

void MarkdownModel::retrySave()
{
    if (!hasUnsavedEdits()) {
        forgetSaveTrouble();
        return;
    }
    try {
        save();
    } catch (const std::exception&) {
        // saveFailed() has scheduled the next try.
    }
}

bool MarkdownModel::moveNoteFile(const QString& from, const QString& to)
{
    if (!QFileInfo::exists(from))
        return true;  // deleted from outside: the next write creates the new name
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) {
        diskState_.moved(to);
        return true;
    }
    log("❌ 파일 이름 변경 실패:", QFileInfo(from).fileName(), "→", QFileInfo(to).fileName(), "-",
        QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

void MarkdownModel::guardAgainstOverwritingOutsideChange(const QByteArray& bytes)
{
    if (filePath_.isEmpty() || !diskState_.changedOnDisk(filePath_))
        return;
    QFile current(filePath_);
    if (current.open(QIODevice::ReadOnly) && current.size() == bytes.size() && current.readAll() == bytes)
        return;  // someone wrote exactly what we are about to write
    try {
        const QString copy = keepConflictCopy(filePath_, now());
        log("⚠️ 외부 변경과 충돌 - 사본 보관:", QFileInfo(copy).fileName());
        emit notice(conflictNotice(copy));
    } catch (const FileError& e) {
        // Without the copy, writing would destroy the outside version: refuse.
        log("❌ 충돌 사본을 만들 수 없어 저장을 건너뜀:", e.message());
        throw;
    }
}

QByteArray MarkdownModel::bytesToWrite() const
{
    const QByteArray utf8 = text_.toUtf8();
    return hadByteOrderMark_ ? kByteOrderMark + utf8 : utf8;
}

bool MarkdownModel::watchIsLive() const { return fileWatch_ && fileWatch_->isLive(); }

void MarkdownModel::save()
{
    const bool wasNew = filePath_.isEmpty();
    const QString previousPath = filePath_;
    setIsSavingFlag(true);
    const quint64 serial = ++saveSerial_;
    log("💾 save() start — current url:", pathOrNil(filePath_), " | saveFolder:", pathOrNil(saveFolderPath()));
    if (saveFolder_.isEmpty()) {
        setIsSavingFlag(false);
        throw ModelError(ModelError::Code::noFolder);
    }
    if (!securityAccess_)
        securityAccess_ = Bookmark::startAccessing(saveFolderPath());

    // The file already holds the text (a note just opened or reloaded, or saved a
    // moment ago): writing it back would only touch the file, and an outside version
    // that arrived meanwhile is the watcher's to pick up, not ours to overwrite.
    const QString base = NoteNaming::baseNameOf(text_);
    const bool renameDue = isScratch_ && !NoteNaming::nameFollowsBase(QFileInfo(filePath_).completeBaseName(), base);
    if (!wasNew && !renameDue && !hasUnsavedEdits() && QFileInfo::exists(filePath_)) {
        setIsSavingFlag(false);
        forgetSaveTrouble();
        return;
    }

    const bool folderWasMissing = !QFileInfo(saveFolderPath()).isDir();
    try {
        const QByteArray bytes = bytesToWrite();
        guardAgainstOverwritingOutsideChange(bytes);
        bool urlChanged = false;
        if (wasNew) {
            setFilePath(NoteNaming::uniqueFilePath(saveFolderPath(), base));
            log("📝 첫 저장: 새 URL 생성 -", QFileInfo(filePath_).fileName());
            urlChanged = true;
        } else if (renameDue) {
            const QString target = NoteNaming::uniqueFilePath(saveFolderPath(), base);
            // A move that fails keeps the note in its file, so no second copy appears.
            if (moveNoteFile(filePath_, target)) {
                setFilePath(target);
                log("📝 파일 이름 변경:", QFileInfo(previousPath).fileName(), "→", QFileInfo(target).fileName());
                urlChanged = true;
            }
        }

        FileStamp stamp;
        try {
            stamp = writeFileDurably(filePath_, bytes);
        } catch (const NotDurableError& e) {
            // The bytes are ours, so the retry must not take them for an outside change.
            diskState_.remember(filePath_, bytes, e.written());
            throw;
        }
        savedText_ = text_;
        diskState_.remember(filePath_, bytes, stamp);
        if (folderWasMissing)
            log("📁 노트 폴더가 없어서 다시 만듦:", saveFolderPath());
        const QDateTime t = now();
        lastSaveTime_ = t;
        log("💾 저장 시간 업데이트:", formatLogDate(t));
        forgetSaveTrouble();

        if (wasNew || urlChanged) {
            log("🔄 URL 변경 감지 - 파일 모니터링 재시작");
            startFileMonitoring();
            if (wasNew)
                events::firstSave(tracker(), debugIDString().toStdString(), graphemeCount(text_));
        } else if (!watchIsLive()) {
            // The folder vanished (and this save made it again): watch the new one.
            startFileMonitoring();
        }
    } catch (const std::exception& e) {
        setIsSavingFlag(false);
        // A first save that wrote nothing leaves the note new, so the next try is
        // again its first save (and names and reports it as one).
        if (wasNew && !QFileInfo::exists(filePath_))
            setFilePath(QString());
        saveFailed(e);
        throw;
    }
    recomputeStatistics();
    time_->runAfter(kSavingFlagReleaseMs, this, [this, serial] {
        if (serial != saveSerial_)
            return;  // a later save holds the flag now
        setIsSavingFlag(false);
        log("🔓 저장 완료 - 플래그 해제");
    });
}

void MarkdownModel::rename(const QString& proposedName)
{
    const QString name = leftGraphemes(NoteNaming::sanitize(proposedName), NoteNaming::kNameLength);
    if (name.isEmpty() || name == currentFileName_)
        return;
    if (!filePath_.isEmpty()) {
        try {
            const QString folder = QFileInfo(filePath_).absolutePath();
            const QString target = NoteNaming::uniqueFilePath(folder, name);
            const bool granted = !securityAccess_ && Bookmark::startAccessing(filePath_);
            const QString old = filePath_;
            if (moveNoteFile(filePath_, target)) {
                setFilePath(target);
                if (fileWatch_)
                    fileWatch_->follow(target);
            }
            if (granted)
                Bookmark::stopAccessing(old);
        } catch (const FileError& e) {
            log("❌ 파일 이름 변경 실패:", e.message());
        }
    }
    setCurrentFileName(name);
}

}  // namespace flintly

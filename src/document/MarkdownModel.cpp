#include "document/MarkdownModel.h"

#include "core/SerialQueue.h"
#include "core/UsageTracker.h"
#include "document/DocumentErrors.h"
#include "document/DurableWrite.h"
#include "document/EditorBridge.h"
#include "document/NoteNaming.h"
#include "document/TextDecoding.h"
#include "platform/Bookmark.h"
#include "platform/Dialogs.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/SettingsStore.h"

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
}  // namespace

QString formatLogDate(const QDateTime& t);  // FileMonitor.cpp

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
    state_->model = this;
    state_->clock = deps_.clock;
    state_->lastSaveTime = distantPast();
    state_->lastUserEditTime = distantPast();
    fileMonitorQueue_ = std::make_unique<SerialQueue>("FileMonitor", SerialQueue::Priority::Utility);
    state_->queue = fileMonitorQueue_.get();

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

QDateTime MarkdownModel::now() const { return deps_.clock ? deps_.clock() : QDateTime::currentDateTimeUtc(); }

void MarkdownModel::track(const std::string& event, const TrackProperties& props)
{
    (deps_.tracker ? *deps_.tracker : usageTracker()).track(event, props);
}

// --- Published properties -------------------------------------------------------

void MarkdownModel::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    {
        std::lock_guard lock(state_->mutex);
        state_->text = text;
    }
    emit textChanged(text_);
    onTitleSource();
    saveDebouncer_->trigger();
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
    {
        std::lock_guard lock(state_->mutex);
        state_->filePath = path;
    }
    emit urlChanged(url());
}

void MarkdownModel::setSaveFolder(const QUrl& folder)
{
    saveFolder_ = folder;
    runSaveFolderChangeHandler();
    emit saveFolderChanged(folder);
}

void MarkdownModel::setTemplateFolder(const QUrl& folder)
{
    templateFolder_ = folder;
    runTemplateFolderChangeHandler();
    emit templateFolderChanged(folder);
}

bool MarkdownModel::isSaving() const
{
    std::lock_guard lock(state_->mutex);
    return state_->isSaving;
}

QDateTime MarkdownModel::lastSaveTime() const
{
    std::lock_guard lock(state_->mutex);
    return state_->lastSaveTime;
}

QDateTime MarkdownModel::lastUserEditTime() const
{
    std::lock_guard lock(state_->mutex);
    return state_->lastUserEditTime;
}

void MarkdownModel::setIsSavingFlag(bool saving)
{
    std::lock_guard lock(state_->mutex);
    state_->isSaving = saving;
}

void MarkdownModel::setLastSaveTime(const QDateTime& t)
{
    std::lock_guard lock(state_->mutex);
    state_->lastSaveTime = t;
}

void MarkdownModel::setLastUserEditTime(const QDateTime& t)
{
    std::lock_guard lock(state_->mutex);
    state_->lastUserEditTime = t;
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
    QFile file(target);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("%1: %2").arg(target, file.errorString()));
    const QByteArray bytes = file.readAll();
    const auto content = decodeUtf8(bytes);
    if (!content)
        throw FileError(QStringLiteral("%1: the file is not valid UTF-8 text").arg(target));

    // Leaving the current note: what the save pipeline has not written yet goes to the
    // current file first, so switching notes never drops the last half-second of typing.
    if (QFileInfo(target).absoluteFilePath() != QFileInfo(filePath_).absoluteFilePath())
        flushPendingEdits();

    securityAccess_ = access;
    setFilePath(QFileInfo(target).absoluteFilePath());
    setIsScratch(false);
    diskState_.remember(filePath_, bytes);
    setText(*content);
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
    if (!saveFolder_.isEmpty() && !path.startsWith(saveFolderPath())) {
        track("open_external_note", {{"noteId", QFileInfo(path).fileName().toStdString()},
                                     {"folderPath", QFileInfo(path).absolutePath().toStdString()}});
    }
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
    setFilePath(QString());
    setText(QString());
    setCurrentFileName(NoteNaming::kFallbackName);
    setIsScratch(true);
    startFocusSession();
    track("create_note", {{"noteId", debugIDString().toStdString()}});
}

void MarkdownModel::appendText(const QString& markdown)
{
    const QString piece = (text_.isEmpty() ? QString() : QStringLiteral("\n\n")) + markdown;
    setText(text_ + piece);
    if (editorBridge_)
        editorBridge_->appendMarkdown(piece);
}

// --- Saving ----------------------------------------------------------------------

void MarkdownModel::setUpPipelines()
{
    saveDebouncer_ = new Debouncer(kSaveDebounceMs, [this] { onTextSettled(); }, this);
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
    if (!isSaving() && !isReloadingFromExternal_) {
        const QDateTime t = now();
        setLastUserEditTime(t);
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
    if (!saveDebouncer_ || !saveDebouncer_->isPending())
        return;
    saveDebouncer_->cancel();
    if (filePath_.isEmpty() && text_.isEmpty())
        return;  // an untouched new note: nothing to lose
    try {
        save();
    } catch (const std::exception& e) {
        log("❌ Saving before switching notes failed:", e.what());
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

void MarkdownModel::guardAgainstOverwritingOutsideChange()
{
    if (filePath_.isEmpty() || !diskState_.changedOnDisk(filePath_))
        return;
    try {
        const QString copy = keepConflictCopy(filePath_, now());
        log("⚠️ 외부 변경과 충돌 - 사본 보관:", QFileInfo(copy).fileName());
    } catch (const FileError& e) {
        // Without the copy, writing would destroy the outside version: refuse.
        log("❌ 충돌 사본을 만들 수 없어 저장을 건너뜀:", e.message());
        throw;
    }
}

void MarkdownModel::save()
{
    const bool wasNew = filePath_.isEmpty();
    const QString previousPath = filePath_;
    setIsSavingFlag(true);
    log("💾 save() start — current url:", pathOrNil(filePath_), " | saveFolder:", pathOrNil(saveFolderPath()));
    if (saveFolder_.isEmpty()) {
        setIsSavingFlag(false);
        throw ModelError(ModelError::Code::noFolder);
    }
    if (!securityAccess_)
        securityAccess_ = Bookmark::startAccessing(saveFolderPath());

    try {
        guardAgainstOverwritingOutsideChange();
        const QString base = NoteNaming::baseNameOf(text_);
        bool urlChanged = false;
        if (wasNew) {
            setFilePath(NoteNaming::uniqueFilePath(saveFolderPath(), base));
            log("📝 첫 저장: 새 URL 생성 -", QFileInfo(filePath_).fileName());
            urlChanged = true;
        } else if (isScratch_) {
            const QString current = NoteNaming::withoutCounterSuffix(QFileInfo(filePath_).completeBaseName());
            if (current != base) {
                const QString target = NoteNaming::uniqueFilePath(saveFolderPath(), base);
                // A move that fails keeps the note in its file, so no second copy appears.
                if (moveNoteFile(filePath_, target)) {
                    setFilePath(target);
                    log("📝 파일 이름 변경:", QFileInfo(previousPath).fileName(), "→", QFileInfo(target).fileName());
                    urlChanged = true;
                }
            }
        }

        const QByteArray bytes = text_.toUtf8();
        writeFileDurably(filePath_, bytes);
        diskState_.remember(filePath_, bytes);
        const QDateTime t = now();
        setLastSaveTime(t);
        log("💾 저장 시간 업데이트:", formatLogDate(t));

        if (wasNew || urlChanged) {
            log("🔄 URL 변경 감지 - 파일 모니터링 재시작");
            startFileMonitoring();
            if (wasNew)
                track("first_save", {{"noteId", debugIDString().toStdString()},
                                     {"chars", static_cast<std::int64_t>(graphemeCount(text_))}});
        } else if (!fileWatch_) {
            // The folder may have vanished and come back with this save; watch again.
            startFileMonitoring();
        }
    } catch (...) {
        setIsSavingFlag(false);
        // A first save that wrote nothing leaves the note new, so the next try is
        // again its first save (and names and reports it as one).
        if (wasNew && !QFileInfo::exists(filePath_))
            setFilePath(QString());
        throw;
    }
    recomputeStatistics();
    runAfter(kSavingFlagReleaseMs, this, [this] {
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

// Where the note meets its file: the save pipeline's end, saving and naming on save,
// conflict copies, recovery files, renames, and what to do with another program's
// version once the monitor has read it.
#include "document/MarkdownModel.h"

#include "core/AppEvents.h"
#include "document/DocumentErrors.h"
#include "document/DurableWrite.h"
#include "document/LogDate.h"
#include "document/NoteNaming.h"
#include "document/RecoveryStore.h"
#include "document/TextDecoding.h"
#include "platform/Bookmark.h"
#include "platform/Dialogs.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/TimeSource.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <cerrno>
#include <cstring>

namespace flintly {

namespace {
constexpr int kSavingFlagReleaseMs = 100;
const QByteArray kByteOrderMark("\xEF\xBB\xBF");

QString pathOrNil(const QString& path) { return path.isEmpty() ? QStringLiteral("nil") : path; }
}  // namespace

// --- Reading ---------------------------------------------------------------------

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

    // Only a regular file: reading a pipe or a device would never end.
    if (const auto problem = notePathProblem(target))
        throw FileError(QStringLiteral("%1: %2").arg(target, *problem));
    QFile file(target);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("%1: %2").arg(target, file.errorString()));
    const QByteArray bytes = file.readAll();
    const auto stamp = stampOfDescriptor(file.handle());
    const auto content = decodeUtf8(bytes);
    if (!content)
        throw FileError(QStringLiteral("%1: %2").arg(target, notUtf8Text()));

    securityAccess_ = access;
    setFilePath(QFileInfo(target).absoluteFilePath());
    setIsScratch(false);
    retries_->settled();
    rememberDisk(filePath_, bytes, stamp, *content);
    replaceText(*content, Replacement::note);
    setCurrentFileName(leftGraphemes(QFileInfo(target).fileName(), NoteNaming::kNameLength));
    keepLeftoverTemporaries();
    startFileMonitoring();
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
        } catch (const std::exception&) {}
    });
}

// --- Writing ---------------------------------------------------------------------

void MarkdownModel::rememberDisk(const QString& path, const QByteArray& bytes, std::optional<FileStamp> stamp,
                                 const QString& text)
{
    savedText_ = text;
    hadByteOrderMark_ = bytes.startsWith(kByteOrderMark);
    diskState_.remember(path, bytes, stamp);
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

void MarkdownModel::saveFailed(const std::exception& error)
{
    // Without a folder there is nothing to retry until one is chosen; a note with
    // nothing unsaved has nothing to lose.
    if (dynamic_cast<const ModelError*>(&error) || !hasUnsavedEdits())
        return;
    retries_->failed(QString::fromUtf8(error.what()));
}

void MarkdownModel::saveWhenDue()
{
    if (!hasUnsavedEdits()) {
        retries_->settled();
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
        if (deps_.versions)
            deps_.versions->noteMoved(from, to);
        return true;
    }
    log("❌ 파일 이름 변경 실패:", QFileInfo(from).fileName(), "→", QFileInfo(to).fileName(), "-",
        QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

QByteArray MarkdownModel::bytesToWrite() const
{
    const QByteArray utf8 = text_.toUtf8();
    return hadByteOrderMark_ ? kByteOrderMark + utf8 : utf8;
}

void MarkdownModel::writeNoteFile(QByteArray bytes)
{
    // Another program may write the file while our bytes are on their way to the disk:
    // the version we replaced then comes back displaced, and its changes are merged in
    // and written again. It is let go only once the merged text has landed.
    constexpr int kMostWrites = 3;
    QString merged;
    auto keepAside = [this](const QString& displaced) {
        try {
            QFile file(displaced);
            file.open(QIODevice::ReadOnly);
            keepFileVersionAside(file.readAll());
            QFile::remove(displaced);
        } catch (const FileError&) {
            // It stays where it is, hidden beside the note.
        }
    };
    try {
        for (int attempt = 1;; ++attempt) {
            const QString base = savedText_;
            FileReplacement written;
            try {
                written = replaceFileDurably(filePath_, bytes, diskState_.stampOf(filePath_));
            } catch (const NotDurableError& e) {
                // The bytes are ours, so the retry must not take them for an outside change.
                diskState_.remember(filePath_, bytes, e.written());
                if (!e.displaced().isEmpty())
                    keepAside(e.displaced());
                throw;
            }
            rememberDisk(filePath_, bytes, written.written, text_);
            if (!merged.isEmpty())
                QFile::remove(std::exchange(merged, QString()));
            if (written.displaced.isEmpty())
                return;
            if (attempt == kMostWrites) {
                keepAside(written.displaced);
                return;
            }
            if (!takeInDisplacedVersion(written.displaced, base))
                return;
            merged = written.displaced;
            bytes = bytesToWrite();
        }
    } catch (...) {
        if (!merged.isEmpty())
            keepAside(merged);
        throw;
    }
}

void MarkdownModel::save()
{
    const bool wasNew = filePath_.isEmpty();
    const QString previousPath = filePath_;
    isSaving_ = true;
    const quint64 serial = ++saveSerial_;
    log("💾 save() start — current url:", pathOrNil(filePath_), " | saveFolder:", pathOrNil(saveFolderPath()));
    if (saveFolder_.isEmpty()) {
        isSaving_ = false;
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
        isSaving_ = false;
        retries_->settled();
        return;
    }

    const bool folderWasMissing = !QFileInfo(saveFolderPath()).isDir();
    try {
        takeInOutsideVersion();
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

        // Before the write, so that the text the file held is on its way to the history
        // before the file lets go of it; the history works on its own thread.
        if (deps_.versions)
            deps_.versions->noteSaving(
                {filePath_, wasNew ? QString() : savedText_, text_, hadByteOrderMark_, wasNew, now()});
        writeNoteFile(bytesToWrite());
        if (folderWasMissing)
            log("📁 노트 폴더가 없어서 다시 만듦:", saveFolderPath());
        const QDateTime t = now();
        lastSaveTime_ = t;
        log("💾 저장 시간 업데이트:", formatLogDate(t));
        retries_->settled();

        if (wasNew || urlChanged) {
            log("🔄 URL 변경 감지 - 파일 모니터링 재시작");
            startFileMonitoring();
            if (wasNew)
                events::firstSave(tracker(), debugIDString().toStdString(), graphemeCount(text_));
        } else if (!monitor_->isLive()) {
            // The folder vanished (and this save made it again): watch the new one.
            startFileMonitoring();
        }
    } catch (const std::exception& e) {
        isSaving_ = false;
        // A first save that wrote nothing leaves the note new, so the next try is
        // again its first save (and names and reports it as one).
        if (wasNew && !QFileInfo::exists(filePath_))
            setFilePath(QString());
        saveFailed(e);
        throw;
    }
    recomputeStatistics();
    emit fileWritten(filePath_);
    if (!previousPath.isEmpty() && previousPath != filePath_)
        emit fileWritten(previousPath);
    time_->runAfter(kSavingFlagReleaseMs, this, [this, serial] {
        if (serial != saveSerial_)
            return;  // a later save holds the flag now
        isSaving_ = false;
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
                monitor_->follow(target);
            }
            if (granted)
                Bookmark::stopAccessing(old);
        } catch (const FileError& e) {
            log("❌ 파일 이름 변경 실패:", e.message());
        }
    }
    setCurrentFileName(name);
}

// --- Another program's version ----------------------------------------------------

bool MarkdownModel::noteFileMayHaveChanged() const { return diskState_.stampChanged(filePath_); }

void MarkdownModel::keepOutsideStamp(const OutsideChangeMonitor::Read& read)
{
    rememberDisk(read.path, read.bytes, read.stamp, read.text);
}

void MarkdownModel::reloadOutsideVersion(const OutsideChangeMonitor::Read& read)
{
    log(QStringLiteral("🔄 외부 변경사항 리로드 시작"));
    log(QStringLiteral("   - 이전 내용: %1자").arg(graphemeCount(text_)));
    log(QStringLiteral("   - 새 내용: %1자").arg(graphemeCount(read.text)));
    log("   - 현재 스레드:", isMainThread() ? "메인" : "백그라운드");
    isReloadingFromExternal_ = true;
    log("   - 외부 리로드 플래그 설정: true");
    rememberDisk(read.path, read.bytes, read.stamp, read.text);
    outsideVersion_ = &read;
    replaceText(read.text, Replacement::outside);
    outsideVersion_ = nullptr;
    log("   - 텍스트 업데이트 완료");
    lastUserEditTime_ = distantPast();
    log("   - 사용자 편집 시간 리셋 (외부 변경이므로)");
    runOn(this, [this] {
        isReloadingFromExternal_ = false;
        log("   - 외부 리로드 플래그 해제: false");
    });
    log(QStringLiteral("✅ 외부 변경사항 반영 완료: %1자").arg(graphemeCount(text_)));
}

}  // namespace flintly

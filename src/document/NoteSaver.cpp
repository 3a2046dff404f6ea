#include "document/NoteSaver.h"

#include "core/AppEvents.h"
#include "core/UsageTracker.h"
#include "document/DocumentErrors.h"
#include "document/DurableWrite.h"
#include "document/LogDate.h"
#include "document/NoteFile.h"
#include "document/NoteFolders.h"
#include "document/NoteName.h"
#include "document/NoteNaming.h"
#include "document/NoteText.h"
#include "document/NoteVersionSink.h"
#include "document/OutsideVersions.h"
#include "document/SaveRetries.h"
#include "document/TextDecoding.h"
#include "document/WritingStatistics.h"
#include "platform/Bookmark.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/TimeSource.h"

#include <QFile>
#include <QFileInfo>

#include <utility>

namespace flintly {

namespace {
constexpr int kSaveDebounceMs = 500;
constexpr int kSavingFlagReleaseMs = 100;

QString pathOrNil(const QString& path) { return path.isEmpty() ? QStringLiteral("nil") : path; }
}  // namespace

NoteSaver::NoteSaver(Parts parts, Listeners listeners, TimeSource& time, QObject* parent)
    : QObject(parent), parts_(parts), listeners_(std::move(listeners)), time_(time),
      lastSaveTime_(NoteText::distantPast())
{
    retries_ = new SaveRetries(
        time_, [this] { saveWhenDue(); }, this);
    connect(retries_, &SaveRetries::failingChanged, this, &NoteSaver::saveFailingChanged);
    connect(retries_, &SaveRetries::startedFailing, this, [this](const QString& reason) {
        emit notice(QStringLiteral("Not saved: %1. Flintly keeps trying.").arg(reason));
    });
    debouncer_ = new Debouncer(
        kSaveDebounceMs, [this] { onTextSettled(); }, this, &time_);
}

NoteSaver::~NoteSaver() = default;

bool NoteSaver::failing() const { return retries_->failing(); }

void NoteSaver::schedule() { debouncer_->trigger(); }

void NoteSaver::keepUpWithTyping() { retries_->edited(); }

void NoteSaver::settle() { retries_->settled(); }

QString NoteSaver::saveFolderPath() const { return parts_.folders.saveFolderPath(); }

void NoteSaver::onTextSettled()
{
    if (!isSaving_ && !parts_.outside.isReloading() && parts_.text.changeFromUser()) {
        const QDateTime t = time_.now();
        parts_.text.setLastUserEditTime(t);
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

void NoteSaver::flushPendingEdits()
{
    const QString& text = parts_.text.text();
    const bool pending = debouncer_->isPending() || parts_.file.hasUnsavedEdits(text);
    debouncer_->cancel();
    if (!pending || (parts_.file.path().isEmpty() && text.isEmpty()))
        return;  // nothing typed that the file lacks
    try {
        save();
    } catch (const std::exception& e) {
        log("❌ Saving before switching notes failed:", e.what());
        parts_.file.keepInRecoveryFile(parts_.text.text(), QString::fromUtf8(e.what()), time_.now());
    }
}

void NoteSaver::saveFailed(const std::exception& error)
{
    // Without a folder there is nothing to retry until one is chosen; a note with
    // nothing unsaved has nothing to lose.
    if (dynamic_cast<const ModelError*>(&error) || !parts_.file.hasUnsavedEdits(parts_.text.text()))
        return;
    retries_->failed(QString::fromUtf8(error.what()));
}

void NoteSaver::saveWhenDue()
{
    if (!parts_.file.hasUnsavedEdits(parts_.text.text())) {
        retries_->settled();
        return;
    }
    try {
        save();
    } catch (const std::exception&) {
        // saveFailed() has scheduled the next try.
    }
}

void NoteSaver::writeNoteFile(QByteArray bytes)
{
    // Another program may write the file while our bytes are on their way to the disk:
    // the version we replaced then comes back displaced, and its changes are merged in
    // and written again. It is let go only once the merged text has landed.
    constexpr int kMostWrites = 3;
    NoteFile& file = parts_.file;
    QString merged;
    auto keepAside = [this](const QString& displaced) {
        try {
            QFile version(displaced);
            version.open(QIODevice::ReadOnly);
            parts_.outside.keepFileVersionAside(version.readAll());
            QFile::remove(displaced);
        } catch (const FileError&) {
            // It stays where it is, hidden beside the note.
        }
    };
    try {
        for (int attempt = 1;; ++attempt) {
            const QString base = file.savedText();
            FileReplacement written;
            try {
                written = replaceFileDurably(file.path(), bytes, file.disk().stampOf(file.path()));
            } catch (const NotDurableError& e) {
                // The bytes are ours, so the retry must not take them for an outside change.
                file.disk().remember(file.path(), bytes, e.written());
                if (!e.displaced().isEmpty())
                    keepAside(e.displaced());
                throw;
            }
            file.remember(file.path(), bytes, written.written, parts_.text.text());
            if (!merged.isEmpty())
                QFile::remove(std::exchange(merged, QString()));
            if (written.displaced.isEmpty())
                return;
            if (attempt == kMostWrites) {
                keepAside(written.displaced);
                return;
            }
            if (!parts_.outside.takeInDisplacedVersion(written.displaced, base))
                return;
            merged = written.displaced;
            bytes = file.bytesFor(parts_.text.text());
        }
    } catch (...) {
        if (!merged.isEmpty())
            keepAside(merged);
        throw;
    }
}

void NoteSaver::save()
{
    NoteFile& file = parts_.file;
    const bool wasNew = file.path().isEmpty();
    const QString previousPath = file.path();
    isSaving_ = true;
    const quint64 serial = ++saveSerial_;
    log("💾 save() start — current url:", pathOrNil(file.path()), " | saveFolder:", pathOrNil(saveFolderPath()));
    if (parts_.folders.saveFolder().isEmpty()) {
        isSaving_ = false;
        throw ModelError(ModelError::Code::noFolder);
    }
    if (!file.hasAccess())
        file.setAccess(Bookmark::startAccessing(saveFolderPath()));

    // The file already holds the text (a note just opened or reloaded, or saved a
    // moment ago): writing it back would only touch the file, and an outside version
    // that arrived meanwhile is the watcher's to pick up, not ours to overwrite.
    const QString base = NoteNaming::baseNameOf(parts_.text.text());
    const bool renameDue = parts_.name.fileNameDue(file.path(), parts_.text.text());
    if (!wasNew && !renameDue && !file.hasUnsavedEdits(parts_.text.text()) && QFileInfo::exists(file.path())) {
        isSaving_ = false;
        retries_->settled();
        return;
    }

    const bool folderWasMissing = !QFileInfo(saveFolderPath()).isDir();
    try {
        parts_.outside.takeInOutsideVersion();
        bool urlChanged = false;
        if (wasNew) {
            file.setPath(NoteNaming::uniqueFilePath(saveFolderPath(), base));
            log("📝 첫 저장: 새 URL 생성 -", QFileInfo(file.path()).fileName());
            urlChanged = true;
        } else if (renameDue) {
            const QString target = NoteNaming::uniqueFilePath(saveFolderPath(), base);
            // A move that fails keeps the note in its file, so no second copy appears.
            if (file.move(file.path(), target)) {
                file.setPath(target);
                log("📝 파일 이름 변경:", QFileInfo(previousPath).fileName(), "→", QFileInfo(target).fileName());
                urlChanged = true;
            }
        }

        // Before the write, so that the text the file held is on its way to the history
        // before the file lets go of it; the history works on its own thread.
        if (listeners_.versions)
            listeners_.versions->noteSaving({file.path(), wasNew ? QString() : file.savedText(), parts_.text.text(),
                                             file.hadByteOrderMark(), wasNew, time_.now()});
        writeNoteFile(file.bytesFor(parts_.text.text()));
        if (folderWasMissing)
            log("📁 노트 폴더가 없어서 다시 만듦:", saveFolderPath());
        const QDateTime t = time_.now();
        lastSaveTime_ = t;
        log("💾 저장 시간 업데이트:", formatLogDate(t));
        retries_->settled();

        if (wasNew || urlChanged) {
            log("🔄 URL 변경 감지 - 파일 모니터링 재시작");
            parts_.outside.startMonitoring();
            if (wasNew) {
                UsageTracker& tracker = listeners_.tracker ? *listeners_.tracker : usageTracker();
                events::firstSave(tracker, listeners_.noteId.toStdString(), graphemeCount(parts_.text.text()));
            }
        } else if (!parts_.outside.isLive()) {
            // The folder vanished (and this save made it again): watch the new one.
            parts_.outside.startMonitoring();
        }
    } catch (const std::exception& e) {
        isSaving_ = false;
        // A first save that wrote nothing leaves the note new, so the next try is
        // again its first save (and names and reports it as one).
        if (wasNew && !QFileInfo::exists(file.path()))
            file.setPath(QString());
        saveFailed(e);
        throw;
    }
    parts_.statistics.recompute(saveFolderPath());
    emit fileWritten(file.path());
    if (!previousPath.isEmpty() && previousPath != file.path())
        emit fileWritten(previousPath);
    time_.runAfter(kSavingFlagReleaseMs, this, [this, serial] {
        if (serial != saveSerial_)
            return;  // a later save holds the flag now
        isSaving_ = false;
        log("🔓 저장 완료 - 플래그 해제");
    });
}

}  // namespace flintly

// Watching the open note's file for other programs' changes. Events arrive and files
// are read on the "FileMonitor" queue; the decision between "our own save", "the user
// is typing", "keep both" and "reload" is made on the GUI thread, against the model as
// it is at that moment, so no keystroke can slip in between deciding and applying.
#include "document/MarkdownModel.h"

#include "core/SerialQueue.h"
#include "document/LogDate.h"
#include "document/TextDecoding.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/TimeSource.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace flintly {

namespace {
QString fileNameOf(const QString& path) { return QFileInfo(path).fileName(); }
}  // namespace

void MarkdownModel::stopFileMonitoring()
{
    if (fileWatch_) {
        fileWatch_.reset();
        // Like a cancelled event source, the descriptor is closed on the monitor queue.
        const int fd = watchedFd_;
        watchedFd_ = -1;
        fileMonitorQueue_->async([fd] {
            ::close(fd);
            log("🔒 파일 디스크립터 정리 완료");
        });
    }
    log("⏹️ 파일 모니터링 중단");
}

void MarkdownModel::startFileMonitoring()
{
    if (filePath_.isEmpty()) {
        log("🚨 파일 모니터링 시작 실패: URL이 nil");
        return;
    }
    stopFileMonitoring();
    const QString path = filePath_;
    const QFileInfo info(path);
    log("🔍 파일 모니터링 시도:", fileNameOf(path));
    log("   - 파일 경로:", path);
    log("   - 파일 존재:", info.exists());
    log("   - 읽기 권한:", info.isReadable());

    auto reportOpenFailure = [&](int error) {
        log("🚨 파일 모니터링 실패: 파일을 열 수 없음 -", path);
        log("   - 에러 코드:", error);
        log("   - 에러 설명:", QString::fromLocal8Bit(std::strerror(error)));
    };
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        reportOpenFailure(errno);
        return;
    }
    std::weak_ptr<SharedState> weak = state_;
    int error = 0;
    fileWatch_ = deps_.watcher->watch(path, *fileMonitorQueue_,
                                      [weak](unsigned events) { deliverFileEvents(weak, events); }, &error);
    if (!fileWatch_) {
        ::close(fd);
        reportOpenFailure(error);
        return;
    }
    watchedFd_ = fd;
    log("✅ 파일 모니터링 시작 성공:", fileNameOf(path));
}

void MarkdownModel::deliverFileEvents(const std::weak_ptr<SharedState>& weak, unsigned events)
{
    const std::shared_ptr<SharedState> state = weak.lock();
    bool alive = false;
    if (state) {
        std::lock_guard lock(state->mutex);
        alive = state->model != nullptr;
    }
    if (!alive) {
        log("🚨 파일 시스템 이벤트 감지됨!");
        return;
    }
    log(QStringLiteral("🚨 파일 시스템 이벤트 감지됨! (데이터: %1)").arg(describeFileEvents(events)));
    runOnMainThread([state] {
        if (state->model)
            state->model->decideOnFileEvent(false);
    });
}

void MarkdownModel::decideOnFileEvent(bool lookingAgain)
{
    if (filePath_.isEmpty()) {
        if (!lookingAgain)
            log("🚨 이벤트 처리 실패: URL이 nil");
        return;
    }
    const QString name = fileNameOf(filePath_);
    log("🔔 파일 시스템 이벤트 상세 처리 시작:", name);
    OutsideChange::Snapshot snap;
    snap.hasFile = true;
    snap.isSaving = isSaving_;
    snap.fileExists = QFileInfo::exists(filePath_);
    snap.lastSaveTime = lastSaveTime_;
    snap.lastUserEditTime = lastUserEditTime_;
    snap.now = now();
    const OutsideChange::Decision d = OutsideChange::decide(snap);
    using OutsideChange::Verdict;

    if (d.verdict == Verdict::ownSaveInProgress) {
        log("💾 저장 중이므로 이벤트 무시 (자기 저장)");
    } else {
        log("   - 파일 존재:", snap.fileExists);
        if (d.verdict == Verdict::fileDeleted) {
            log("📁 파일이 삭제됨:", name);
            return;
        }
        log(QStringLiteral("   - 마지막 저장으로부터 경과 시간: %1초").arg(d.secondsSinceSave, 0, 'f', 3));
        log("   - 마지막 저장 시간:", formatLogDate(snap.lastSaveTime));
        if (d.verdict == Verdict::ownSaveWindow) {
            log("🔄 자기 저장 이벤트 감지 - 무시");
        } else {
            log(QStringLiteral("   - 마지막 편집으로부터 경과 시간: %1초").arg(d.secondsSinceEdit, 0, 'f', 1));
            log("   - 마지막 편집 시간:", formatLogDate(snap.lastUserEditTime));
            log("   - 현재 시간:", formatLogDate(snap.now));
            if (d.verdict == Verdict::userTyping)
                log("⏸️ 사용자 편집 후 0.8초 미경과 - 외부 리로드 건너뜀");
        }
    }
    if (d.lookAgainAt) {
        // Refused for now, not dropped: our own write may have hidden someone else's,
        // and a version that lands while the user types is looked at once they pause.
        lookAgainAt(*d.lookAgainAt);
        return;
    }
    log("✅ 쿨다운 통과 - 파일 읽기 시작");
    std::weak_ptr<SharedState> weak = state_;
    const QString path = filePath_;
    fileMonitorQueue_->async([weak, path] { readChangedFile(weak, path); });
}

void MarkdownModel::lookAgainAt(const QDateTime& when)
{
    if (lookAgainTimer_->isActive() && when <= lookAgainAt_)
        return;
    lookAgainAt_ = when;
    lookAgainTimer_->start(static_cast<int>(std::max<qint64>(0, now().msecsTo(when))) + 1);
}

void MarkdownModel::lookAgain()
{
    // Only a file that changed since we last wrote or read it is worth a look: our own
    // saves end here in silence.
    if (filePath_.isEmpty() || !diskState_.stampChanged(filePath_))
        return;
    log("🔁 미뤄둔 외부 변경 다시 확인:", fileNameOf(filePath_));
    decideOnFileEvent(true);
}

void MarkdownModel::readChangedFile(const std::weak_ptr<SharedState>& weak, const QString& path)
{
    const std::shared_ptr<SharedState> state = weak.lock();
    if (!state)
        return;
    QFile file(path);
    OutsideRead read;
    read.path = path;
    std::optional<QString> fresh;
    QString error;
    if (file.open(QIODevice::ReadOnly)) {
        read.bytes = file.readAll();
        read.stamp = stampOfDescriptor(file.handle());
        fresh = decodeUtf8(read.bytes);
        if (!fresh)
            error = QStringLiteral("%1: the file is not valid UTF-8 text").arg(path);
    } else {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
    }
    if (!fresh) {
        log("🚨 외부 파일 읽기 실패:", error);
        return;
    }
    read.text = *fresh;
    log(QStringLiteral("📖 외부 파일 읽기 성공: %1자").arg(graphemeCount(read.text)));
    runOnMainThread([state, read = std::move(read)] {
        if (state->model)
            state->model->applyOutsideRead(read);
    });
}

void MarkdownModel::applyOutsideRead(const OutsideRead& read)
{
    if (read.path != filePath_)
        return;  // another note is open by now
    const qint64 currentChars = graphemeCount(text_);
    log(QStringLiteral("📝 현재 내용: %1자").arg(currentChars));
    const bool typing = lastUserEditTime_.msecsTo(now()) < OutsideChange::kEditCoolDownMs;
    switch (OutsideChange::resolve(read.text == text_, typing, hasUnsavedEdits())) {
    case OutsideChange::Outcome::same:
        log("📋 내용이 동일함 - 업데이트 불필요");
        savedText_ = read.text;
        hadByteOrderMark_ = read.bytes.startsWith("\xEF\xBB\xBF");
        diskState_.remember(read.path, read.bytes, read.stamp);
        return;
    case OutsideChange::Outcome::wait:
        // A key came in while the file was being read.
        log("⏸️ 사용자 편집 후 0.8초 미경과 - 외부 리로드 건너뜀");
        lookAgainAt(lastUserEditTime_.addMSecs(OutsideChange::kEditCoolDownMs));
        return;
    case OutsideChange::Outcome::keepBoth:
        log("🔀 저장하지 않은 편집이 있어 외부 버전은 충돌 사본으로 보관:", fileNameOf(read.path));
        try {
            save();  // keeps the file's version as a conflict copy, then writes the user's
        } catch (const std::exception&) {
            // saveFailed() retries; the outside version stays in the file meanwhile.
        }
        return;
    case OutsideChange::Outcome::reload:
        break;
    }
    log("🔄 외부 변경 감지 - 파일 리로드:", fileNameOf(read.path));
    log(QStringLiteral("   - 변경 전: %1자").arg(currentChars));
    log(QStringLiteral("   - 변경 후: %1자").arg(graphemeCount(read.text)));
    applyExternalChange(read);
}

void MarkdownModel::applyExternalChange(const OutsideRead& read)
{
    log(QStringLiteral("🔄 외부 변경사항 리로드 시작"));
    log(QStringLiteral("   - 이전 내용: %1자").arg(graphemeCount(text_)));
    log(QStringLiteral("   - 새 내용: %1자").arg(graphemeCount(read.text)));
    log("   - 현재 스레드:", isMainThread() ? "메인" : "백그라운드");
    isReloadingFromExternal_ = true;
    log("   - 외부 리로드 플래그 설정: true");
    savedText_ = read.text;
    hadByteOrderMark_ = read.bytes.startsWith("\xEF\xBB\xBF");
    diskState_.remember(read.path, read.bytes, read.stamp);
    replaceText(read.text, Replacement::outside);
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

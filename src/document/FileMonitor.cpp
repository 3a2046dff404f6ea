// Watching the open note's file for other programs' changes: the decision between
// "our own save", "the user is typing" and "reload", made on the "FileMonitor" queue.
#include "document/MarkdownModel.h"

#include "core/SerialQueue.h"
#include "document/TextDecoding.h"
#include "platform/Log.h"
#include "platform/MainThread.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace flintly {

namespace {
constexpr double kSelfSaveWindowSeconds = 0.5;
constexpr double kEditCoolDownSeconds = 0.8;

QString fileNameOf(const QString& path) { return QFileInfo(path).fileName(); }

double secondsBetween(const QDateTime& from, const QDateTime& to) { return from.msecsTo(to) / 1000.0; }
}  // namespace

// Dates in logs read as UTC "yyyy-MM-dd HH:mm:ss +0000".
QString formatLogDate(const QDateTime& t)
{
    return t.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

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
                                      [weak](unsigned events) { handleFileEvents(weak, events); }, &error);
    if (!fileWatch_) {
        ::close(fd);
        reportOpenFailure(error);
        return;
    }
    watchedFd_ = fd;
    log("✅ 파일 모니터링 시작 성공:", fileNameOf(path));
}

void MarkdownModel::handleFileEvents(const std::weak_ptr<SharedState>& weak, unsigned events)
{
    const std::shared_ptr<SharedState> state = weak.lock();
    Snapshot snap;
    bool alive = false;
    if (state) {
        std::lock_guard lock(state->mutex);
        alive = state->model != nullptr;
        snap = Snapshot{state->filePath, state->text, state->isSaving, state->lastSaveTime, state->lastUserEditTime};
    }
    if (alive)
        log(QStringLiteral("🚨 파일 시스템 이벤트 감지됨! (데이터: %1)").arg(describeFileEvents(events)));
    else
        log("🚨 파일 시스템 이벤트 감지됨!");
    if (!alive)
        return;

    if (snap.filePath.isEmpty()) {
        log("🚨 이벤트 처리 실패: URL이 nil");
        return;
    }
    const QString name = fileNameOf(snap.filePath);
    log("🔔 파일 시스템 이벤트 상세 처리 시작:", name);
    if (snap.isSaving) {
        log("💾 저장 중이므로 이벤트 무시 (자기 저장)");
        return;
    }
    const bool exists = QFileInfo::exists(snap.filePath);
    log("   - 파일 존재:", exists);
    if (!exists) {
        log("📁 파일이 삭제됨:", name);
        return;
    }
    const QDateTime now = state->clock ? state->clock() : QDateTime::currentDateTimeUtc();
    const double sinceSave = secondsBetween(snap.lastSaveTime, now);
    log(QStringLiteral("   - 마지막 저장으로부터 경과 시간: %1초").arg(sinceSave, 0, 'f', 3));
    log("   - 마지막 저장 시간:", formatLogDate(snap.lastSaveTime));
    if (sinceSave < kSelfSaveWindowSeconds) {
        log("🔄 자기 저장 이벤트 감지 - 무시");
        return;
    }
    const double sinceEdit = secondsBetween(snap.lastUserEditTime, now);
    log(QStringLiteral("   - 마지막 편집으로부터 경과 시간: %1초").arg(sinceEdit, 0, 'f', 1));
    log("   - 마지막 편집 시간:", formatLogDate(snap.lastUserEditTime));
    log("   - 현재 시간:", formatLogDate(now));
    if (sinceEdit < kEditCoolDownSeconds) {
        log("⏸️ 사용자 편집 후 0.8초 미경과 - 외부 리로드 건너뜀");
        return;
    }
    log("✅ 쿨다운 통과 - 파일 읽기 시작");
    const QString path = snap.filePath;
    state->queue->async([weak, path] { readChangedFile(weak, path); });
}

void MarkdownModel::readChangedFile(const std::weak_ptr<SharedState>& weak, const QString& path)
{
    const std::shared_ptr<SharedState> state = weak.lock();
    if (!state)
        return;
    QFile file(path);
    QByteArray bytes;
    std::optional<QString> fresh;
    QString error;
    if (file.open(QIODevice::ReadOnly)) {
        bytes = file.readAll();
        fresh = decodeUtf8(bytes);
        if (!fresh)
            error = QStringLiteral("%1: the file is not valid UTF-8 text").arg(path);
    } else {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
    }
    if (!fresh) {
        log("🚨 외부 파일 읽기 실패:", error);
        return;
    }
    const qint64 freshChars = graphemeCount(*fresh);
    log(QStringLiteral("📖 외부 파일 읽기 성공: %1자").arg(freshChars));
    QString current;
    {
        std::lock_guard lock(state->mutex);
        current = state->text;
    }
    const qint64 currentChars = graphemeCount(current);
    log(QStringLiteral("📝 현재 내용: %1자").arg(currentChars));
    if (*fresh == current) {
        log("📋 내용이 동일함 - 업데이트 불필요");
        return;
    }
    log("🔄 외부 변경 감지 - 파일 리로드:", fileNameOf(path));
    log(QStringLiteral("   - 변경 전: %1자").arg(currentChars));
    log(QStringLiteral("   - 변경 후: %1자").arg(freshChars));
    runOnMainThread([state, text = *fresh, bytes] {
        if (state->model)
            state->model->applyExternalChange(text, bytes);
    });
}

void MarkdownModel::applyExternalChange(const QString& newText, const QByteArray& bytes)
{
    log(QStringLiteral("🔄 외부 변경사항 리로드 시작"));
    log(QStringLiteral("   - 이전 내용: %1자").arg(graphemeCount(text_)));
    log(QStringLiteral("   - 새 내용: %1자").arg(graphemeCount(newText)));
    log("   - 현재 스레드:", isMainThread() ? "메인" : "백그라운드");
    isReloadingFromExternal_ = true;
    log("   - 외부 리로드 플래그 설정: true");
    if (!filePath_.isEmpty())
        diskState_.remember(filePath_, bytes);
    setText(newText);
    log("   - 텍스트 업데이트 완료");
    setLastUserEditTime(distantPast());
    log("   - 사용자 편집 시간 리셋 (외부 변경이므로)");
    runOn(this, [this] {
        isReloadingFromExternal_ = false;
        log("   - 외부 리로드 플래그 해제: false");
    });
    log(QStringLiteral("✅ 외부 변경사항 반영 완료: %1자").arg(graphemeCount(text_)));
}

}  // namespace flintly

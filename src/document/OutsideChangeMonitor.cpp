#include "document/OutsideChangeMonitor.h"

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

OutsideChangeMonitor::OutsideChangeMonitor(Note& note, FileWatcher& watcher, TimeSource& time)
    : note_(note), watcher_(watcher), time_(time), shared_(std::make_shared<Shared>())
{
    shared_->monitor = this;
    queue_ = std::make_unique<SerialQueue>("FileMonitor", SerialQueue::Priority::Utility);
    lookAgainTimer_ = time_.createTimer([this] { lookAgain(); });
}

OutsideChangeMonitor::~OutsideChangeMonitor()
{
    stop();
    {
        std::lock_guard lock(shared_->mutex);
        shared_->monitor = nullptr;
    }
    queue_.reset();  // runs what is queued (it finds the monitor gone), then joins
}

void OutsideChangeMonitor::stop()
{
    if (watch_) {
        watch_.reset();
        // The watch's own resources are gone with it; like a cancelled event source, the
        // clean-up is reported from the monitor queue, after any event still queued.
        queue_->async([] { log("🔒 파일 디스크립터 정리 완료"); });
    }
    log("⏹️ 파일 모니터링 중단");
}

void OutsideChangeMonitor::start(const QString& path)
{
    if (path.isEmpty()) {
        log("🚨 파일 모니터링 시작 실패: URL이 nil");
        return;
    }
    stop();
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
    // The watch is on the folder, but a file that cannot be opened is not watched: the
    // note then works on without outside-change detection, as the log says.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        reportOpenFailure(errno);
        return;
    }
    ::close(fd);
    std::weak_ptr<Shared> weak = shared_;
    int error = 0;
    watch_ = watcher_.watch(
        path, *queue_, [weak](unsigned events) { deliver(weak, events); }, &error);
    if (!watch_) {
        reportOpenFailure(error);
        return;
    }
    log("✅ 파일 모니터링 시작 성공:", fileNameOf(path));
}

void OutsideChangeMonitor::follow(const QString& newPath)
{
    if (watch_)
        watch_->follow(newPath);
}

void OutsideChangeMonitor::deliver(const std::weak_ptr<Shared>& weak, unsigned events)
{
    const std::shared_ptr<Shared> shared = weak.lock();
    bool alive = false;
    if (shared) {
        std::lock_guard lock(shared->mutex);
        alive = shared->monitor != nullptr;
    }
    if (!alive) {
        log("🚨 파일 시스템 이벤트 감지됨!");
        return;
    }
    log(QStringLiteral("🚨 파일 시스템 이벤트 감지됨! (데이터: %1)").arg(describeFileEvents(events)));
    runOnMainThread([shared] {
        if (shared->monitor)
            shared->monitor->decide(false);
    });
}

void OutsideChangeMonitor::decide(bool lookingAgain)
{
    const QString path = note_.notePath();
    if (path.isEmpty()) {
        if (!lookingAgain)
            log("🚨 이벤트 처리 실패: URL이 nil");
        return;
    }
    const QString name = fileNameOf(path);
    log("🔔 파일 시스템 이벤트 상세 처리 시작:", name);
    OutsideChange::Snapshot snap;
    snap.hasFile = true;
    snap.isSaving = note_.noteIsSaving();
    snap.fileExists = QFileInfo::exists(path);
    snap.lastSaveTime = note_.noteLastSaveTime();
    snap.lastUserEditTime = note_.noteLastUserEditTime();
    snap.now = time_.now();
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
    std::weak_ptr<Shared> weak = shared_;
    queue_->async([weak, path] { read(weak, path); });
}

void OutsideChangeMonitor::lookAgainAt(const QDateTime& when)
{
    if (lookAgainTimer_->isActive() && when <= lookAgainAt_)
        return;
    lookAgainAt_ = when;
    lookAgainTimer_->start(static_cast<int>(std::max<qint64>(0, time_.now().msecsTo(when))) + 1);
}

void OutsideChangeMonitor::lookAgain()
{
    // Only a file that changed since we last wrote or read it is worth a look: our own
    // saves end here in silence.
    const QString path = note_.notePath();
    if (path.isEmpty() || !note_.noteFileMayHaveChanged())
        return;
    log("🔁 미뤄둔 외부 변경 다시 확인:", fileNameOf(path));
    decide(true);
}

bool OutsideChangeMonitor::readVersion(const QString& path, Read& read, QString* error)
{
    read.path = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    read.bytes = file.readAll();
    read.stamp = stampOfDescriptor(file.handle());
    const std::optional<QString> text = decodeUtf8(read.bytes);
    if (!text) {
        *error = QStringLiteral("%1: the file is not valid UTF-8 text").arg(path);
        return false;
    }
    read.text = *text;
    return true;
}

void OutsideChangeMonitor::read(const std::weak_ptr<Shared>& weak, const QString& path)
{
    const std::shared_ptr<Shared> shared = weak.lock();
    if (!shared)
        return;
    Read result;
    QString error;
    if (!readVersion(path, result, &error)) {
        log("🚨 외부 파일 읽기 실패:", error);
        return;
    }
    log(QStringLiteral("📖 외부 파일 읽기 성공: %1자").arg(graphemeCount(result.text)));
    runOnMainThread([shared, result = std::move(result)] {
        if (shared->monitor)
            shared->monitor->resolve(result);
    });
}

void OutsideChangeMonitor::resolve(const Read& read)
{
    if (read.path != note_.notePath())
        return;  // another note is open by now
    if (stampOfFile(read.path) != read.stamp) {
        // Written again since it was read (by us, or by someone else): this version is
        // out of date, and the write that replaced it is what to look at.
        lookAgainAt(time_.now());
        return;
    }
    const QString current = note_.noteText();
    const qint64 currentChars = graphemeCount(current);
    log(QStringLiteral("📝 현재 내용: %1자").arg(currentChars));
    const bool typing = note_.noteLastUserEditTime().msecsTo(time_.now()) < OutsideChange::kEditCoolDownMs;
    switch (OutsideChange::resolve(read.text == current, typing, note_.noteHasUnsavedEdits())) {
    case OutsideChange::Outcome::same:
        log("📋 내용이 동일함 - 업데이트 불필요");
        note_.keepOutsideStamp(read);
        return;
    case OutsideChange::Outcome::wait:
        // A key came in while the file was being read.
        log("⏸️ 사용자 편집 후 0.8초 미경과 - 외부 리로드 건너뜀");
        lookAgainAt(note_.noteLastUserEditTime().addMSecs(OutsideChange::kEditCoolDownMs));
        return;
    case OutsideChange::Outcome::merge: note_.mergeOutsideVersion(read); return;
    case OutsideChange::Outcome::reload: break;
    }
    log("🔄 외부 변경 감지 - 파일 리로드:", fileNameOf(read.path));
    log(QStringLiteral("   - 변경 전: %1자").arg(currentChars));
    log(QStringLiteral("   - 변경 후: %1자").arg(graphemeCount(read.text)));
    note_.reloadOutsideVersion(read);
}

}  // namespace flintly

#include "document/OutsideVersions.h"

#include "document/ConflictCopy.h"
#include "document/DocumentErrors.h"
#include "document/NoteFile.h"
#include "document/NoteText.h"
#include "document/TextDecoding.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/TimeSource.h"

#include <QFile>
#include <QFileInfo>

namespace flintly {

namespace {

QString conflictNotice(const QString& copy)
{
    return QStringLiteral("Another version of this note was kept as “%1”.").arg(QFileInfo(copy).fileName());
}

void logMerge(const TextMerge::Result& merged, const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    if (merged.clean)
        log(QStringLiteral("🔀 외부 변경 병합 완료: %1 - 외부 변경 %2곳 반영").arg(name).arg(merged.changesTaken));
    else
        log(QStringLiteral("🔀 외부 변경 병합 불가 (충돌): %1 - 편집 내용 유지, 외부 버전은 충돌 사본으로 보관")
                .arg(name));
}

}  // namespace

OutsideVersions::OutsideVersions(NoteText& text, NoteFile& file, Host& host, FileWatcher& watcher, TimeSource& time,
                                 QObject* parent)
    : QObject(parent), text_(text), file_(file), host_(host), time_(time),
      monitor_(std::make_unique<OutsideChangeMonitor>(static_cast<OutsideChangeMonitor::Note&>(*this), watcher, time))
{}

OutsideVersions::~OutsideVersions() = default;

void OutsideVersions::startMonitoring() { monitor_->start(file_.path()); }

void OutsideVersions::stopMonitoring() { monitor_->stop(); }

void OutsideVersions::shutDown() { monitor_.reset(); }

void OutsideVersions::takeMerge(TextMerge::Result merged)
{
    text_.expectMerge(text_.text(), merged);
    host_.takeOutsideText(merged.text);
}

void OutsideVersions::takeInOutsideVersion()
{
    const QString path = file_.path();
    if (path.isEmpty() || !file_.disk().changedOnDisk(path))
        return;
    OutsideChangeMonitor::Read file;
    QString error;
    const bool readable = OutsideChangeMonitor::readVersion(path, file, &error);
    if (!readable && file.bytes.isEmpty()) {
        log("🚨 외부 파일 읽기 실패:", error);
        return;  // nothing of theirs to keep: writing ours loses nothing
    }
    const QString base = file_.savedText();
    // Whatever happens to this version next, it is the one the write will replace.
    if (readable)
        file_.remember(file);
    else
        file_.disk().remember(file.path, file.bytes, file.stamp);
    // Emptied (a sync gone wrong, a truncation): nothing to merge or keep, and the
    // user's text goes back in. Or someone wrote exactly what we are about to write.
    if (file.bytes.isEmpty() || file.bytes == file_.bytesFor(text_.text()))
        return;
    if (readable) {
        TextMerge::Result merged = TextMerge::merge(base, text_.text(), file.text);
        logMerge(merged, path);
        if (merged.clean) {
            takeMerge(std::move(merged));
            return;
        }
    }
    // Without the copy, writing would destroy the outside version: keepFileVersionAside
    // throws, and the save is refused.
    keepFileVersionAside(file.bytes);
}

bool OutsideVersions::takeInDisplacedVersion(const QString& displaced, const QString& base)
{
    OutsideChangeMonitor::Read file;
    QString error;
    const bool readable = OutsideChangeMonitor::readVersion(displaced, file, &error);
    file.path = file_.path();
    if (readable && file.text != base) {
        log("🔀 저장하는 사이 파일이 다시 바뀜:", QFileInfo(file_.path()).fileName());
        TextMerge::Result merged = TextMerge::merge(base, text_.text(), file.text);
        logMerge(merged, file_.path());
        if (merged.clean && merged.text != text_.text()) {
            takeMerge(std::move(merged));
            return true;  // written again by the caller, which then lets the version go
        }
        if (merged.clean) {
            QFile::remove(displaced);  // its changes were the user's already
            return false;
        }
    }
    if (!(readable && file.text == base) && !file.bytes.isEmpty()) {
        try {
            keepFileVersionAside(file.bytes);
        } catch (const FileError&) {
            return false;  // it stays where it is, hidden beside the note
        }
    }
    QFile::remove(displaced);
    return false;
}

void OutsideVersions::keepFileVersionAside(const QByteArray& bytes)
{
    try {
        const QString copy = writeConflictCopy(file_.path(), bytes, time_.now());
        log("⚠️ 외부 변경과 충돌 - 사본 보관:", QFileInfo(copy).fileName());
        emit notice(conflictNotice(copy));
    } catch (const FileError& e) {
        log("❌ 충돌 사본을 만들 수 없어 저장을 건너뜀:", e.message());
        throw;
    }
}

void OutsideVersions::keepTextAside()
{
    if (file_.path().isEmpty()) {
        file_.keepInRecoveryFile(text_.text(), QStringLiteral("replaced before it had a file"), time_.now());
        return;
    }
    try {
        const QString copy = writeConflictCopy(file_.path(), file_.bytesFor(text_.text()), time_.now());
        log("⚠️ 외부 변경과 충돌 - 사본 보관:", QFileInfo(copy).fileName());
        emit notice(conflictNotice(copy));
    } catch (const FileError& e) {
        file_.keepInRecoveryFile(text_.text(), e.message(), time_.now());
    }
}

// --- What the monitor needs of the note --------------------------------------------

QString OutsideVersions::notePath() const { return file_.path(); }

QString OutsideVersions::noteText() const { return text_.text(); }

bool OutsideVersions::noteHasUnsavedEdits() const { return file_.hasUnsavedEdits(text_.text()); }

QDateTime OutsideVersions::noteLastUserEditTime() const { return text_.lastUserEditTime(); }

bool OutsideVersions::noteFileMayHaveChanged() const { return file_.disk().stampChanged(file_.path()); }

void OutsideVersions::keepOutsideStamp(const OutsideChangeMonitor::Read& read) { file_.remember(read); }

void OutsideVersions::mergeOutsideVersion(const OutsideChangeMonitor::Read&) { host_.saveMergingOutsideVersion(); }

void OutsideVersions::reloadOutsideVersion(const OutsideChangeMonitor::Read& read)
{
    log(QStringLiteral("🔄 외부 변경사항 리로드 시작"));
    log(QStringLiteral("   - 이전 내용: %1자").arg(graphemeCount(text_.text())));
    log(QStringLiteral("   - 새 내용: %1자").arg(graphemeCount(read.text)));
    log("   - 현재 스레드:", isMainThread() ? "메인" : "백그라운드");
    reloading_ = true;
    log("   - 외부 리로드 플래그 설정: true");
    file_.remember(read);
    host_.takeOutsideText(read.text);
    log("   - 텍스트 업데이트 완료");
    text_.setLastUserEditTime(NoteText::distantPast());
    log("   - 사용자 편집 시간 리셋 (외부 변경이므로)");
    runOn(this, [this] {
        reloading_ = false;
        log("   - 외부 리로드 플래그 해제: false");
    });
    log(QStringLiteral("✅ 외부 변경사항 반영 완료: %1자").arg(graphemeCount(text_.text())));
}

}  // namespace flintly

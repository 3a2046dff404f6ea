// Where another program's version of the note meets the user's edits: merged into them
// before a save overwrites the file, merged in when it turns up in the file's place
// after one, and typing the page did on text that was replaced meanwhile. Only where
// the two cannot be merged is a version kept aside as a conflict copy.
#include "document/MarkdownModel.h"

#include "document/DocumentErrors.h"
#include "document/LeftoverTemporaries.h"
#include "document/RecoveryStore.h"
#include "document/TextDecoding.h"
#include "platform/Log.h"

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

void MarkdownModel::takeMerge(const QString& onto, TextMerge::Result merged, Replacement why)
{
    // Set before the replacement: the editor picks the edits up as the generation moves.
    lastMerge_ = Merge{generation_ + 1, onto, std::move(merged.edits), merged.breaksConverted};
    replaceText(merged.text, why);
}

void MarkdownModel::takeInOutsideVersion()
{
    if (filePath_.isEmpty() || !diskState_.changedOnDisk(filePath_))
        return;
    OutsideChangeMonitor::Read file;
    QString error;
    const bool readable = OutsideChangeMonitor::readVersion(filePath_, file, &error);
    if (!readable && file.bytes.isEmpty()) {
        log("🚨 외부 파일 읽기 실패:", error);
        return;  // nothing of theirs to keep: writing ours loses nothing
    }
    const QString base = savedText_;
    // Whatever happens to this version next, it is the one the write will replace.
    if (readable)
        rememberDisk(file.path, file.bytes, file.stamp, file.text);
    else
        diskState_.remember(file.path, file.bytes, file.stamp);
    // Emptied (a sync gone wrong, a truncation): nothing to merge or keep, and the
    // user's text goes back in. Or someone wrote exactly what we are about to write.
    if (file.bytes.isEmpty() || file.bytes == bytesToWrite())
        return;
    if (readable) {
        TextMerge::Result merged = TextMerge::merge(base, text_, file.text);
        logMerge(merged, filePath_);
        if (merged.clean) {
            outsideVersion_ = &file;
            takeMerge(text_, std::move(merged), Replacement::merge);
            outsideVersion_ = nullptr;
            return;
        }
    }
    // Without the copy, writing would destroy the outside version: keepFileVersionAside
    // throws, and the save is refused.
    keepFileVersionAside(file.bytes);
}

bool MarkdownModel::takeInDisplacedVersion(const QString& displaced, const QString& base)
{
    OutsideChangeMonitor::Read file;
    QString error;
    const bool readable = OutsideChangeMonitor::readVersion(displaced, file, &error);
    file.path = filePath_;
    if (readable && file.text != base) {
        log("🔀 저장하는 사이 파일이 다시 바뀜:", QFileInfo(filePath_).fileName());
        TextMerge::Result merged = TextMerge::merge(base, text_, file.text);
        logMerge(merged, filePath_);
        if (merged.clean && merged.text != text_) {
            outsideVersion_ = &file;
            takeMerge(text_, std::move(merged), Replacement::merge);
            outsideVersion_ = nullptr;
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
        // version, reloaded or merged): the typing is merged into what replaced it.
        if (mergeLateReport(text, baseGeneration))
            return false;
        // Where the two cannot be merged, the typing stays and the replaced text is
        // kept aside.
        log("⚠️ 교체되기 전 내용에 대한 편집 - 사용자 편집 유지, 교체된 내용은 사본으로 보관");
        keepTextAside();
        setText(text);  // a new generation: the page shows the replaced text and gets the user's back
        return false;
    }
    applyEdit(text);
    return true;
}

bool MarkdownModel::mergeLateReport(const QString& report, quint64 baseGeneration)
{
    // The page reports in order: nothing more will come on generations before this one.
    superseded_.erase(superseded_.begin(), superseded_.lower_bound(baseGeneration));
    const auto it = superseded_.find(baseGeneration);
    if (it == superseded_.end())
        return false;
    TextMerge::Result merged = TextMerge::merge(it->second, report, text_);
    if (!merged.clean)
        return false;
    log(QStringLiteral("🔀 교체되기 전 내용에 대한 편집을 새 내용과 병합: %1곳").arg(merged.changesTaken));
    it->second = report;  // the page's next report on that generation grows from this one
    takeMerge(report, std::move(merged), Replacement::lateTyping);
    // It was typed: the watcher's cool-down and the save pipeline treat it so.
    lastUserEditTime_ = now();
    changeFromUser_ = true;
    retries_->edited();
    return true;
}

void MarkdownModel::keepFileVersionAside(const QByteArray& bytes)
{
    try {
        const QString copy = writeConflictCopy(filePath_, bytes, now());
        log("⚠️ 외부 변경과 충돌 - 사본 보관:", QFileInfo(copy).fileName());
        emit notice(conflictNotice(copy));
    } catch (const FileError& e) {
        log("❌ 충돌 사본을 만들 수 없어 저장을 건너뜀:", e.message());
        throw;
    }
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

void MarkdownModel::keepLeftoverTemporaries()
{
    const std::optional<FileStamp> note = diskState_.stampOf(filePath_);
    for (const QString& leftover : leftoverTemporaries(filePath_)) {
        // Older than the note: the version a save swapped out, killed before letting it go.
        const std::optional<FileStamp> stamp = stampOfFile(leftover);
        const std::optional<QString> text = readUtf8File(leftover);
        if ((stamp && note && stamp->mtimeNs < note->mtimeNs) || (text && (text->isEmpty() || *text == savedText_))) {
            QFile::remove(leftover);
            continue;
        }
        if (!text)
            continue;  // not text: not ours to judge
        // A save that never finished: the text it was writing goes where unsaved text goes.
        try {
            const QString kept = recovery_->keep(QFileInfo(filePath_).completeBaseName(), *text, now());
            log("🛟 지난번에 마치지 못한 저장의 내용을 복구 파일에 보관:", kept);
            emit notice(QStringLiteral("Text from a save that did not finish was kept as “%1”.")
                            .arg(QFileInfo(kept).fileName()));
            QFile::remove(leftover);
        } catch (const FileError& e) {
            log("❌ 복구 파일도 쓸 수 없음:", e.message());
        }
    }
}

void MarkdownModel::mergeOutsideVersion(const OutsideChangeMonitor::Read&)
{
    try {
        save();  // reads the file afresh and merges it in before writing
    } catch (const std::exception&) {
        // saveFailed() retries; the outside version stays in the file meanwhile.
    }
}

}  // namespace flintly

#include "document/NoteFile.h"

#include "document/DocumentErrors.h"
#include "document/LeftoverTemporaries.h"
#include "document/NoteNaming.h"
#include "document/NoteVersionSink.h"
#include "document/RecoveryStore.h"
#include "document/TextDecoding.h"
#include "platform/Bookmark.h"
#include "platform/Log.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace flintly {

namespace {
const QByteArray kByteOrderMark("\xEF\xBB\xBF");
}  // namespace

NoteFile::NoteFile(const QString& recoveryFolder, NoteVersionSink* versions, QObject* parent)
    : QObject(parent), recovery_(std::make_unique<RecoveryStore>(
                           recoveryFolder.isEmpty() ? RecoveryStore::defaultFolder() : recoveryFolder)),
      versions_(versions)
{}

NoteFile::~NoteFile() = default;

OutsideChangeMonitor::Read NoteFile::read(const QString& path)
{
    // Only a regular file: reading a pipe or a device would never end.
    if (const auto problem = notePathProblem(path))
        throw FileError(QStringLiteral("%1: %2").arg(path, *problem));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    OutsideChangeMonitor::Read read;
    read.path = path;
    read.bytes = file.readAll();
    read.stamp = stampOfDescriptor(file.handle());
    const auto content = decodeUtf8(read.bytes);
    if (!content)
        throw FileError(QStringLiteral("%1: %2").arg(path, notUtf8Text()));
    read.text = *content;
    return read;
}

void NoteFile::setPath(const QString& path)
{
    if (path == path_)
        return;
    path_ = path;
    emit pathChanged(path_);
}

bool NoteFile::hasUnsavedEdits(const QString& text) const
{
    if (path_.isEmpty())
        return !text.isEmpty();
    return text.size() != savedText_.size() || text != savedText_;
}

QByteArray NoteFile::bytesFor(const QString& text) const
{
    const QByteArray utf8 = text.toUtf8();
    return hadByteOrderMark_ ? kByteOrderMark + utf8 : utf8;
}

void NoteFile::remember(const QString& path, const QByteArray& bytes, std::optional<FileStamp> stamp,
                        const QString& text)
{
    savedText_ = text;
    hadByteOrderMark_ = bytes.startsWith(kByteOrderMark);
    disk_.remember(path, bytes, stamp);
}

void NoteFile::forget()
{
    disk_.forget();
    savedText_.clear();
    hadByteOrderMark_ = false;
}

void NoteFile::releaseAccess()
{
    if (access_ && !path_.isEmpty())
        Bookmark::stopAccessing(path_);
    access_ = false;
}

bool NoteFile::move(const QString& from, const QString& to)
{
    if (!QFileInfo::exists(from))
        return true;  // deleted from outside: the next write creates the new name
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) {
        disk_.moved(to);
        if (versions_)
            versions_->noteMoved(from, to);
        return true;
    }
    log("❌ 파일 이름 변경 실패:", QFileInfo(from).fileName(), "→", QFileInfo(to).fileName(), "-",
        QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

void NoteFile::keepInRecoveryFile(const QString& text, const QString& why, const QDateTime& now)
{
    if (!hasUnsavedEdits(text))
        return;
    const QString name = path_.isEmpty() ? NoteNaming::baseNameOf(text) : QFileInfo(path_).completeBaseName();
    try {
        const QString path = recovery_->keep(name, text, now);
        log("🛟 저장하지 못한 내용을 복구 파일에 보관:", path, "-", why);
    } catch (const FileError& e) {
        log("❌ 복구 파일도 쓸 수 없음:", e.message());
    }
}

void NoteFile::keepLeftoverTemporaries(const QDateTime& now)
{
    const std::optional<FileStamp> note = disk_.stampOf(path_);
    for (const QString& leftover : leftoverTemporaries(path_)) {
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
            const QString kept = recovery_->keep(QFileInfo(path_).completeBaseName(), *text, now);
            log("🛟 지난번에 마치지 못한 저장의 내용을 복구 파일에 보관:", kept);
            emit notice(QStringLiteral("Text from a save that did not finish was kept as “%1”.")
                            .arg(QFileInfo(kept).fileName()));
            QFile::remove(leftover);
        } catch (const FileError& e) {
            log("❌ 복구 파일도 쓸 수 없음:", e.message());
        }
    }
}

}  // namespace flintly

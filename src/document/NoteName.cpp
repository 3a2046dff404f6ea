#include "document/NoteName.h"

#include "document/DocumentErrors.h"
#include "document/NoteFile.h"
#include "document/NoteNaming.h"
#include "document/OutsideChangeMonitor.h"
#include "document/TextDecoding.h"
#include "platform/Bookmark.h"
#include "platform/Log.h"

#include <QFileInfo>

namespace flintly {

NoteName::NoteName(NoteFile& file, OutsideChangeMonitor& monitor, QObject* parent)
    : QObject(parent), file_(file), monitor_(monitor)
{}

void NoteName::setCurrentFileName(const QString& name)
{
    if (name == currentFileName_)
        return;
    currentFileName_ = name;
    emit currentFileNameChanged(name);
}

void NoteName::setIsScratch(bool scratch)
{
    if (scratch == isScratch_)
        return;
    isScratch_ = scratch;
    emit isScratchChanged(scratch);
}

void NoteName::startFollowing(const QString& text)
{
    following_ = true;
    follow(text);
}

void NoteName::follow(const QString& text)
{
    if (!following_ || !isScratch_)
        return;
    setCurrentFileName(NoteNaming::displayNameOf(text));
}

bool NoteName::fileNameDue(const QString& path, const QString& text) const
{
    return isScratch_ && !NoteNaming::nameFollowsBase(QFileInfo(path).completeBaseName(), NoteNaming::baseNameOf(text));
}

void NoteName::rename(const QString& proposedName)
{
    const QString name = leftGraphemes(NoteNaming::sanitize(proposedName), NoteNaming::kNameLength);
    if (name.isEmpty() || name == currentFileName_)
        return;
    if (!file_.path().isEmpty()) {
        try {
            const QString folder = QFileInfo(file_.path()).absolutePath();
            const QString target = NoteNaming::uniqueFilePath(folder, name);
            const bool granted = !file_.hasAccess() && Bookmark::startAccessing(file_.path());
            const QString old = file_.path();
            if (file_.move(old, target)) {
                file_.setPath(target);
                monitor_.follow(target);
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

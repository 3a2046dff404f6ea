// The notes folder and the template folder: where they are kept between runs, and the
// notes folder chosen by the user.
#include "document/MarkdownModel.h"

#include "platform/Bookmark.h"
#include "platform/Dialogs.h"
#include "platform/Log.h"
#include "platform/MainThread.h"

#include <QDir>
#include <QPointer>

namespace flintly {

namespace {
QString pathOrNil(const QString& path) { return path.isEmpty() ? QStringLiteral("nil") : path; }
}  // namespace

void MarkdownModel::setSaveFolder(const QUrl& folder)
{
    saveFolder_ = folder;
    runSaveFolderChangeHandler();
    emit saveFolderChanged(folder);
    // Text typed while there was nowhere to save it goes there now.
    if (!folder.isEmpty() && hasUnsavedEdits())
        saveDebouncer_->trigger();
}

void MarkdownModel::setTemplateFolder(const QUrl& folder)
{
    templateFolder_ = folder;
    runTemplateFolderChangeHandler();
    emit templateFolderChanged(folder);
}

std::optional<QUrl> MarkdownModel::resolveSaveFolderBookmark()
{
    return folders_.resolve(FolderBookmarks::Folder::notes);
}

std::optional<QUrl> MarkdownModel::resolveTemplateFolderBookmark()
{
    return folders_.resolve(FolderBookmarks::Folder::templates);
}

void MarkdownModel::runSaveFolderChangeHandler()
{
    log("🪵 saveFolder didSet →", pathOrNil(saveFolderPath()));
    folders_.store(FolderBookmarks::Folder::notes, saveFolder_);
}

void MarkdownModel::runTemplateFolderChangeHandler()
{
    folders_.store(FolderBookmarks::Folder::templates, templateFolder_);
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
        // The draft being typed belongs to the folder it was begun in: saved (or first
        // named) there now, before the new folder would take it in.
        if (!self->saveFolder_.isEmpty())
            self->flushPendingEdits();
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

}  // namespace flintly

#include "document/NoteFolders.h"

#include "platform/Dialogs.h"
#include "platform/Log.h"
#include "platform/MainThread.h"

#include <QDir>
#include <QPointer>

namespace flintly {

namespace {
QString pathOrNil(const QString& path) { return path.isEmpty() ? QStringLiteral("nil") : path; }
}  // namespace

NoteFolders::NoteFolders(SettingsStore& settings, QObject* parent) : QObject(parent), bookmarks_(settings)
{
    std::optional<QUrl> folder = resolveSaveFolderBookmark();
    if (!folder)
        folder = bookmarks_.storedNotesFolderUrl();
    if (folder) {
        saveFolder_ = *folder;
        storeSaveFolder();
    }
    templateFolder_ = resolveTemplateFolderBookmark().value_or(QUrl());
    storeTemplateFolder();
}

void NoteFolders::setSaveFolder(const QUrl& folder)
{
    saveFolder_ = folder;
    storeSaveFolder();
    emit saveFolderChanged(folder);
}

void NoteFolders::setTemplateFolder(const QUrl& folder)
{
    templateFolder_ = folder;
    storeTemplateFolder();
    emit templateFolderChanged(folder);
}

std::optional<QUrl> NoteFolders::resolveSaveFolderBookmark()
{
    return bookmarks_.resolve(FolderBookmarks::Folder::notes);
}

std::optional<QUrl> NoteFolders::resolveTemplateFolderBookmark()
{
    return bookmarks_.resolve(FolderBookmarks::Folder::templates);
}

bool NoteFolders::holdsByPrefix(const QString& path) const
{
    // A plain string-prefix test, not a folder-by-folder one: a sibling whose name merely
    // begins with the notes folder's ("Notes2" beside "Notes") counts as inside. This is
    // how the analytics events have always told internal notes from external ones, and
    // changing it would make the reported numbers incomparable across versions.
    return path.startsWith(saveFolderPath());
}

void NoteFolders::chooseSaveFolder(FileChooser* chooser, std::function<void(const QString&)> take,
                                   std::function<void(std::optional<QUrl>)> completion)
{
    log("🐛 chooseSaveFolder on main? –", isMainThread());
    if (!isMainThread()) {
        QPointer<NoteFolders> self(this);
        runOnMainThread([self, chooser, take = std::move(take), completion = std::move(completion)]() mutable {
            if (self)
                self->chooseSaveFolder(chooser, std::move(take), std::move(completion));
        });
        return;
    }
    if (!chooser) {
        completion(std::nullopt);
        return;
    }
    QPointer<NoteFolders> self(this);
    FolderRequest request;
    request.prompt = QStringLiteral("Choose Folder");
    request.canCreateDirectories = true;
    chooser->chooseFolder(
        request, [self, take = std::move(take), completion = std::move(completion)](std::optional<QString> chosen) {
            if (!self || !chosen || chosen->isEmpty()) {
                completion(std::nullopt);
                return;
            }
            const QString folder = QDir::cleanPath(*chosen);
            log("✅ picked folder →", folder);
            take(folder);
            completion(QUrl::fromLocalFile(folder));
        });
}

void NoteFolders::storeSaveFolder()
{
    log("🪵 saveFolder didSet →", pathOrNil(saveFolderPath()));
    bookmarks_.store(FolderBookmarks::Folder::notes, saveFolder_);
}

void NoteFolders::storeTemplateFolder() { bookmarks_.store(FolderBookmarks::Folder::templates, templateFolder_); }

}  // namespace flintly

#include "document/FolderBookmarks.h"

#include "platform/Bookmark.h"
#include "platform/Log.h"
#include "platform/SettingsStore.h"

namespace flintly {

namespace {

QString keyOf(FolderBookmarks::Folder which)
{
    return which == FolderBookmarks::Folder::notes ? settingskeys::savedFolderBookmark
                                                   : settingskeys::templateFolderBookmark;
}
}  // namespace

std::optional<QUrl> FolderBookmarks::resolve(Folder which) const
{
    const auto bytes = settings_.bytesValue(keyOf(which));
    if (!bytes)
        return std::nullopt;
    QString error;
    const auto resolved = Bookmark::resolve(*bytes, &error);
    if (!resolved) {
        log(which == Folder::notes ? "❌ Failed to load bookmark:" : "❌ Failed to load template bookmark:", error);
        return std::nullopt;
    }
    if (!Bookmark::startAccessing(resolved->path))
        return std::nullopt;
    return QUrl::fromLocalFile(resolved->path);
}

std::optional<QUrl> FolderBookmarks::storedNotesFolderUrl() const
{
    return settings_.fileUrlValue(settingskeys::saveFolder);
}

void FolderBookmarks::store(Folder which, const QUrl& folder)
{
    if (folder.isEmpty()) {
        if (which == Folder::templates)
            settings_.remove(settingskeys::templateFolderBookmark);
        return;
    }
    QString error;
    if (const auto bytes = Bookmark::create(folder.toLocalFile(), &error))
        settings_.setValue(keyOf(which), *bytes);
    else
        log(which == Folder::notes ? "❌ Failed to save bookmark:" : "❌ Failed to save template bookmark:", error);
    // The URL too, so a folder whose bookmark fails is still found next time.
    if (which == Folder::notes)
        settings_.setFileUrl(settingskeys::saveFolder, folder);
}

}  // namespace flintly

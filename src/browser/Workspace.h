#pragma once

#include "browser/SortMode.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariant>

namespace flintly {

class FileChooser;
class MarkdownModel;
class SettingsStore;

// The note browser's workspace: the pinned folders shown as chips, the notes folder
// kept first among them while "showDefaultFolder" is on, the folder being browsed and
// the sort order. Pinned folders are stored as bookmarks under "pinnedBookmarks".
//
// Folder URLs are normalised on the way in (clean absolute path, no trailing slash),
// so the same folder reached through the settings, a bookmark or the folder chooser
// compares equal.
class Workspace : public QObject {
    Q_OBJECT
public:
    Workspace(SettingsStore& settings, MarkdownModel* model, FileChooser* chooser, QObject* parent = nullptr);

    static QUrl folderUrl(const QString& path);
    static QUrl folderUrl(const QUrl& url);

    // Resolves the stored bookmarks: unresolvable and stale ones are dropped, and of
    // folders whose paths differ only in letter case the first is kept.
    static QList<QUrl> loadPinned(const SettingsStore& settings);
    // The same, keeping the folders that are not there now (an unmounted drive) with
    // their stored bookmarks: they stay pinned, shown unavailable, until they return.
    struct Pins {
        QList<QUrl> folders;                  // in chip order, unavailable ones included
        QHash<QUrl, QByteArray> unavailable;  // with the bookmark they were stored as
    };
    static Pins loadPins(const SettingsStore& settings);
    // Folders whose bookmark cannot be made are left out silently.
    static void savePinned(SettingsStore& settings, const QList<QUrl>& folders);

    const QList<QUrl>& pinned() const { return pinned_; }
    bool isAvailable(const QUrl& folder) const { return !unavailable_.contains(folder); }
    // Pinned folders that were not there come back once they are.
    void reloadUnavailable();
    // The browsed folder; empty when the list shows recent files.
    QUrl vaultURL() const { return vaultURL_; }
    // The notes folder as the browser last saw it.
    QUrl currentCore() const { return currentCore_; }
    QUrl dragging() const { return dragging_; }

    SortMode sortMode() const { return sortMode_; }
    void setSortMode(SortMode mode);
    bool showDefaultFolder() const { return showDefaultFolder_; }
    // Writes the setting; the workspace reacts to it as to any other writer's.
    void setShowDefaultFolder(bool show);
    // Whether `folder` is the notes folder's chip that cannot be unpinned.
    bool isProtected(const QUrl& folder) const;

    void addPinnedFolder();
    void removePinned(const QUrl& folder);
    void selectPinned(const QUrl& folder);
    // The object of an "OpenPinned" notification: a zero-based index; anything else,
    // or an index past the last chip, is ignored.
    void openPinnedByIndex(const QVariant& index);
    // Browsing sets the folder and asks for it to be opened (browseRequested).
    void browse(const QUrl& folder);
    void syncDefaultFolder(const QUrl& notesFolder);
    void setCurrentCore(const QUrl& folder) { currentCore_ = folderUrl(folder); }

    // Reordering by drag and drop: entering chip `target` while `dragging` moves the
    // dragged chip before the target when it came from the right, after it when it
    // came from the left. Ending the drag stores the order.
    void beginDrag(const QUrl& folder);
    void dragEntered(const QUrl& target);
    void endDrag();

signals:
    void pinnedChanged();
    void vaultURLChanged(const QUrl& folder);
    void browseRequested(const QUrl& folder);
    void sortModeChanged(flintly::SortMode mode);
    void showDefaultFolderChanged(bool show);
    // A chip was chosen: the search text starts over.
    void searchResetRequested();
    // A folder was opened by number: the note list takes the keyboard.
    void listFocusRequested();

private:
    void onSettingChanged(const QString& key);
    void onSaveFolderChanged(const QUrl& folder);
    void setPinned(QList<QUrl> folders);
    // Stores `folders` (an unavailable one as it was stored), only when that changes
    // what is stored: showing quick open writes nothing.
    void store(const QList<QUrl>& folders);
    QUrl notesFolder() const;

    SettingsStore& settings_;
    QPointer<MarkdownModel> model_;
    FileChooser* chooser_ = nullptr;
    QList<QUrl> pinned_;
    QHash<QUrl, QByteArray> unavailable_;
    QUrl vaultURL_;
    QUrl currentCore_;
    QUrl dragging_;
    SortMode sortMode_ = SortMode::modifiedDesc;
    bool showDefaultFolder_ = true;
};

}  // namespace flintly

#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace flintly {

class SettingsStore;

// The notes and template folders as the settings keep them: a bookmark under a key
// (and, for the notes folder, its URL as well), each with the failure lines users and
// support read in the log.
class FolderBookmarks {
public:
    enum class Folder { notes, templates };

    explicit FolderBookmarks(SettingsStore& settings) : settings_(settings) {}

    // The stored folder, or nothing (logged) when its bookmark no longer resolves.
    std::optional<QUrl> resolve(Folder which) const;
    // The URL stored beside the notes folder's bookmark, for when the bookmark yields nothing.
    std::optional<QUrl> storedNotesFolderUrl() const;
    // Stores `folder` (absent: removes the template bookmark; the notes folder's stay).
    void store(Folder which, const QUrl& folder);

private:
    SettingsStore& settings_;
};

}  // namespace flintly

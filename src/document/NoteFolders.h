#pragma once

#include "document/FolderBookmarks.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace flintly {

class FileChooser;
class SettingsStore;

// The notes folder (where new notes are saved) and the template folder, kept between
// runs as bookmarks in the settings.
class NoteFolders : public QObject {
    Q_OBJECT

public:
    // Takes the folders the settings keep; their change signals do not fire for these.
    explicit NoteFolders(SettingsStore& settings, QObject* parent = nullptr);

    QUrl saveFolder() const { return saveFolder_; }
    // The notes folder's local path; empty when there is none.
    QString saveFolderPath() const { return saveFolder_.isEmpty() ? QString() : saveFolder_.toLocalFile(); }
    void setSaveFolder(const QUrl& folder);
    QUrl templateFolder() const { return templateFolder_; }
    void setTemplateFolder(const QUrl& folder);

    std::optional<QUrl> resolveSaveFolderBookmark();
    std::optional<QUrl> resolveTemplateFolderBookmark();

    // Asks the user for a notes folder (on the GUI thread, whichever thread asks):
    // `take` switches the note over to the folder chosen, then `completion` hears of it.
    // Nothing without `chooser` or when the user cancels.
    void chooseSaveFolder(FileChooser* chooser, std::function<void(const QString& folder)> take,
                          std::function<void(std::optional<QUrl>)> completion);

    // Whether `path` counts as inside the notes folder for the usage events.
    bool holdsByPrefix(const QString& path) const;

signals:
    void saveFolderChanged(const QUrl& folder);
    void templateFolderChanged(const QUrl& folder);

private:
    void storeSaveFolder();
    void storeTemplateFolder();

    FolderBookmarks bookmarks_;
    QUrl saveFolder_;
    QUrl templateFolder_;
};

}  // namespace flintly

#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

namespace flintly {

// Platform dialogs sit behind these so that no test ever waits on a window a person
// would have to answer; the real ones live in the widgets platform library.

struct FolderRequest {
    QString prompt;   // the accept button's text, e.g. "Choose Folder"
    QString message;  // what the folder is for, shown with the chooser
    bool canCreateDirectories = true;
    QString startDirectory;
};

struct FileRequest {
    QStringList nameFilters;  // e.g. "Markdown (*.md)"
    QString startDirectory;
};

// Non-modal: the answer comes through the callback on the GUI thread, with nothing
// when the user cancelled.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    virtual void chooseFolder(const FolderRequest& request, std::function<void(std::optional<QString>)> done) = 0;
    virtual void chooseFile(const FileRequest& request, std::function<void(std::optional<QString>)> done) = 0;
};

struct Alert {
    enum class Style { Informational, Warning, Critical };
    Style style = Style::Warning;
    QString title;
    QString message;
    QStringList buttons;  // first is the default; empty means a single "OK"
    // The answer Escape and closing the alert give: the button that changes nothing.
    int escapeButton = 0;
};

// Modal: returns the index of the button pressed (escapeButton when dismissed).
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    virtual int present(const Alert& alert) = 0;
};

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual bool openUrl(const QUrl& url) = 0;
    virtual void revealInFileManager(const QString& path) = 0;
    virtual void beep() = 0;
};

}  // namespace flintly

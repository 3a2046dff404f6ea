#pragma once

#include "templates/DelayedTask.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <memory>
#include <utility>
#include <vector>

namespace flintly {

class FileChooser;
class MarkdownModel;
class SettingsStore;
class TimeSource;
class UrlOpener;

// State of the template panel: the folder whose templates are listed, the pinned
// folders shown as chips, the search text and the filtered list, and inserting a
// template into the open note with its variables filled in. Widgets observe it; it
// knows none of them.
//
// A folder chosen with the folder button is the note's template folder from then on,
// kept across restarts. Before any is chosen, templates live in a default folder
// (`$XDG_DATA_HOME/Flintly/Templates`), which becomes the template folder the first
// time something is put there.
class TemplatePanelViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QUrl folder READ folder NOTIFY folderChanged)
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(QList<QUrl> results READ results NOTIFY resultsChanged)
    Q_PROPERTY(QList<QUrl> pinned READ pinned NOTIFY pinnedChanged)
    Q_PROPERTY(QUrl hovered READ hovered WRITE setHovered NOTIFY hoveredChanged)

public:
    static constexpr int kSearchDebounceMs = 200;
    static constexpr int kCacheLimit = 10;

    struct Dependencies {
        MarkdownModel* model = nullptr;            // required: the open note
        SettingsStore* settings = nullptr;         // required: the pinned folders
        FileChooser* fileChooser = nullptr;        // null: choosing a folder answers "cancel"
        ScheduleTask schedule;                     // null: a Qt timer
        TimeSource* time = nullptr;                // null: the system clock ({{date}}, {{time}})
        std::function<QString()> clipboardText{};  // null: the clipboard is empty
        UrlOpener* urlOpener = nullptr;            // null: a folder is never shown
        QString defaultFolder{};                   // empty: the one under $XDG_DATA_HOME
    };

    explicit TemplatePanelViewModel(Dependencies deps, QObject* parent = nullptr);
    ~TemplatePanelViewModel() override;

    // Empty URLs stand for "none".
    QUrl folder() const { return folder_; }
    QString query() const { return query_; }
    QList<QUrl> results() const { return results_; }
    QList<QUrl> pinned() const { return pinned_; }
    QUrl hovered() const { return hovered_; }
    void setHovered(const QUrl& url);
    // A folder chooser is open on our behalf.
    bool isChoosingFolder() const { return isChoosingFolder_; }
    // The folder has no templates at all (or there is no folder): the panel explains.
    bool hasNoTemplates() const { return allTemplates_.isEmpty(); }
    // Where templates are kept: the folder listed, else the default one.
    QString templatesHome() const;

    QList<QUrl> loadPinned() const;
    void savePinned(const QList<QUrl>& folders);

    // Lists the folder again (the templates on disk may have changed since).
    void reload();
    // Filtering waits for a pause in typing.
    void setQuery(const QString& text);
    // Filters now if typing has not paused yet: the keyboard moving on to the list must
    // find what was typed, however fast.
    void commitQuery();
    void applyFilter();

    void chooseFolder();
    void chooseAndPinFolder();
    void selectFolder(const QUrl& folder);
    // Empties the chip row and the list for this panel only; the stored pins stay.
    void clearFolders();

    // Appends the template to the open note, its variables filled in, and puts the
    // caret at {{cursor}}; false (and the panel stays) when the file cannot be read as
    // UTF-8 text.
    bool applyTemplate(const QUrl& url);

    // The empty panel's three offers. Each puts the default folder to use first when
    // none is chosen. The starter templates never replace a file of the same name.
    void addStarterTemplates();
    // A new, empty template file, opened in the note for writing.
    void newTemplate();
    void openTemplatesFolder();

signals:
    void folderChanged(const QUrl& folder);
    void queryChanged(const QString& query);
    void resultsChanged(const QList<QUrl>& results);
    void pinnedChanged(const QList<QUrl>& pinned);
    void hoveredChanged(const QUrl& hovered);
    // A template went into the note, or one was opened for writing: the panel's cue
    // to go away.
    void templateApplied(const QUrl& url);
    void templateOpened(const QUrl& url);

private:
    void setFolder(const QUrl& folder);
    void setPinned(const QList<QUrl>& pinned);
    void setResults(const QList<QUrl>& results);
    void runFolderChooser(std::function<void(bool chosen)> done);
    // The folder to put templates in, made if missing; empty when it cannot be made.
    QString folderToFill();
    const QList<QUrl>* cached(const QString& query) const;

    Dependencies deps_;
    QPointer<MarkdownModel> model_;
    QUrl folder_;
    QString query_;
    QList<QUrl> results_;
    QList<QUrl> pinned_;
    QUrl hovered_;
    QList<QUrl> allTemplates_;
    std::unique_ptr<DelayedTask> searchTask_;
    bool filterPending_ = false;  // the task's handle outlives its run
    // Results by trimmed query, oldest first; a handful, so a list beats a hash.
    std::vector<std::pair<QString, QList<QUrl>>> filteredCache_;
    bool isChoosingFolder_ = false;
};

}  // namespace flintly

#pragma once

#include "browser/FileInfo.h"
#include "browser/NoteIndex.h"
#include "browser/QueryTimer.h"
#include "browser/ResultRows.h"
#include "browser/SortMode.h"
#include "document/MarkdownModel.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace flintly {

class BrowsedNotes;
class FileChooser;
class RecentFileManager;
class SettingsStore;
class SnippetCache;
class UsageTracker;
class Workspace;

namespace search {
class SearchEngine;
struct Snippet;
}  // namespace search

// The state behind the quick-open list: the search text and its debounce, the found
// notes (by name at once, by text when the content search answers) with their cache,
// and the selected note, over the notes BrowsedNotes reads. No widgets: the view shows
// what this holds and forwards the user's actions to it.
class QuickOpenModel : public QObject {
    Q_OBJECT
public:
    static constexpr int kDebounceMs = 200;
    static constexpr int kCacheLimit = 10;

    struct Dependencies {
        SettingsStore* settings = nullptr;  // required
        // The note document; opening goes through it. Weak: delayed work (the first
        // indexing after start) must not reach a document that is gone.
        QPointer<MarkdownModel> model;
        FileChooser* chooser = nullptr;          // null: "Add" answers cancel
        UsageTracker* tracker = nullptr;         // null: the process-wide tracker
        std::unique_ptr<QueryTimer> queryTimer;  // null: a 200 ms timer
        // Runs a scan job off the GUI thread; null: the global thread pool.
        std::function<void(std::function<void()>)> background;
        std::function<void()> scanPause;         // null: a millisecond every 100 notes
        search::SearchEngine* search = nullptr;  // null: names only
        RecentFileManager* recents = nullptr;    // null: no recent notes
        int indexAfterStartMs = -1;              // the notes folder's first indexing; -1: none
    };

    explicit QuickOpenModel(Dependencies deps, QObject* parent = nullptr);
    ~QuickOpenModel() override;

    Workspace& workspace() const { return *workspace_; }
    MarkdownModel* model() const { return deps_.model; }

    // The notes as listed: found by the applied query, ranked and sorted.
    std::size_t rowCount() const { return rows_ ? rows_->records.size() : 0; }
    const FileInfo& fileAt(std::size_t row) const;
    QList<FileInfo> filteredFiles() const;
    // The row showing `path`, or -1.
    int rowOf(const QString& path) const;
    // Whether the row's note was found by its text (its name does not hold the query).
    bool isContentRow(std::size_t row) const { return rows_ && rows_->isContentRow(row); }
    // The line of the note's text that matched, once read (the list asks again on snippetReady).
    std::optional<search::Snippet> snippetAt(std::size_t row) const;
    // The folder of a listed note below the browsed folder ("" at its top).
    QString folderOf(const FileInfo& file) const;
    // Every note of the browsed folder, in the order of the last finished scan.
    const std::vector<FileInfo>& files() const;
    bool isSearchingText() const { return rows_ && rows_->contentPending; }

    // "Create “query”" ends the list when the query is not the name of a note.
    bool hasCreateRow() const;
    QString createRowText() const;
    // Opens the note named by the query, creating it in the notes folder when there is none.
    void createFromQuery();

    bool isScanning() const;
    // While the notes' texts are being indexed: how many of how many; total 0 otherwise.
    std::pair<qint64, qint64> indexProgress() const;

    QString query() const { return query_; }
    void setQuery(const QString& text);
    QString debouncedQuery() const { return debouncedQuery_; }
    void applyQuery(const QString& text);
    int cachedQueryCount() const { return static_cast<int>(filteredCache_.size()); }
    bool isCached(const QString& key) const { return filteredCache_.contains(key); }

    const std::optional<FileInfo>& selection() const { return selection_; }
    void select(const QString& path);
    // Down arrow from the search field: the first listed note, or none.
    void selectFirst();
    void clearSelection();
    // Opens the selected note if it is listed (never one the filter has hidden).
    void openSelection();
    void open(const QUrl& url);

    // The view appearing and going away.
    void appeared();
    void disappeared();

    void openFolder(const QUrl& folder);

signals:
    // The rows, the progress row, or both changed.
    void listChanged();
    void selectionChanged();
    void queryChanged(const QString& text);
    void listFocusRequested();
    void searchFocusRequested();
    void snippetReady(const QString& path);
    void indexProgressChanged();
    // A note chosen from the list is the open note now.
    void noteOpened(const QUrl& url);

private:
    void scan(const QUrl& folder, bool quietly);
    void completeScan(const QUrl& folder, std::size_t count, bool quietly);
    void refilter();
    // Selects record `index` of `source`, or nothing.
    void setSelection(std::shared_ptr<const NoteIndex> source, std::optional<quint32> index);
    void indexNotesFolder();
    bool openAt(const QUrl& url, bool revealMatch);
    std::shared_ptr<const NoteIndex> source() const;

    Dependencies deps_;
    std::unique_ptr<Workspace> workspace_;
    UsageTracker* tracker_ = nullptr;
    SnippetCache* snippets_ = nullptr;

    BrowsedNotes* notes_ = nullptr;

    QString query_;
    QString debouncedQuery_;
    // Finished lists per "query_sortMode"; rows refer to the source they were made from.
    QHash<QString, std::shared_ptr<const ResultRows>> filteredCache_;
    std::shared_ptr<const ResultRows> rows_;
    std::shared_ptr<const NoteIndex> rowsSource_;
    quint64 textSearch_ = 0;  // the content search whose answer is awaited
    std::optional<FileInfo> selection_;
    // Where the selection came from, so finding its row compares numbers, not paths.
    std::shared_ptr<const NoteIndex> selectionSource_;
    std::optional<quint32> selectionIndex_;
    // Background work checks this (on the GUI thread) before touching the model.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace flintly

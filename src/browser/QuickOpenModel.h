#pragma once

#include "browser/FileInfo.h"
#include "browser/NoteIndex.h"
#include "browser/SortMode.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace flintly {

class FileChooser;
class MarkdownModel;
class SettingsStore;
class UsageTracker;
class Workspace;

// The quiet period between the last keystroke and filtering. Tests fire it by hand.
class QueryTimer {
public:
    virtual ~QueryTimer() = default;
    // Replaces any pending call.
    virtual void start(std::function<void()> fire) = 0;
    virtual void cancel() = 0;
};

// The state behind the quick-open list: the browsed folder's notes (scanned in the
// background), the search text and its debounce, the filtered list with its cache,
// and the selected note. No widgets: the view shows what this holds and forwards the
// user's actions to it.
class QuickOpenModel : public QObject {
    Q_OBJECT
public:
    static constexpr int kDebounceMs = 200;
    static constexpr int kRecentLimit = 5;
    static constexpr int kCacheLimit = 10;

    struct Dependencies {
        SettingsStore* settings = nullptr;       // required
        MarkdownModel* model = nullptr;          // the note document; opening goes through it
        FileChooser* chooser = nullptr;          // null: "Add" answers cancel
        UsageTracker* tracker = nullptr;         // null: the process-wide tracker
        std::unique_ptr<QueryTimer> queryTimer;  // null: a 200 ms timer
        // Runs a scan job off the GUI thread; null: the global thread pool.
        std::function<void(std::function<void()>)> background;
        std::function<void()> scanPause;  // null: a millisecond every 100 notes
    };

    explicit QuickOpenModel(Dependencies deps, QObject* parent = nullptr);
    ~QuickOpenModel() override;

    Workspace& workspace() const { return *workspace_; }
    MarkdownModel* model() const { return deps_.model; }

    // The list as shown: filtered by the applied query and sorted.
    std::size_t rowCount() const { return rows_ ? rows_->size() : 0; }
    const FileInfo& fileAt(std::size_t row) const;
    QList<FileInfo> filteredFiles() const;
    // The row showing `path`, or -1.
    int rowOf(const QString& path) const;
    // Every note of the browsed folder, in the order of the last finished scan.
    const std::vector<FileInfo>& files() const;

    bool isScanning() const { return isScanning_; }
    QStringList recent() const { return recent_; }

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
    // A note chosen from the list is the open note now.
    void noteOpened(const QUrl& url);

private:
    void completeScan(quint64 generation, const QUrl& folder, std::shared_ptr<NoteIndex> index);
    void setFiles(const QUrl& folder, std::shared_ptr<NoteIndex> index);
    void refilter();
    // Selects record `index` of `source`, or nothing.
    void setSelection(std::shared_ptr<const NoteIndex> source, std::optional<quint32> index);
    void cancelRunningScan();
    std::shared_ptr<const NoteIndex> source() const;

    Dependencies deps_;
    std::unique_ptr<Workspace> workspace_;
    UsageTracker* tracker_ = nullptr;

    std::shared_ptr<NoteIndex> files_;                // the browsed folder's notes
    QUrl filesFolder_;                                // the folder they are from
    mutable std::shared_ptr<NoteIndex> recentIndex_;  // the list without a folder
    QStringList recent_;
    bool isScanning_ = false;
    quint64 scanGeneration_ = 0;
    std::shared_ptr<std::atomic<bool>> scanCancelled_;

    QString query_;
    QString debouncedQuery_;
    // Finished lists per "query_sortMode"; rows refer to the source they were made from.
    QHash<QString, std::shared_ptr<const NoteIndex::Rows>> filteredCache_;
    std::shared_ptr<const NoteIndex::Rows> rows_;
    std::shared_ptr<const NoteIndex> rowsSource_;
    std::optional<FileInfo> selection_;
    // Where the selection came from, so finding its row compares numbers, not paths.
    std::shared_ptr<const NoteIndex> selectionSource_;
    std::optional<quint32> selectionIndex_;
    // Background work checks this (on the GUI thread) before touching the model.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace flintly

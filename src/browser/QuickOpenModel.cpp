#include "browser/QuickOpenModel.h"

#include "browser/BrowsedNotes.h"
#include "browser/DebounceTimer.h"
#include "browser/NoteCreation.h"
#include "browser/RecentFileManager.h"
#include "browser/SnippetCache.h"
#include "browser/Workspace.h"
#include "core/AppEvents.h"
#include "core/UsageTracker.h"
#include "document/MarkdownModel.h"
#include "platform/Bookmark.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsStore.h"
#include "search/SearchEngine.h"
#include "search/Snippet.h"

#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>

#include <cstdio>

namespace flintly {

namespace {

QuickOpenModel::Dependencies withDefaults(QuickOpenModel::Dependencies deps)
{
    if (!deps.queryTimer)
        deps.queryTimer = std::make_unique<DebounceTimer>(QuickOpenModel::kDebounceMs);
    if (!deps.background)
        deps.background = [](std::function<void()> job) { QThreadPool::globalInstance()->start(std::move(job)); };
    return deps;
}

// For the benchmarks, which follow the list from outside the process.
void trace(const char* what, std::size_t count)
{
    static const bool on = qEnvironmentVariableIsSet("FLINTLY_TRACE_BROWSER");
    if (on)
        std::fprintf(stderr, "flintly-trace %s %lld %zu\n", what,
                     static_cast<long long>(QDateTime::currentMSecsSinceEpoch()), count);
}

}  // namespace

QuickOpenModel::QuickOpenModel(Dependencies deps, QObject* parent)
    : QObject(parent), deps_(withDefaults(std::move(deps)))
{
    notes_ = new BrowsedNotes({deps_.background, deps_.scanPause, deps_.search, deps_.recents}, this);
    connect(notes_, &BrowsedNotes::filesChanged, this, [this] {
        filteredCache_.clear();
        refilter();
    });
    connect(notes_, &BrowsedNotes::recentsChanged, this, [this] {
        if (debouncedQuery_.trimmed().isEmpty())
            refilter();
    });
    connect(notes_, &BrowsedNotes::rescanStarted, this, &QuickOpenModel::listChanged);
    connect(notes_, &BrowsedNotes::scanCompleted, this, &QuickOpenModel::completeScan);
    connect(notes_, &BrowsedNotes::indexProgressChanged, this, &QuickOpenModel::indexProgressChanged);
    tracker_ = deps_.tracker ? deps_.tracker : &usageTracker();
    workspace_ = std::make_unique<Workspace>(*deps_.settings, deps_.model, deps_.chooser);
    snippets_ = new SnippetCache(deps_.background, this);
    connect(snippets_, &SnippetCache::snippetReady, this, &QuickOpenModel::snippetReady);
    connect(workspace_.get(), &Workspace::browseRequested, this, &QuickOpenModel::openFolder);
    connect(workspace_.get(), &Workspace::sortModeChanged, this, [this] {
        filteredCache_.clear();
        refilter();
    });
    connect(workspace_.get(), &Workspace::searchResetRequested, this, [this] { setQuery(QString()); });
    connect(workspace_.get(), &Workspace::listFocusRequested, this, &QuickOpenModel::listFocusRequested);
    NotificationCenter::defaultCenter().observe(
        QStringLiteral("OpenPinned"), this, [this](const Notification& n) { workspace_->openPinnedByIndex(n.object); });
    if (deps_.search) {
        if (deps_.model)
            connect(deps_.model, &MarkdownModel::fileWritten, this,
                    [this](const QString& path) { deps_.search->noteChanged(path); });
        if (deps_.indexAfterStartMs >= 0)
            QTimer::singleShot(deps_.indexAfterStartMs, this, &QuickOpenModel::indexNotesFolder);
    }
    refilter();
}

QuickOpenModel::~QuickOpenModel() = default;

const FileInfo& QuickOpenModel::fileAt(std::size_t row) const { return rowsSource_->files()[rows_->records[row]]; }

QList<FileInfo> QuickOpenModel::filteredFiles() const
{
    QList<FileInfo> out;
    out.reserve(static_cast<qsizetype>(rowCount()));
    for (std::size_t i = 0; i < rowCount(); ++i)
        out.append(fileAt(i));
    return out;
}

int QuickOpenModel::rowOf(const QString& path) const
{
    if (!rows_)
        return -1;
    const auto& records = rows_->records;
    if (selection_ && selectionIndex_ && selectionSource_ == rowsSource_ && path == selection_->path) {
        const auto at = std::find(records.begin(), records.end(), *selectionIndex_);
        return at == records.end() ? -1 : static_cast<int>(at - records.begin());
    }
    for (std::size_t i = 0; i < rowCount(); ++i)
        if (fileAt(i).path == path)
            return static_cast<int>(i);
    return -1;
}

std::optional<search::Snippet> QuickOpenModel::snippetAt(std::size_t row) const
{
    if (!isContentRow(row))
        return std::nullopt;
    return snippets_->snippet(fileAt(row).path);
}

QString QuickOpenModel::folderOf(const FileInfo& file) const
{
    return file.folderBelow(workspace_->vaultURL().toLocalFile());
}

bool QuickOpenModel::isScanning() const { return notes_->isScanning(); }

std::pair<qint64, qint64> QuickOpenModel::indexProgress() const { return notes_->indexProgress(); }

const std::vector<FileInfo>& QuickOpenModel::files() const { return notes_->files(); }

std::shared_ptr<const NoteIndex> QuickOpenModel::source() const
{
    return notes_->source(!workspace_->vaultURL().isEmpty());
}

void QuickOpenModel::setQuery(const QString& text)
{
    if (text == query_)
        return;
    query_ = text;
    emit queryChanged(text);
    deps_.queryTimer->start([this, text] { applyQuery(text); });
}

void QuickOpenModel::applyQuery(const QString& text)
{
    debouncedQuery_ = text;
    // One entry goes, whichever the table lists first: the cache only has to stay small.
    if (filteredCache_.size() > kCacheLimit)
        filteredCache_.erase(filteredCache_.begin());
    refilter();
}

void QuickOpenModel::refilter()
{
    const std::shared_ptr<const NoteIndex> src = source();
    if (src != rowsSource_)
        filteredCache_.clear();
    const SortMode mode = workspace_->sortMode();
    const QString q = debouncedQuery_.trimmed();
    const QString key = q + QLatin1Char('_') + sortmode::rawValue(mode);
    const search::SearchQuery query = search::SearchQuery::parse(q);
    snippets_->setQuery(query);
    ++textSearch_;
    if (const auto it = filteredCache_.constFind(key); it != filteredCache_.cend()) {
        rows_ = *it;
    } else if (query.isEmpty()) {
        rows_ = std::make_shared<const ResultRows>(allRows(*src, mode, notes_->recentPaths()));
    } else {
        auto names = std::make_shared<const NoteIndex::NameMatches>(src->matchNames(query, mode));
        rows_ = std::make_shared<const ResultRows>(rankedRows(*src, *names, query, mode, nullptr));
        if (deps_.search) {
            const quint64 serial = textSearch_;
            const std::weak_ptr<int> alive = alive_;
            deps_.search->search(
                src->listing(), query, [this, alive, serial, src, names, query, mode, key](search::WordHits hits) {
                    auto rows = std::make_shared<const ResultRows>(rankedRows(*src, *names, query, mode, &hits));
                    runOnMainThread([this, alive, serial, src, rows, key] {
                        if (!alive.lock() || serial != textSearch_ || src != rowsSource_)
                            return;
                        rows_ = rows;
                        filteredCache_.insert(key, rows_);
                        trace("text-results", rows_->records.size());
                        emit listChanged();
                    });
                });
        } else {
            auto done = *rows_;
            done.contentPending = false;
            rows_ = std::make_shared<const ResultRows>(std::move(done));
            filteredCache_.insert(key, rows_);
        }
    }
    rowsSource_ = src;
    emit listChanged();
}

void QuickOpenModel::openFolder(const QUrl& folder) { scan(folder, false); }

// A quiet scan (quick open shown again) keeps the list as it is until the new one is
// in: no progress row, no event, the selection kept where it still is.
void QuickOpenModel::scan(const QUrl& folder, bool quietly) { notes_->scan(folder, workspace_->sortMode(), quietly); }

void QuickOpenModel::completeScan(const QUrl& folder, std::size_t count, bool quietly)
{
    trace("scan-complete", count);
    if (quietly) {
        select(selection_ ? selection_->path : QString());
        return;
    }
    selectFirst();
    events::importScanComplete(*tracker_, folder.toLocalFile().toStdString(), static_cast<std::int64_t>(count));
}

// The notes folder's texts are indexed soon after start, before quick open is first
// shown, so that its first searches read nothing.
void QuickOpenModel::indexNotesFolder()
{
    notes_->indexFirst(deps_.model ? Workspace::folderUrl(deps_.model->saveFolder()).toLocalFile() : QString());
}

void QuickOpenModel::setSelection(std::shared_ptr<const NoteIndex> source, std::optional<quint32> index)
{
    std::optional<FileInfo> file;
    if (source && index)
        file = source->files()[*index];
    const bool same = selection_.has_value() == file.has_value() && (!file || selection_->id == file->id);
    selection_ = std::move(file);
    selectionSource_ = selection_ ? std::move(source) : nullptr;
    selectionIndex_ = selection_ ? index : std::nullopt;
    if (!same)
        emit selectionChanged();
}

void QuickOpenModel::select(const QString& path)
{
    const int row = path.isEmpty() ? -1 : rowOf(path);
    setSelection(rowsSource_,
                 row < 0 ? std::nullopt : std::optional<quint32>(rows_->records[static_cast<std::size_t>(row)]));
}

void QuickOpenModel::selectFirst()
{
    setSelection(rowsSource_, rowCount() ? std::optional<quint32>(rows_->records.front()) : std::nullopt);
}

void QuickOpenModel::clearSelection() { setSelection(nullptr, std::nullopt); }

void QuickOpenModel::openSelection()
{
    if (!selection_)
        return;
    const int row = rowOf(selection_->path);
    if (row < 0)
        return;  // hidden by the filter since it was selected
    openAt(selection_->url(), isContentRow(static_cast<std::size_t>(row)));
}

void QuickOpenModel::open(const QUrl& url) { openAt(url, false); }

bool QuickOpenModel::openAt(const QUrl& url, bool revealMatch)
{
    if (!deps_.model)
        return false;
    deps_.model->open(url);
    if (!deps_.model || QFileInfo(deps_.model->filePath()) != QFileInfo(url.toLocalFile()))
        return false;
    if (revealMatch)
        revealQueryIn(*deps_.model, search::SearchQuery::parse(debouncedQuery_));
    if (deps_.recents)
        if (const auto bookmark = Bookmark::create(url.toLocalFile()))
            deps_.recents->addRecent(url, *bookmark);
    emit noteOpened(url);
    return true;
}

bool QuickOpenModel::hasCreateRow() const
{
    return rows_ && !rows_->hasExactName && !debouncedQuery_.trimmed().isEmpty() && deps_.model
        && !deps_.model->saveFolder().isEmpty();
}

QString QuickOpenModel::createRowText() const { return QStringLiteral("Create “%1”").arg(debouncedQuery_.trimmed()); }

void QuickOpenModel::createFromQuery()
{
    const QString name = query_.trimmed();
    if (name.isEmpty() || !deps_.model)
        return;
    // A note of that name is opened, never created a second time.
    const std::string asTyped = search::SearchQuery::parse(name).utf8Phrase;
    const std::shared_ptr<const NoteIndex> src = source();
    for (quint32 r : src->order(workspace_->sortMode()))
        if (src->foldedName(r) == asTyped) {
            openAt(src->files()[r].url(), false);
            return;
        }
    if (const auto created = createNoteNamed(*deps_.model, name)) {
        if (deps_.search)
            deps_.search->noteChanged(*created);
        emit noteOpened(QUrl::fromLocalFile(*created));
    }
}

void QuickOpenModel::appeared()
{
    const QUrl notes = deps_.model ? deps_.model->saveFolder() : QUrl();
    workspace_->setCurrentCore(notes);
    workspace_->reloadUnavailable();
    // The notes folder takes its place among the chips before one is browsed: it is
    // never stored with the pinned folders, so before this the list would be empty.
    workspace_->syncDefaultFolder(workspace_->currentCore());
    if (workspace_->vaultURL().isEmpty() && !workspace_->pinned().isEmpty())
        workspace_->browse(workspace_->pinned().constFirst());
    else if (!workspace_->vaultURL().isEmpty() && !notes_->isScanning())
        scan(workspace_->vaultURL(), true);  // notes made, renamed or deleted meanwhile
    emit searchFocusRequested();
    if (deps_.model)
        log("🪵 QuickOpenView sees →", deps_.model->debugIDString());
    if (!selection_)
        selectFirst();
}

void QuickOpenModel::disappeared()
{
    for (const QUrl& folder : workspace_->pinned())
        Bookmark::stopAccessing(folder.toLocalFile());
}

}  // namespace flintly

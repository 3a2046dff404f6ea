#include "browser/QuickOpenModel.h"

#include "browser/FolderScanner.h"
#include "browser/Workspace.h"
#include "core/AppEvents.h"
#include "core/UsageTracker.h"
#include "document/MarkdownModel.h"
#include "platform/Bookmark.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsStore.h"

#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>

#include <cstdio>

namespace flintly {

namespace {

class DebounceTimer final : public QueryTimer {
public:
    DebounceTimer()
    {
        timer_.setSingleShot(true);
        timer_.setInterval(QuickOpenModel::kDebounceMs);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            if (auto fire = std::exchange(fire_, nullptr))
                fire();
        });
    }
    void start(std::function<void()> fire) override
    {
        fire_ = std::move(fire);
        timer_.start();
    }
    void cancel() override
    {
        timer_.stop();
        fire_ = nullptr;
    }

private:
    QTimer timer_;
    std::function<void()> fire_;
};

std::shared_ptr<NoteIndex> emptyIndex() { return std::make_shared<NoteIndex>(std::vector<FileInfo>{}); }

}  // namespace

QuickOpenModel::QuickOpenModel(Dependencies deps, QObject* parent)
    : QObject(parent), deps_(std::move(deps)), files_(emptyIndex())
{
    tracker_ = deps_.tracker ? deps_.tracker : &usageTracker();
    if (!deps_.queryTimer)
        deps_.queryTimer = std::make_unique<DebounceTimer>();
    if (!deps_.background)
        deps_.background = [](std::function<void()> job) { QThreadPool::globalInstance()->start(std::move(job)); };
    workspace_ = std::make_unique<Workspace>(*deps_.settings, deps_.model, deps_.chooser);
    connect(workspace_.get(), &Workspace::browseRequested, this, &QuickOpenModel::openFolder);
    connect(workspace_.get(), &Workspace::sortModeChanged, this, [this] {
        filteredCache_.clear();
        refilter();
    });
    connect(workspace_.get(), &Workspace::searchResetRequested, this, [this] { setQuery(QString()); });
    connect(workspace_.get(), &Workspace::listFocusRequested, this, &QuickOpenModel::listFocusRequested);
    NotificationCenter::defaultCenter().observe(
        QStringLiteral("OpenPinned"), this, [this](const Notification& n) { workspace_->openPinnedByIndex(n.object); });

    // Nothing in Flintly writes this list; whatever another version left there is shown
    // while no folder is browsed.
    recent_ = deps_.settings->stringListValue(settingskeys::recentFiles).mid(0, kRecentLimit);
    refilter();
}

QuickOpenModel::~QuickOpenModel() { cancelRunningScan(); }

const FileInfo& QuickOpenModel::fileAt(std::size_t row) const { return rowsSource_->files()[(*rows_)[row]]; }

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
    if (selection_ && selectionIndex_ && selectionSource_ == rowsSource_ && path == selection_->path) {
        const auto at = std::find(rows_->begin(), rows_->end(), *selectionIndex_);
        return at == rows_->end() ? -1 : static_cast<int>(at - rows_->begin());
    }
    for (std::size_t i = 0; i < rowCount(); ++i)
        if (fileAt(i).path == path)
            return static_cast<int>(i);
    return -1;
}

const std::vector<FileInfo>& QuickOpenModel::files() const { return files_->files(); }

std::shared_ptr<const NoteIndex> QuickOpenModel::source() const
{
    if (!workspace_->vaultURL().isEmpty())
        return files_;
    if (!recentIndex_) {
        std::vector<FileInfo> records;
        for (const QString& path : recent_)
            records.push_back(FileInfo::fromAttributes(path));
        recentIndex_ = std::make_shared<NoteIndex>(std::move(records));
    }
    return recentIndex_;
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
    if (const auto it = filteredCache_.constFind(key); it != filteredCache_.cend()) {
        rows_ = *it;
    } else {
        rows_ = std::make_shared<const NoteIndex::Rows>(src->filter(q, mode));
        if (!q.isEmpty())
            filteredCache_.insert(key, rows_);
    }
    rowsSource_ = src;
    emit listChanged();
}

void QuickOpenModel::cancelRunningScan()
{
    if (scanCancelled_)
        scanCancelled_->store(true);
    scanCancelled_.reset();
}

void QuickOpenModel::setFiles(const QUrl& folder, std::shared_ptr<NoteIndex> index)
{
    files_ = std::move(index);
    filesFolder_ = folder;
    filteredCache_.clear();
    refilter();
}

void QuickOpenModel::openFolder(const QUrl& folder)
{
    // Whatever scan is still running is for a list nobody will see.
    cancelRunningScan();
    const quint64 generation = ++scanGeneration_;
    const QString path = folder.toLocalFile();
    const QFileInfo info(path);
    if (!info.isDir() || !info.isReadable()) {
        isScanning_ = false;
        setFiles(folder, emptyIndex());
        return;
    }
    isScanning_ = true;
    if (folder != filesFolder_)
        setFiles(folder, emptyIndex());  // another folder's notes never stand under this chip
    else
        emit listChanged();

    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    scanCancelled_ = cancelled;
    const SortMode mode = workspace_->sortMode();
    const std::weak_ptr<int> alive = alive_;
    const auto pause = deps_.scanPause;
    deps_.background([this, alive, cancelled, generation, folder, path, mode, pause] {
        ScanControl control;
        control.pause = pause;
        control.cancelled = cancelled.get();
        std::vector<FileInfo> found = scanFolder(path, control);
        if (cancelled->load())
            return;
        std::shared_ptr<NoteIndex> index = NoteIndex::sortedBy(std::move(found), mode);
        runOnMainThread([this, alive, generation, folder, index] {
            if (alive.lock())
                completeScan(generation, folder, index);
        });
    });
}

void QuickOpenModel::completeScan(quint64 generation, const QUrl& folder, std::shared_ptr<NoteIndex> index)
{
    // Only the scan of the folder chosen last is shown; isScanning holds until it is in.
    if (generation != scanGeneration_)
        return;
    scanCancelled_.reset();
    isScanning_ = false;
    const std::size_t count = index->size();
    const NoteIndex::Rows& ordered = index->order(workspace_->sortMode());
    const std::optional<quint32> first = ordered.empty() ? std::nullopt : std::optional<quint32>(ordered.front());
    setFiles(folder, index);
    setSelection(index, first);
    // For the benchmarks, which wait for the list from outside the process.
    if (qEnvironmentVariableIsSet("FLINTLY_TRACE_BROWSER"))
        std::fprintf(stderr, "flintly-trace scan-complete %lld %zu\n",
                     static_cast<long long>(QDateTime::currentMSecsSinceEpoch()), count);
    events::importScanComplete(*tracker_, folder.toLocalFile().toStdString(), static_cast<std::int64_t>(count));
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
    const int row = rowOf(path);
    setSelection(rowsSource_, row < 0 ? std::nullopt : std::optional<quint32>((*rows_)[static_cast<std::size_t>(row)]));
}

void QuickOpenModel::selectFirst()
{
    setSelection(rowsSource_, rowCount() ? std::optional<quint32>(rows_->front()) : std::nullopt);
}

void QuickOpenModel::clearSelection() { setSelection(nullptr, std::nullopt); }

void QuickOpenModel::openSelection()
{
    if (selection_)
        open(selection_->url());
}

void QuickOpenModel::open(const QUrl& url)
{
    if (!deps_.model)
        return;
    deps_.model->open(url);
    if (deps_.model && QFileInfo(deps_.model->filePath()) == QFileInfo(url.toLocalFile()))
        emit noteOpened(url);
}

void QuickOpenModel::appeared()
{
    const QUrl notes = deps_.model ? deps_.model->saveFolder() : QUrl();
    workspace_->setCurrentCore(notes);
    // The notes folder takes its place among the chips before one is browsed: it is
    // never stored with the pinned folders, so before this the list would be empty.
    workspace_->syncDefaultFolder(workspace_->currentCore());
    if (workspace_->vaultURL().isEmpty() && !workspace_->pinned().isEmpty())
        workspace_->browse(workspace_->pinned().constFirst());
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

#include "browser/BrowsedNotes.h"

#include "browser/RecentFileManager.h"
#include "search/SearchEngine.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace flintly {

namespace {
std::shared_ptr<NoteIndex> emptyIndex() { return std::make_shared<NoteIndex>(std::vector<FileInfo>{}); }
}  // namespace

BrowsedNotes::BrowsedNotes(Dependencies deps, QObject* parent)
    : QObject(parent), deps_(std::move(deps)), files_(emptyIndex()), scans_(deps_.background, deps_.scanPause),
      firstIndexing_(deps_.background, deps_.scanPause)
{
    if (deps_.recents)
        connect(deps_.recents, &RecentFileManager::filesChanged, this, [this] {
            recentIndex_.reset();
            emit recentsChanged();
        });
    if (deps_.search)
        connect(deps_.search, &search::SearchEngine::indexProgress, this, [this](qint64 done, qint64 total) {
            indexProgress_ = {done, total};
            emit indexProgressChanged();
        });
    // Quitting never waits for a walk or for indexing: both stop where they are.
    if (auto* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            scans_.cancel();
            firstIndexing_.cancel();
            if (deps_.search)
                deps_.search->stop();
        });
}

BrowsedNotes::~BrowsedNotes() = default;

QStringList BrowsedNotes::recentPaths() const
{
    QStringList out;
    if (deps_.recents)
        for (const RecentFile& f : deps_.recents->files())
            out.append(f.url.toLocalFile());
    return out;
}

std::shared_ptr<const NoteIndex> BrowsedNotes::source(bool folderBrowsed) const
{
    if (folderBrowsed)
        return files_;
    if (!recentIndex_) {
        std::vector<FileInfo> records;
        for (const QString& path : recentPaths())
            records.push_back(FileInfo::fromAttributes(path));
        recentIndex_ = std::make_shared<NoteIndex>(std::move(records));
    }
    return recentIndex_;
}

void BrowsedNotes::setFiles(const QUrl& folder, std::shared_ptr<NoteIndex> index)
{
    files_ = std::move(index);
    folder_ = folder;
    emit filesChanged();
}

void BrowsedNotes::scan(const QUrl& folder, SortMode mode, bool quietly)
{
    const QString path = folder.toLocalFile();
    const QFileInfo info(path);
    if (!info.isDir() || !info.isReadable()) {
        isScanning_ = false;
        setFiles(folder, emptyIndex());
        return;
    }
    if (!quietly) {
        isScanning_ = true;
        if (folder != folder_)
            setFiles(folder, emptyIndex());  // another folder's notes never stand under this chip
        else
            emit rescanStarted();
    }

    // Whatever scan is still running is for a list nobody will see.
    scans_.start(path, mode, this, [this, folder, quietly](std::shared_ptr<NoteIndex> index) {
        completeScan(folder, std::move(index), quietly);
    });
}

// Only the scan of the folder chosen last is shown; isScanning holds until it is in.
void BrowsedNotes::completeScan(const QUrl& folder, std::shared_ptr<NoteIndex> index, bool quietly)
{
    isScanning_ = false;
    const std::size_t count = index->size();
    setFiles(folder, index);
    if (deps_.search)
        deps_.search->keepCurrent(folder.toLocalFile(), index->listing());
    emit scanCompleted(folder, count, quietly);
}

void BrowsedNotes::indexFirst(const QString& folder)
{
    if (folder.isEmpty() || !deps_.search || !folder_.isEmpty())
        return;
    firstIndexing_.start(folder, SortMode::modifiedDesc, this, [this, folder](std::shared_ptr<NoteIndex> index) {
        if (folder_.isEmpty())
            deps_.search->keepCurrent(folder, index->listing());
    });
}

}  // namespace flintly

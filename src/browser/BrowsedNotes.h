#pragma once

#include "browser/BackgroundScan.h"
#include "browser/FileInfo.h"
#include "browser/NoteIndex.h"
#include "browser/SortMode.h"

#include <QObject>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace flintly {

class RecentFileManager;

namespace search {
class SearchEngine;
}

// The notes quick open lists from: the browsed folder's, read off the GUI thread, or
// the recent notes while no folder is browsed. Keeps the content search on the notes
// read last, and has the notes folder's texts indexed before anything is browsed.
class BrowsedNotes : public QObject {
    Q_OBJECT
public:
    struct Dependencies {
        BackgroundScan::Background background;   // required
        std::function<void()> scanPause;         // null: a millisecond every 100 notes
        search::SearchEngine* search = nullptr;  // null: nothing indexed
        RecentFileManager* recents = nullptr;    // null: no recent notes
    };

    explicit BrowsedNotes(Dependencies deps, QObject* parent = nullptr);
    ~BrowsedNotes() override;

    // The notes to list: the last scan's while a folder is browsed, the recent ones otherwise.
    std::shared_ptr<const NoteIndex> source(bool folderBrowsed) const;
    // Every note of the folder scanned last, in the order of its scan.
    const std::vector<FileInfo>& files() const { return files_->files(); }
    QStringList recentPaths() const;

    bool isScanning() const { return isScanning_; }
    // While the notes' texts are being indexed: how many of how many; total 0 otherwise.
    std::pair<qint64, qint64> indexProgress() const { return indexProgress_; }

    // Reads `folder`. A quiet scan keeps the notes listed until the new ones are in and
    // never reports that it started.
    void scan(const QUrl& folder, SortMode mode, bool quietly);
    // Indexes the texts of `folder` unless a folder has been scanned meanwhile.
    void indexFirst(const QString& folder);

signals:
    // Other notes to list: another folder's, or the recent ones changed.
    void filesChanged();
    void recentsChanged();
    // A loud scan of the folder already listed began: its notes stay until it ends.
    void rescanStarted();
    void scanCompleted(const QUrl& folder, std::size_t count, bool quietly);
    void indexProgressChanged();

private:
    void setFiles(const QUrl& folder, std::shared_ptr<NoteIndex> index);
    void completeScan(const QUrl& folder, std::shared_ptr<NoteIndex> index, bool quietly);

    Dependencies deps_;
    std::shared_ptr<NoteIndex> files_;                // the folder's notes
    QUrl folder_;                                     // the folder they are from
    mutable std::shared_ptr<NoteIndex> recentIndex_;  // the list without a folder
    bool isScanning_ = false;
    BackgroundScan scans_;
    BackgroundScan firstIndexing_;
    std::pair<qint64, qint64> indexProgress_{0, 0};
};

}  // namespace flintly

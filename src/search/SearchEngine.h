#pragma once

#include "search/ContentIndex.h"
#include "search/SearchQuery.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace flintly {
class SerialQueue;
}

namespace flintly::search {

struct ListedNote {
    QString path;
    NoteStamp stamp;
};
// The notes a browser lists, as its scan found them; searches answer per position.
using Listing = std::shared_ptr<const std::vector<ListedNote>>;
// For each word of a query, for each listed note: whether the note's text holds it.
// With several words, the first word's entry is kPhrase where the text holds them as
// typed, one after the other (looked for only while few notes hold them all).
using WordHits = std::vector<std::vector<char>>;
inline constexpr char kPhrase = 2;

// Content search over the notes the browser lists, with an index of their words kept
// in the cache folder. The index is only ever a shortcut: a listed note it does not
// cover with the listed size and time (not indexed yet, changed since) is read and
// searched directly, so an answer never depends on how far the index has got.
//
// Two threads of its own: the indexer, at idle priority, which keeps the index
// current with what the browser lists and with saved notes and writes it out once
// changes settle; and the searcher, where a newer search supersedes an older one.
class SearchEngine : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString indexFile;         // empty: kept in memory only
        bool idlePriority = true;  // the indexer at the lowest priority
        int saveDelayMs = 3000;
        // Tests: runs on the indexer before each note is read.
        std::function<void(const QString& path)> beforeReading;
    };

    explicit SearchEngine(Options options, QObject* parent = nullptr);
    ~SearchEngine() override;

    // The index at $XDG_CACHE_HOME/Flintly/SearchIndex, created on first use.
    static SearchEngine& shared();
    static QString standardIndexFile();

    // `listing` is everything below `folder` now: notes missing from it leave the
    // index, new or changed ones are indexed (in listing order) in the background.
    void keepCurrent(const QString& folder, Listing listing);
    // A note was written (by us or anyone): indexed again at once if it changed.
    void noteChanged(const QString& path);

    // Calls `done` on the search thread with the hits of `query` in `listing`, unless a
    // newer search started first (then never).
    void search(Listing listing, SearchQuery query, std::function<void(WordHits)> done);

    // Stops indexing and searching for good: quitting never waits for either.
    void stop();
    // Tests and benchmarks: blocks until the indexer has nothing left to do.
    void waitUntilIdle();
    // Notes covered, for the benchmarks.
    qsizetype indexedCount() const;
    std::size_t indexMemoryBytes() const;
    // Writes the index file now (on the indexer), for tests and benchmarks.
    void saveNow();

signals:
    // While notes are being indexed: how many of how many; (0, 0) once done.
    void indexProgress(qint64 done, qint64 total);

private:
    struct Coverage;
    void load();
    void reconcile(const QString& folder, const Listing& listing, quint64 generation);
    void indexOne(const QString& path, NoteStamp stamp);
    void reportProgress(qint64 done, qint64 total, bool force);
    void scheduleSave(int delayMs);
    void writeIndex();
    std::shared_ptr<const Coverage> coverageFor(const Listing& listing);
    WordHits runSearch(const Listing& listing, const SearchQuery& query, quint64 serial);
    void markPhrases(const Listing& listing, const SearchQuery& query, quint64 serial,
                     const std::vector<char>& alreadyRead, WordHits& hits);

    Options options_;
    mutable std::shared_mutex mutex_;  // guards index_
    ContentIndex index_;
    std::atomic<bool> stopped_{false};
    std::atomic<quint64> searchSerial_{0};
    std::atomic<quint64> reconcileSerial_{0};
    std::atomic<bool> savePending_{false};
    std::shared_ptr<const Coverage> coverage_;  // search thread only
    qint64 lastProgressMs_ = 0;                 // indexer only
    std::unique_ptr<SerialQueue> indexer_;
    std::unique_ptr<SerialQueue> searcher_;
};

}  // namespace flintly::search

#include "search/SearchEngine.h"

#include "core/SerialQueue.h"
#include "platform/AppPaths.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "search/NoteText.h"
#include "search/SystemHints.h"
#include "search/TextFolding.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <algorithm>

namespace flintly::search {

namespace {
constexpr qint64 kProgressEveryMs = 100;
constexpr int kSaveDelayPerNoteFactor = 20;

qint64 nowMs() { return QDateTime::currentMSecsSinceEpoch(); }

// The runs of word characters in a folded word: "git-rebase" gives "git", "rebase".
std::vector<std::string> wordRuns(const QString& word)
{
    std::vector<std::string> runs;
    for (const std::string& w : distinctWords(word))
        runs.push_back(w);
    return runs;
}

bool isOneRun(const QString& word)
{
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t u = word[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < word.size()) {
            if (!isWordChar(QChar::surrogateToUcs4(u, word[i + 1].unicode())))
                return false;
            ++i;
        } else if (!isWordChar(u)) {
            return false;
        }
    }
    return true;
}
}  // namespace

// Which index note each listed note is, or kNone where the index does not cover it
// with the listed stamp.
struct SearchEngine::Coverage {
    Listing listing;  // held, so that another listing can never take its address
    quint64 version = 0;
    std::vector<quint32> note;
};

SearchEngine::SearchEngine(Options options, QObject* parent) : QObject(parent), options_(std::move(options))
{
    indexer_ = std::make_unique<SerialQueue>("SearchIndexer", SerialQueue::Priority::Utility);
    searcher_ = std::make_unique<SerialQueue>("Search");
    if (options_.idlePriority)
        indexer_->async([] { makeCurrentThreadLowPriority(); });
    indexer_->async([this] { load(); });
}

SearchEngine::~SearchEngine()
{
    stop();
    indexer_.reset();
    searcher_.reset();
}

QString SearchEngine::standardIndexFile() { return AppPaths::cacheDir() + QStringLiteral("/SearchIndex"); }

SearchEngine& SearchEngine::shared()
{
    // Never destroyed: its threads may still be finishing a note as the process ends.
    static auto* engine = [] {
        Options options;
        options.indexFile = standardIndexFile();
        return new SearchEngine(std::move(options));
    }();
    return *engine;
}

void SearchEngine::stop()
{
    stopped_ = true;
    ++searchSerial_;
    ++reconcileSerial_;
}

void SearchEngine::waitUntilIdle() { indexer_->drain(); }

qsizetype SearchEngine::indexedCount() const
{
    std::shared_lock lock(mutex_);
    return index_.liveCount();
}

std::size_t SearchEngine::indexMemoryBytes() const
{
    std::shared_lock lock(mutex_);
    return index_.memoryBytes();
}

void SearchEngine::load()
{
    if (options_.indexFile.isEmpty())
        return;
    QFile file(options_.indexFile);
    if (!file.exists())
        return;
    QString why;
    std::optional<ContentIndex> loaded;
    if (file.open(QIODevice::ReadOnly))
        loaded = ContentIndex::deserialize(file.readAll(), &why);
    else
        why = file.errorString();
    if (!loaded) {
        log("🔎 Search index could not be used (" + why + "); building it again:", options_.indexFile);
        file.close();
        QFile::remove(options_.indexFile);
        return;
    }
    std::unique_lock lock(mutex_);
    index_ = std::move(*loaded);
}

void SearchEngine::keepCurrent(const QString& folder, Listing listing)
{
    if (stopped_ || !listing)
        return;
    const quint64 generation = ++reconcileSerial_;
    indexer_->async([this, folder, listing, generation] { reconcile(folder, listing, generation); });
}

void SearchEngine::reconcile(const QString& folder, const Listing& listing, quint64 generation)
{
    auto superseded = [&] { return stopped_ || generation != reconcileSerial_; };
    if (superseded())
        return;
    std::vector<std::size_t> todo;
    {
        QSet<QString> listed;
        listed.reserve(static_cast<qsizetype>(listing->size()));
        for (const ListedNote& n : *listing)
            listed.insert(n.path);
        std::unique_lock lock(mutex_);
        index_.retainUnder(folder, listed);
        for (std::size_t i = 0; i < listing->size(); ++i) {
            const ListedNote& n = (*listing)[i];
            const quint32 id = index_.noteAt(n.path);
            if (id == ContentIndex::kNone || index_.stampOf(id) != n.stamp)
                todo.push_back(i);
            else
                index_.adoptPath(id, n.path);
        }
    }
    returnFreedMemory();
    const auto total = static_cast<qint64>(todo.size());
    qint64 done = 0;
    for (std::size_t i : todo) {
        if (superseded())
            break;
        reportProgress(done, total, done == 0);
        indexOne((*listing)[i].path, (*listing)[i].stamp);
        ++done;
    }
    if (total > 0) {
        reportProgress(0, 0, true);
        scheduleSave(options_.saveDelayMs);
    }
}

void SearchEngine::indexOne(const QString& path, NoteStamp stamp)
{
    if (options_.beforeReading)
        options_.beforeReading(path);
    const std::optional<QString> text = readSearchableText(path);
    std::vector<std::string> words;
    if (text)
        words = distinctWords(fold(*text));
    std::unique_lock lock(mutex_);
    index_.put(path, stamp, text ? &words : nullptr);
}

void SearchEngine::noteChanged(const QString& path)
{
    if (stopped_)
        return;
    indexer_->async([this, path] {
        if (stopped_)
            return;
        const QFileInfo info(path);
        if (!info.isFile()) {
            std::unique_lock lock(mutex_);
            index_.remove(path);
            return;
        }
        const NoteStamp stamp{info.size(), info.lastModified().toMSecsSinceEpoch()};
        {
            std::shared_lock lock(mutex_);
            const quint32 id = index_.noteAt(path);
            if (id != ContentIndex::kNone && index_.stampOf(id) == stamp)
                return;
        }
        indexOne(path, stamp);
        // A note being typed is saved every few seconds: its changes join one write a
        // minute, not one each (the index is a cache; a lost minute is read again).
        scheduleSave(options_.saveDelayMs * kSaveDelayPerNoteFactor);
    });
}

void SearchEngine::reportProgress(qint64 done, qint64 total, bool force)
{
    const qint64 now = nowMs();
    if (!force && now - lastProgressMs_ < kProgressEveryMs)
        return;
    lastProgressMs_ = now;
    runOn(this, [this, done, total] { emit indexProgress(done, total); });
}

void SearchEngine::scheduleSave(int delayMs)
{
    if (options_.indexFile.isEmpty() || savePending_.exchange(true))
        return;
    // Later changes join the same write: the timer runs on the engine's thread.
    runOn(this, [this, delayMs] {
        runAfter(delayMs, this, [this] {
            indexer_->async([this] {
                savePending_ = false;
                if (!stopped_)
                    writeIndex();
            });
        });
    });
}

void SearchEngine::saveNow()
{
    indexer_->async([this] { writeIndex(); });
    indexer_->drain();
}

void SearchEngine::writeIndex()
{
    if (options_.indexFile.isEmpty())
        return;
    QByteArray bytes;
    {
        std::shared_lock lock(mutex_);
        bytes = index_.serialize();
    }
    QDir().mkpath(QFileInfo(options_.indexFile).absolutePath());
    QSaveFile file(options_.indexFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        log("❌ Search index could not be written:", options_.indexFile, file.errorString());
}

std::shared_ptr<const SearchEngine::Coverage> SearchEngine::coverageFor(const Listing& listing)
{
    if (coverage_ && coverage_->listing == listing && coverage_->version == index_.version())
        return coverage_;
    auto c = std::make_shared<Coverage>();
    c->listing = listing;
    c->version = index_.version();
    c->note.resize(listing->size(), ContentIndex::kNone);
    for (std::size_t i = 0; i < listing->size(); ++i) {
        const ListedNote& n = (*listing)[i];
        const quint32 id = index_.noteAt(n.path);
        if (id != ContentIndex::kNone && index_.stampOf(id) == n.stamp)
            c->note[i] = id;
    }
    coverage_ = c;
    return c;
}

void SearchEngine::search(Listing listing, SearchQuery query, std::function<void(WordHits)> done)
{
    if (stopped_ || !listing)
        return;
    const quint64 serial = ++searchSerial_;
    searcher_->async([this, listing = std::move(listing), query = std::move(query), done = std::move(done), serial] {
        if (serial != searchSerial_)
            return;
        WordHits hits = runSearch(listing, query, serial);
        if (serial == searchSerial_)
            done(std::move(hits));
    });
}

WordHits SearchEngine::runSearch(const Listing& listing, const SearchQuery& query, quint64 serial)
{
    const std::size_t n = listing->size();
    const auto words = static_cast<std::size_t>(query.words.size());
    WordHits hits(words, std::vector<char>(n, 0));
    // Listed notes to read: those the index does not cover, and covered ones where a
    // word has separators in it ("git-rebase"), which the index can narrow down only.
    std::vector<char> read(n, 0);
    {
        std::shared_lock lock(mutex_);
        const auto coverage = coverageFor(listing);
        std::vector<char> marks;
        for (std::size_t w = 0; w < words; ++w) {
            const QString& word = query.words[static_cast<qsizetype>(w)];
            const bool exact = isOneRun(word);
            const std::vector<std::string> runs = exact ? std::vector<std::string>{word.toStdString()} : wordRuns(word);
            // Notes holding every run: exact hits for a plain word, candidates otherwise.
            std::vector<char> all;
            for (std::size_t r = 0; r < runs.size(); ++r) {
                marks.assign(index_.numberLimit(), 0);
                index_.markNotesContaining(runs[r], marks);
                if (r == 0)
                    all.swap(marks);
                else
                    for (std::size_t k = 0; k < all.size(); ++k)
                        all[k] = all[k] && marks[k];
            }
            for (std::size_t i = 0; i < n; ++i) {
                const quint32 id = coverage->note[i];
                if (id == ContentIndex::kNone)
                    read[i] = 1;
                else if (exact)
                    hits[w][i] = all[id];
                else if (index_.hasText(id) && (runs.empty() || all[id]))
                    read[i] = 1;
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (!read[i])
            continue;
        if (serial != searchSerial_)
            return {};
        const std::optional<QString> text = readSearchableText((*listing)[i].path);
        if (!text)
            continue;
        const QString folded = fold(*text);
        bool all = true;
        for (std::size_t w = 0; w < words; ++w) {
            hits[w][i] = folded.contains(query.words[static_cast<qsizetype>(w)]);
            all = all && hits[w][i];
        }
        if (all && words > 1 && holdsPhrase(folded, query))
            hits[0][i] = kPhrase;
    }
    markPhrases(listing, query, serial, read, hits);
    return hits;
}

void SearchEngine::markPhrases(const Listing& listing, const SearchQuery& query, quint64 serial,
                               const std::vector<char>& alreadyRead, WordHits& hits)
{
    // A phrase typed from a note should find that note first, among the notes that
    // merely hold its words somewhere. The index knows words, not their order, so the
    // candidates are read; past a few hundred (common words) the order is left alone.
    constexpr std::size_t kMostRead = 300;
    if (hits.size() < 2)
        return;
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i < listing->size(); ++i) {
        bool all = true;
        for (const auto& word : hits)
            all = all && word[i];
        if (all && candidates.size() == kMostRead) {
            // Too many to read: no note goes first, including those the direct search
            // marked, so the order never depends on how much the index covers.
            std::replace(hits[0].begin(), hits[0].end(), kPhrase, char(1));
            return;
        }
        if (all)
            candidates.push_back(i);
    }
    for (std::size_t i : candidates) {
        if (alreadyRead[i])
            continue;  // marked while it was searched
        if (serial != searchSerial_)
            return;
        const std::optional<QString> text = readSearchableText((*listing)[i].path);
        if (text && holdsPhrase(fold(*text), query))
            hits[0][i] = kPhrase;
    }
}

}  // namespace flintly::search

#include "browser/NoteIndex.h"

#include "search/TextFolding.h"

#include <QCollator>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace flintly {

NoteIndex::NoteIndex(std::vector<FileInfo> files) : files_(std::move(files))
{
    nameRank_ = rankNames(files_);
    foldNames();
}

NoteIndex::NoteIndex(std::vector<FileInfo> files, std::vector<quint32> nameRanks)
    : files_(std::move(files)), nameRank_(std::move(nameRanks))
{
    foldNames();
}

std::shared_ptr<NoteIndex> NoteIndex::sortedBy(std::vector<FileInfo> files, SortMode mode)
{
    const std::vector<quint32> ranks = rankNames(files);
    const Rows rows = sortRows(files, ranks, mode);
    std::vector<FileInfo> sorted;
    std::vector<quint32> sortedRanks;
    sorted.reserve(rows.size());
    sortedRanks.reserve(rows.size());
    for (quint32 r : rows) {
        sorted.push_back(std::move(files[r]));
        sortedRanks.push_back(ranks[r]);
    }
    std::shared_ptr<NoteIndex> index(new NoteIndex(std::move(sorted), std::move(sortedRanks)));
    // Sorting a stably sorted list again by the same key leaves it as it is.
    Rows identity(rows.size());
    std::iota(identity.begin(), identity.end(), 0u);
    index->orders_[static_cast<std::size_t>(mode)] = std::move(identity);
    return index;
}

void NoteIndex::foldNames()
{
    offsets_.reserve(files_.size() + 1);
    std::size_t bytes = 0;
    for (const FileInfo& f : files_)
        bytes += static_cast<std::size_t>(f.name.size()) + 1;
    folded_.reserve(bytes);
    for (const FileInfo& f : files_) {
        offsets_.push_back(static_cast<quint32>(folded_.size()));
        folded_.append(search::fold(f.name).toStdString());
        folded_.push_back('\0');
    }
    offsets_.push_back(static_cast<quint32>(folded_.size()));
}

// Collating a name costs a thousand times an integer compare, so each name is
// collated once (into a sort key) and the sorts compare ranks. Keys are made from the
// folded name: Qt's sort keys keep letter case even when its collator compares
// without it (in the C locale, for one), and names equal but for case must tie.
std::vector<quint32> NoteIndex::rankNames(const std::vector<FileInfo>& files)
{
    const std::size_t n = files.size();
    std::vector<quint32> ranks(n, 0);
    if (n == 0)
        return ranks;
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(n);
    for (const FileInfo& f : files)
        keys.push_back(collator.sortKey(f.name.toCaseFolded()));
    Rows rows(n);
    std::iota(rows.begin(), rows.end(), 0u);
    std::stable_sort(rows.begin(), rows.end(), [&](quint32 a, quint32 b) { return keys[a].compare(keys[b]) < 0; });
    quint32 rank = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && keys[rows[i - 1]].compare(keys[rows[i]]) != 0)
            ++rank;
        ranks[rows[i]] = rank;
    }
    return ranks;
}

NoteIndex::Rows NoteIndex::sortRows(const std::vector<FileInfo>& files, const std::vector<quint32>& nameRanks,
                                    SortMode mode)
{
    const std::size_t n = files.size();
    std::vector<qint64> key(n);
    for (std::size_t i = 0; i < n; ++i) {
        const FileInfo& f = files[i];
        switch (sortmode::key(mode)) {
        case sortmode::Key::modified: key[i] = f.modifiedDate.toMSecsSinceEpoch(); break;
        case sortmode::Key::created: key[i] = f.createdDate.toMSecsSinceEpoch(); break;
        case sortmode::Key::size: key[i] = f.size; break;
        case sortmode::Key::name: key[i] = nameRanks[i]; break;
        }
    }
    Rows rows(n);
    std::iota(rows.begin(), rows.end(), 0u);
    if (sortmode::descending(mode))
        std::stable_sort(rows.begin(), rows.end(), [&](quint32 a, quint32 b) { return key[a] > key[b]; });
    else
        std::stable_sort(rows.begin(), rows.end(), [&](quint32 a, quint32 b) { return key[a] < key[b]; });
    return rows;
}

const NoteIndex::Rows& NoteIndex::order(SortMode mode) const
{
    auto& slot = orders_[static_cast<std::size_t>(mode)];
    if (!slot)
        slot = sortRows(files_, nameRank_, mode);
    return *slot;
}

std::string_view NoteIndex::foldedName(quint32 record) const
{
    return std::string_view(folded_).substr(offsets_[record], offsets_[record + 1] - offsets_[record] - 1);
}

const search::Listing& NoteIndex::listing() const
{
    if (!listing_) {
        auto notes = std::make_shared<std::vector<search::ListedNote>>();
        notes->reserve(files_.size());
        for (const FileInfo& f : files_)
            notes->push_back({f.path, {f.size, f.modifiedDate.toMSecsSinceEpoch()}});
        listing_ = std::move(notes);
    }
    return listing_;
}

// One pass of memmem over all names (UTF-8, each ended by a NUL) per word.
void NoteIndex::markWord(const std::string& word, quint32 bit, std::vector<quint32>& words) const
{
    const std::string& needle = word;
    // File names cannot hold NUL, and a match must never span two names.
    if (needle.empty() || needle.find('\0') != std::string::npos)
        return;
    const char* hay = folded_.data();
    const std::size_t end = folded_.size();
    std::size_t pos = 0;
    while (pos < end) {
        const void* found = ::memmem(hay + pos, end - pos, needle.data(), needle.size());
        if (!found)
            return;
        const auto at = static_cast<quint32>(static_cast<const char*>(found) - hay);
        const auto record =
            static_cast<std::size_t>(std::upper_bound(offsets_.begin(), offsets_.end(), at) - offsets_.begin() - 1);
        words[record] |= bit;
        pos = offsets_[record + 1];  // one hit per name is enough
    }
}

NoteIndex::NameMatches NoteIndex::matchNames(const search::SearchQuery& query, SortMode mode) const
{
    NameMatches out;
    const Rows& all = order(mode);
    if (query.isEmpty()) {
        out.ranked = all;
        return out;
    }
    out.words.assign(files_.size(), 0);
    for (qsizetype i = 0; i < query.words.size(); ++i)
        markWord(query.utf8Words[static_cast<std::size_t>(i)], search::wordBit(i), out.words);
    // Words 31 and on share a bit that only all of them may set.
    if (query.words.size() > 31) {
        std::vector<quint32> rest(files_.size(), search::wordBit(31));
        for (qsizetype i = 31; i < query.words.size(); ++i) {
            std::vector<quint32> one(files_.size(), 0);
            markWord(query.utf8Words[static_cast<std::size_t>(i)], search::wordBit(31), one);
            for (std::size_t r = 0; r < rest.size(); ++r)
                rest[r] &= one[r];
        }
        for (std::size_t r = 0; r < rest.size(); ++r)
            out.words[r] = (out.words[r] & ~search::wordBit(31)) | rest[r];
    }
    const quint32 every = search::allWords(query);
    std::array<Rows, 4> tiers;
    for (quint32 r : all) {
        if (out.words[r] != every)
            continue;
        const auto tier = search::matchName(foldedName(r), query);
        if (tier != search::NameMatch::none)
            tiers[static_cast<std::size_t>(tier)].push_back(r);
    }
    out.exact = tiers[0].size();
    for (const Rows& t : tiers)
        out.ranked.insert(out.ranked.end(), t.begin(), t.end());
    return out;
}

}  // namespace flintly

#include "browser/NoteIndex.h"

#include <QCollator>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <numeric>

namespace flintly {

int graphemeCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int n = 0;
    while (finder.toNextBoundary() > 0)
        ++n;
    return n;
}

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
    std::size_t chars = 0;
    for (const FileInfo& f : files_)
        chars += static_cast<std::size_t>(f.name.size()) + 1;
    folded_.reserve(chars);
    for (const FileInfo& f : files_) {
        offsets_.push_back(static_cast<quint32>(folded_.size()));
        const QString folded = f.name.toCaseFolded();
        folded_.append(reinterpret_cast<const char16_t*>(folded.utf16()), static_cast<std::size_t>(folded.size()));
        folded_.push_back(u'\0');
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

NoteIndex::Rows NoteIndex::filter(const QString& query, SortMode mode) const
{
    const Rows& all = order(mode);
    if (query.isEmpty())
        return all;
    const QString q = query.toCaseFolded();
    // File names cannot hold NUL, and a match must never span two names.
    if (q.contains(QChar(u'\0')))
        return {};
    const std::u16string_view needle(reinterpret_cast<const char16_t*>(q.utf16()), static_cast<std::size_t>(q.size()));
    const std::size_t n = files_.size();
    std::vector<char> hit(n, 0);
    if (graphemeCount(query) < 3) {
        const std::u16string_view hay(folded_);
        for (std::size_t i = 0; i < n; ++i)
            hit[i] = hay.substr(offsets_[i], offsets_[i + 1] - offsets_[i] - 1).starts_with(needle);
    } else {
        // Horspool's search over all names at once. The skip table is indexed by the
        // low byte of a UTF-16 unit; units sharing a low byte share the shortest skip,
        // which keeps every shift safe.
        const std::size_t m = needle.size();
        std::array<std::size_t, 256> skip;
        skip.fill(m);
        for (std::size_t i = 0; i + 1 < m; ++i)
            skip[needle[i] & 0xFF] = std::min(skip[needle[i] & 0xFF], m - 1 - i);
        const char16_t* hay = folded_.data();
        const std::size_t end = folded_.size();
        std::size_t pos = 0;
        std::size_t record = 0;
        while (pos + m <= end) {
            const char16_t last = hay[pos + m - 1];
            if (last == needle[m - 1] && std::char_traits<char16_t>::compare(hay + pos, needle.data(), m - 1) == 0) {
                while (offsets_[record + 1] <= pos)
                    ++record;
                hit[record] = 1;
                pos = offsets_[record + 1];  // one hit per name is enough
                continue;
            }
            pos += skip[last & 0xFF];
        }
    }
    Rows out;
    for (quint32 r : all)
        if (hit[r])
            out.push_back(r);
    return out;
}

}  // namespace flintly

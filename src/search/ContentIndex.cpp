#include "search/ContentIndex.h"

#include <QSet>

#include <algorithm>
#include <cstring>

namespace flintly::search {

namespace {

constexpr char kMagic[8] = {'F', 'L', 'N', 'T', 'I', 'D', 'X', '\n'};
constexpr quint32 kFormatVersion = 1;

std::uint64_t fnv1a(const char* data, std::size_t n)
{
    std::uint64_t h = 1469598103934665603ull;
    for (std::size_t i = 0; i < n; ++i) {
        h ^= static_cast<unsigned char>(data[i]);
        h *= 1099511628211ull;
    }
    return h;
}

void putVarint(std::vector<std::uint8_t>& out, quint32 v)
{
    while (v >= 0x80) {
        out.push_back(static_cast<std::uint8_t>(v | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(v));
}

// Reads one varint at `p`, or returns false past `end` or on more than five bytes.
bool getVarint(const std::uint8_t*& p, const std::uint8_t* end, quint32& v)
{
    v = 0;
    for (int shift = 0; shift < 35 && p < end; shift += 7) {
        const std::uint8_t b = *p++;
        v |= static_cast<quint32>(b & 0x7F) << shift;
        if (!(b & 0x80))
            return true;
    }
    return false;
}

class Writer {
public:
    void u32(quint32 v) { raw(&v, sizeof v); }
    void i64(qint64 v) { raw(&v, sizeof v); }
    void u8(quint8 v) { raw(&v, 1); }
    void bytes(const void* p, std::size_t n)
    {
        u32(static_cast<quint32>(n));
        raw(p, n);
    }
    void raw(const void* p, std::size_t n) { out.append(static_cast<const char*>(p), static_cast<qsizetype>(n)); }
    QByteArray out;
};

class Reader {
public:
    Reader(const char* p, std::size_t n) : p_(p), end_(p + n) {}
    bool raw(void* to, std::size_t n)
    {
        if (static_cast<std::size_t>(end_ - p_) < n)
            return false;
        std::memcpy(to, p_, n);
        p_ += n;
        return true;
    }
    template <typename T> bool get(T& v) { return raw(&v, sizeof v); }
    bool bytes(const char*& data, quint32& n)
    {
        if (!get(n) || static_cast<std::size_t>(end_ - p_) < n)
            return false;
        data = p_;
        p_ += n;
        return true;
    }
    bool atEnd() const { return p_ == end_; }

private:
    const char* p_;
    const char* end_;
};

}  // namespace

void ContentIndex::append(Postings& p, quint32 note)
{
    putVarint(p.gaps, p.count == 0 ? note : note - p.last);
    p.last = note;
    ++p.count;
}

template <typename Fn> void ContentIndex::forEachNote(const Postings& p, Fn&& fn) const
{
    const std::uint8_t* at = p.gaps.data();
    const std::uint8_t* end = at + p.gaps.size();
    quint32 note = 0;
    for (quint32 i = 0; i < p.count; ++i) {
        quint32 gap = 0;
        if (!getVarint(at, end, gap))
            return;
        note = i == 0 ? gap : note + gap;
        fn(note);
    }
}

std::string_view ContentIndex::wordAt(quint32 id) const
{
    const std::size_t start = wordStart_[id];
    const std::size_t end = id + 1 < wordStart_.size() ? wordStart_[id + 1] - 1 : words_.size() - 1;
    return std::string_view(words_).substr(start, end - start);
}

quint32 ContentIndex::wordId(std::string_view word)
{
    if (slots_.size() < 2 * (wordStart_.size() + 1)) {
        std::size_t capacity = std::max<std::size_t>(64, slots_.size() * 2);
        while (capacity < 2 * (wordStart_.size() + 1))
            capacity *= 2;
        slots_.assign(capacity, 0);
        for (quint32 id = 0; id < wordStart_.size(); ++id) {
            const std::string_view w = wordAt(id);
            std::size_t s = fnv1a(w.data(), w.size()) & (capacity - 1);
            while (slots_[s])
                s = (s + 1) & (capacity - 1);
            slots_[s] = id + 1;
        }
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t s = fnv1a(word.data(), word.size()) & mask;
    while (slots_[s]) {
        if (wordAt(slots_[s] - 1) == word)
            return slots_[s] - 1;
        s = (s + 1) & mask;
    }
    const auto id = static_cast<quint32>(wordStart_.size());
    wordStart_.push_back(static_cast<quint32>(words_.size()));
    words_.append(word);
    words_.push_back('\0');
    postings_.emplace_back();
    slots_[s] = id + 1;
    return id;
}

void ContentIndex::put(const QString& path, NoteStamp stamp, const std::vector<std::string>* words)
{
    if (const quint32 old = noteAt(path); old != kNone)
        retire(old);
    const auto id = static_cast<quint32>(notes_.size());
    notes_.push_back({path, stamp, true, words != nullptr});
    byPath_.insert(path, id);
    if (words)
        for (const std::string& w : *words)
            append(postings_[wordId(w)], id);
    ++version_;
    if (retired_ > 1024 && retired_ > static_cast<std::size_t>(byPath_.size()))
        renumber();
}

void ContentIndex::retire(quint32 note)
{
    Note& n = notes_[note];
    if (!n.live)
        return;
    byPath_.remove(n.path);
    n.live = false;
    n.path = QString();
    ++retired_;
    ++version_;
}

void ContentIndex::remove(const QString& path)
{
    if (const quint32 id = noteAt(path); id != kNone)
        retire(id);
}

void ContentIndex::retainUnder(const QString& folder, const QSet<QString>& keep)
{
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    std::vector<quint32> gone;
    for (auto it = byPath_.cbegin(); it != byPath_.cend(); ++it)
        if (it.key().startsWith(prefix) && !keep.contains(it.key()))
            gone.push_back(it.value());
    for (quint32 id : gone)
        retire(id);
}

void ContentIndex::markNotesContaining(std::string_view run, std::vector<char>& hits) const
{
    if (run.empty() || words_.empty())
        return;
    const char* base = words_.data();
    const std::size_t size = words_.size();
    std::size_t from = 0;
    while (from < size) {
        const void* found = ::memmem(base + from, size - from, run.data(), run.size());
        if (!found)
            break;
        const auto at = static_cast<quint32>(static_cast<const char*>(found) - base);
        const auto id =
            static_cast<quint32>(std::upper_bound(wordStart_.begin(), wordStart_.end(), at) - wordStart_.begin() - 1);
        forEachNote(postings_[id], [&](quint32 note) {
            if (note < hits.size() && notes_[note].live)
                hits[note] = 1;
        });
        from = id + 1 < wordStart_.size() ? wordStart_[id + 1] : size;
    }
}

void ContentIndex::renumber()
{
    std::vector<quint32> map(notes_.size(), kNone);
    std::vector<Note> notes;
    notes.reserve(static_cast<std::size_t>(byPath_.size()));
    for (quint32 i = 0; i < notes_.size(); ++i) {
        if (!notes_[i].live)
            continue;
        map[i] = static_cast<quint32>(notes.size());
        notes.push_back(std::move(notes_[i]));
    }
    ContentIndex fresh;
    fresh.notes_ = std::move(notes);
    for (quint32 i = 0; i < fresh.notes_.size(); ++i)
        fresh.byPath_.insert(fresh.notes_[i].path, i);
    for (quint32 id = 0; id < wordStart_.size(); ++id) {
        Postings kept;
        forEachNote(postings_[id], [&](quint32 note) {
            if (map[note] != kNone)
                append(kept, map[note]);
        });
        if (kept.count)
            fresh.postings_[fresh.wordId(wordAt(id))] = std::move(kept);
    }
    fresh.version_ = version_ + 1;
    *this = std::move(fresh);
}

QByteArray ContentIndex::serialize() const
{
    Writer w;
    w.raw(kMagic, sizeof kMagic);
    w.u32(kFormatVersion);
    std::vector<quint32> map(notes_.size(), kNone);
    quint32 live = 0;
    for (quint32 i = 0; i < notes_.size(); ++i)
        if (notes_[i].live)
            map[i] = live++;
    w.u32(live);
    for (const Note& n : notes_) {
        if (!n.live)
            continue;
        const QByteArray path = n.path.toUtf8();
        w.bytes(path.constData(), static_cast<std::size_t>(path.size()));
        w.i64(n.stamp.size);
        w.i64(n.stamp.modifiedMs);
        w.u8(n.hasText ? 1 : 0);
    }
    // Words without a live note are left out; the count is written once known.
    const qsizetype countAt = w.out.size();
    w.u32(0);
    quint32 written = 0;
    for (quint32 id = 0; id < wordStart_.size(); ++id) {
        Postings kept;
        forEachNote(postings_[id], [&](quint32 note) {
            if (map[note] != kNone)
                append(kept, map[note]);
        });
        if (!kept.count)
            continue;
        const std::string_view word = wordAt(id);
        w.bytes(word.data(), word.size());
        w.u32(kept.count);
        w.bytes(kept.gaps.data(), kept.gaps.size());
        ++written;
    }
    std::memcpy(w.out.data() + countAt, &written, sizeof written);
    const std::uint64_t sum = fnv1a(w.out.constData(), static_cast<std::size_t>(w.out.size()));
    w.raw(&sum, sizeof sum);
    return w.out;
}

std::optional<ContentIndex> ContentIndex::deserialize(const QByteArray& bytes, QString* why)
{
    auto fail = [why](const char* reason) {
        if (why)
            *why = QString::fromUtf8(reason);
        return std::nullopt;
    };
    if (bytes.size() < static_cast<qsizetype>(sizeof kMagic + 4 + 8)
        || std::memcmp(bytes.constData(), kMagic, sizeof kMagic) != 0)
        return fail("not a search index");
    const std::size_t body = static_cast<std::size_t>(bytes.size()) - 8;
    std::uint64_t sum = 0;
    std::memcpy(&sum, bytes.constData() + body, sizeof sum);
    if (sum != fnv1a(bytes.constData(), body))
        return fail("damaged (checksum)");
    Reader r(bytes.constData() + sizeof kMagic, body - sizeof kMagic);
    quint32 version = 0, noteCount = 0, wordCount = 0;
    if (!r.get(version) || version != kFormatVersion)
        return fail("another format version");
    ContentIndex index;
    if (!r.get(noteCount))
        return fail("damaged (notes)");
    for (quint32 i = 0; i < noteCount; ++i) {
        const char* path = nullptr;
        quint32 length = 0;
        Note n;
        quint8 flags = 0;
        if (!r.bytes(path, length) || !r.get(n.stamp.size) || !r.get(n.stamp.modifiedMs) || !r.get(flags))
            return fail("damaged (notes)");
        n.path = QString::fromUtf8(path, length);
        n.live = true;
        n.hasText = flags & 1;
        if (index.byPath_.contains(n.path))
            return fail("damaged (a note twice)");
        index.byPath_.insert(n.path, i);
        index.notes_.push_back(std::move(n));
    }
    if (!r.get(wordCount))
        return fail("damaged (words)");
    for (quint32 i = 0; i < wordCount; ++i) {
        const char* word = nullptr;
        const char* gaps = nullptr;
        quint32 length = 0, count = 0, gapBytes = 0;
        if (!r.bytes(word, length) || !r.get(count) || !r.bytes(gaps, gapBytes) || length == 0)
            return fail("damaged (words)");
        const std::string_view w(word, length);
        if (w.find('\0') != std::string_view::npos)
            return fail("damaged (words)");
        Postings& p = index.postings_[index.wordId(w)];
        if (p.count)
            return fail("damaged (a word twice)");
        p.gaps.assign(reinterpret_cast<const std::uint8_t*>(gaps),
                      reinterpret_cast<const std::uint8_t*>(gaps) + gapBytes);
        p.count = count;
        // Every number must be a note, in increasing order.
        bool ok = true;
        quint32 seen = 0;
        quint32 last = 0;
        index.forEachNote(p, [&](quint32 note) {
            ok = ok && note < noteCount && (seen == 0 || note > last);
            last = note;
            ++seen;
        });
        if (!ok || seen != count)
            return fail("damaged (notes of a word)");
        p.last = last;
    }
    if (!r.atEnd())
        return fail("damaged (trailing bytes)");
    return index;
}

std::size_t ContentIndex::memoryBytes() const
{
    std::size_t bytes = words_.capacity() + wordStart_.capacity() * 4 + slots_.capacity() * 4
        + postings_.capacity() * sizeof(Postings) + notes_.capacity() * sizeof(Note);
    for (const Postings& p : postings_)
        bytes += p.gaps.capacity();
    return bytes;
}

}  // namespace flintly::search

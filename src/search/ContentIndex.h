#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flintly::search {

// When a note was last seen changed: the scan's size and modification time.
struct NoteStamp {
    qint64 size = 0;
    qint64 modifiedMs = 0;
    friend bool operator==(const NoteStamp&, const NoteStamp&) = default;
};

// The words of every indexed note, for finding the notes whose text contains a given
// run of word characters. A note's text occurs within its words (maximal runs of word
// characters, see isWordChar), so a run occurs in the text exactly when it occurs in
// one of the note's words: looking for it among the distinct words (a few megabytes
// at most) and taking the notes of those words gives the same notes as searching every
// text, without reading one.
//
// Notes are numbered in the order they were put; a note put again gets a new number
// and its old one is retired, so each word's list of notes only ever grows at its end
// and is kept as varint gaps. Retired numbers are dropped when the index is saved or
// when they outnumber the live ones.
//
// Not thread-safe: the owner serialises writers against readers.
class ContentIndex {
public:
    static constexpr quint32 kNone = 0xFFFFFFFFu;

    // `words` null: the note is known but searched by name only (binary, too large,
    // not UTF-8).
    void put(const QString& path, NoteStamp stamp, const std::vector<std::string>* words);
    void remove(const QString& path);
    // Removes every note below `folder` that `keep` does not hold (gone or renamed).
    void retainUnder(const QString& folder, const QSet<QString>& keep);

    // The live note at `path`, or kNone.
    quint32 noteAt(const QString& path) const { return byPath_.value(path, kNone); }
    NoteStamp stampOf(quint32 note) const { return notes_[note].stamp; }
    const QString& pathOf(quint32 note) const { return notes_[note].path; }
    bool hasText(quint32 note) const { return notes_[note].hasText; }
    // Numbers run below this; retired ones among them.
    quint32 numberLimit() const { return static_cast<quint32>(notes_.size()); }
    qsizetype liveCount() const { return byPath_.size(); }
    // Changes whenever a note is put or removed.
    quint64 version() const { return version_; }
    // Shares the string (saves memory when the caller holds the same path).
    void adoptPath(quint32 note, const QString& path) { notes_[note].path = path; }

    // Sets hits[n] for every live note n whose text contains `run` (UTF-8, folded, word
    // characters only). `hits` has numberLimit() entries.
    void markNotesContaining(std::string_view run, std::vector<char>& hits) const;

    QByteArray serialize() const;
    // Nothing (with the reason) for bytes that are not an index of this version.
    static std::optional<ContentIndex> deserialize(const QByteArray& bytes, QString* why = nullptr);

    std::size_t memoryBytes() const;
    qsizetype wordCount() const { return static_cast<qsizetype>(wordStart_.size()); }

private:
    struct Note {
        QString path;
        NoteStamp stamp;
        bool live = false;
        bool hasText = false;
    };
    struct Postings {
        std::vector<std::uint8_t> gaps;
        quint32 last = 0;
        quint32 count = 0;
    };

    quint32 wordId(std::string_view word);
    std::string_view wordAt(quint32 id) const;
    void retire(quint32 note);
    void renumber();
    template <typename Fn> void forEachNote(const Postings& p, Fn&& fn) const;
    static void append(Postings& p, quint32 note);

    std::vector<Note> notes_;
    QHash<QString, quint32> byPath_;
    std::size_t retired_ = 0;
    quint64 version_ = 0;

    // Every distinct word, each followed by a NUL, searched in one pass.
    std::string words_;
    std::vector<quint32> wordStart_;
    std::vector<Postings> postings_;
    // Open addressing over word ids + 1 (0 is empty), for putting notes.
    std::vector<quint32> slots_;
};

}  // namespace flintly::search

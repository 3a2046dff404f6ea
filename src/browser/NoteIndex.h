#pragma once

#include "browser/FileInfo.h"
#include "browser/SortMode.h"
#include "search/SearchEngine.h"

#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flintly {

// The notes of one browsed folder, prepared once so that sorting and filtering a
// hundred thousand of them stay within a frame: names are case-folded into one buffer
// (searched in a single pass), and names are ranked by the locale's case-insensitive
// order, so every sort compares integers. Built off the GUI thread; afterwards used by
// one thread only.
class NoteIndex {
public:
    using Rows = std::vector<quint32>;  // positions into files()

    // Keeps `files` in the order given: that order is the "source order" that equal
    // records keep under every sort.
    explicit NoteIndex(std::vector<FileInfo> files);
    // Sorts `files` stably by `mode` first, as a finished scan is published.
    static std::shared_ptr<NoteIndex> sortedBy(std::vector<FileInfo> files, SortMode mode);

    const std::vector<FileInfo>& files() const { return files_; }
    std::size_t size() const { return files_.size(); }

    // Every record in `mode` order; equal records keep their order in files().
    const Rows& order(SortMode mode) const;

    // The names that hold every word of `query`, best matches first (the name is the
    // query, begins with it, has words beginning with its words, holds them anywhere),
    // each group in `mode` order; and for every record the words its name holds, for
    // joining with what its text holds.
    struct NameMatches {
        Rows ranked;
        std::size_t exact = 0;       // how many of `ranked` are the query itself
        std::vector<quint32> words;  // per record: bits of the query's words in its name
    };
    NameMatches matchNames(const search::SearchQuery& query, SortMode mode) const;
    // A record's name as names are compared (folded, UTF-8).
    std::string_view foldedName(quint32 record) const;

    // The records as the content search takes them (built on first use).
    const search::Listing& listing() const;

private:
    NoteIndex(std::vector<FileInfo> files, std::vector<quint32> nameRanks);
    static std::vector<quint32> rankNames(const std::vector<FileInfo>& files);
    static Rows sortRows(const std::vector<FileInfo>& files, const std::vector<quint32>& nameRanks, SortMode mode);
    void foldNames();
    void markWord(const std::string& word, quint32 bit, std::vector<quint32>& words) const;

    std::vector<FileInfo> files_;
    std::vector<quint32> nameRank_;  // equal (ignoring case) names share a rank
    std::string folded_;             // each name folded (search::fold), UTF-8, followed by a NUL
    std::vector<quint32> offsets_;   // where each name starts in folded_, then the end
    mutable std::array<std::optional<Rows>, 8> orders_;
    mutable search::Listing listing_;
};

}  // namespace flintly

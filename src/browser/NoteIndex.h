#pragma once

#include "browser/FileInfo.h"
#include "browser/SortMode.h"

#include <QString>

#include <array>
#include <memory>
#include <optional>
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

    // Records whose name matches `query`, in `mode` order. An empty query matches all.
    // Fewer than three characters (as a reader counts them) match the start of the
    // name, three or more anywhere in it; letter case never matters.
    Rows filter(const QString& query, SortMode mode) const;

private:
    NoteIndex(std::vector<FileInfo> files, std::vector<quint32> nameRanks);
    static std::vector<quint32> rankNames(const std::vector<FileInfo>& files);
    static Rows sortRows(const std::vector<FileInfo>& files, const std::vector<quint32>& nameRanks, SortMode mode);
    void foldNames();

    std::vector<FileInfo> files_;
    std::vector<quint32> nameRank_;  // equal (ignoring case) names share a rank
    std::u16string folded_;          // each name case-folded and followed by a NUL
    std::vector<quint32> offsets_;   // where each name starts in folded_, then the end
    mutable std::array<std::optional<Rows>, 8> orders_;
};

int graphemeCount(const QString& text);

}  // namespace flintly

#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace flintly {

struct FolderStatistics {
    qint64 noteCount = 0;
    qint64 charCount = 0;
    qint64 todoDone = 0;
};

struct TextCounts {
    qint64 characters = 0;
    qint64 todosDone = 0;
};

// Files above this many bytes are read in chunks instead of whole.
inline constexpr qint64 kLargeNoteThreshold = 10'485'760;
inline constexpr qint64 kStatisticsChunkSize = 65'536;

// Characters (grapheme clusters) and lines holding a ticked to-do ("- [x]" or "- [X]",
// anywhere in the line, once per line). Lines end at LF, VT, FF, CR, NEL, U+2028 and
// U+2029.
TextCounts countText(QStringView text);

// Counts one large file by reading it in chunks, so memory stays flat whatever its size.
// Valid UTF-8 counts exactly as if read whole, wherever the chunks cut it. A chunk that
// is not valid UTF-8 adds nothing while the rest of the file still counts; a file that
// cannot be opened adds nothing.
TextCounts processLargeFileStreaming(const QString& path);

// One pass over the notes directly in `folder` (".md" in any case, hidden files
// skipped, subfolders not entered). Nothing when the folder cannot be listed.
// A note that cannot be read or is not valid UTF-8 counts as a note with nothing in
// it. Pauses 1 ms after every hundredth note. Runs on any thread.
// `keepGoing` is asked between notes; returning false abandons the pass (nothing).
std::optional<FolderStatistics> computeFolderStatistics(const QString& folder,
                                                        const std::function<bool()>& keepGoing = {});

}  // namespace flintly

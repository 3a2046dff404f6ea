#pragma once

#include "browser/FileInfo.h"

#include <atomic>
#include <functional>
#include <vector>

namespace flintly {

struct ScanControl {
    // Called after every 100th note found; the default sleeps for a millisecond so a
    // very large tree does not take a core for itself.
    std::function<void()> pause;
    // Checked at every entry: a scan nobody waits for any more stops at once.
    const std::atomic<bool>* cancelled = nullptr;
};

// Every Markdown note below `folder`, walked on the calling thread: hidden files and
// everything inside hidden folders are skipped, any letter case of the "md" extension
// counts, a folder named "x.md" is listed and walked as well, and symbolic links to
// folders are not followed. Dates and size come from the one stat the walk makes per
// note. Folders that cannot be read are passed over; a folder that cannot be opened at
// all gives an empty list.
std::vector<FileInfo> scanFolder(const QString& folder, const ScanControl& control = {});

bool hasMarkdownExtension(const char* fileName);

}  // namespace flintly

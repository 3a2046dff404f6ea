#pragma once

#include "document/FileWatcher.h"

namespace flintly {

// inotify on the file's folder, filtered to the file's name: a watch on the file's
// own inode would go deaf the moment the file is replaced by a rename, which is how
// nearly every editor and sync tool (and our own durable save) writes.
class InotifyWatcher final : public FileWatcher {
public:
    std::unique_ptr<FileWatch> watch(const QString& path, SerialQueue& queue,
                                     std::function<void(unsigned events)> onEvents, int* errorNumber) override;
};

}  // namespace flintly

#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace flintly {

class SerialQueue;

// The kinds of change a watch reports, as a set of bits.
enum FileEvent : unsigned {
    FileEventWrite = 1u << 0,
    FileEventExtend = 1u << 1,
    FileEventAttrib = 1u << 2,
    FileEventLink = 1u << 3,
    FileEventRename = 1u << 4,
    FileEventDelete = 1u << 5,
};
QString describeFileEvents(unsigned events);

// Watches one file by path. Whatever replaces the file at that path (an editor's
// rename-over, a sync tool's delete-then-create, our own atomic saves) stays watched,
// so outside changes are seen every time, not just until the first replace.
class FileWatch {
public:
    virtual ~FileWatch() = default;
    // Keep watching the same file after it was moved to `newPath` by us.
    virtual void follow(const QString& newPath) = 0;
    // False once the watched folder itself was deleted or moved away: nothing at the
    // path is seen any more, even when a folder of that name comes back.
    virtual bool isLive() const { return true; }
};

class FileWatcher {
public:
    virtual ~FileWatcher() = default;
    // Starts watching `path`; `onEvents` runs on `queue` with the events that fired.
    // Returns nothing when the watch cannot be set up; `errorNumber` then holds errno.
    virtual std::unique_ptr<FileWatch> watch(const QString& path, SerialQueue& queue,
                                             std::function<void(unsigned events)> onEvents, int* errorNumber) = 0;
};

// The real watcher of this platform (inotify).
std::unique_ptr<FileWatcher> makePlatformFileWatcher();

}  // namespace flintly

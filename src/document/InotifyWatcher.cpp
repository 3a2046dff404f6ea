#include "document/InotifyWatcher.h"

#include "core/SerialQueue.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace flintly {

QString describeFileEvents(unsigned events)
{
    static const std::pair<unsigned, const char*> names[] = {
        {FileEventWrite, "write"}, {FileEventExtend, "extend"}, {FileEventAttrib, "attrib"},
        {FileEventLink, "link"},   {FileEventRename, "rename"}, {FileEventDelete, "delete"},
    };
    QStringList parts;
    for (const auto& [bit, name] : names)
        if (events & bit)
            parts.append(QString::fromLatin1(name));
    return QStringLiteral("[") + parts.join(QStringLiteral(", ")) + QStringLiteral("]");
}

namespace {

constexpr uint32_t kFolderMask = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE
    | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

unsigned translate(uint32_t mask)
{
    unsigned events = 0;
    if (mask & (IN_MODIFY | IN_CLOSE_WRITE))
        events |= FileEventWrite;
    if (mask & IN_MODIFY)
        events |= FileEventExtend;
    if (mask & IN_ATTRIB)
        events |= FileEventAttrib;
    if (mask & (IN_MOVED_TO | IN_CREATE))
        events |= FileEventRename | FileEventLink;
    if (mask & IN_MOVED_FROM)
        events |= FileEventRename;
    if (mask & (IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF))
        events |= FileEventDelete;
    return events;
}

class InotifyWatch final : public FileWatch {
public:
    InotifyWatch(int inotifyFd, int stopFd, const QString& path, SerialQueue& queue,
                 std::function<void(unsigned)> onEvents)
        : inotifyFd_(inotifyFd), stopFd_(stopFd), queue_(queue), onEvents_(std::move(onEvents))
    {
        setPath(path);
        thread_ = std::thread([this] { run(); });
    }

    ~InotifyWatch() override
    {
        const uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(stopFd_, &one, sizeof one);
        thread_.join();
        ::close(inotifyFd_);
        ::close(stopFd_);
    }

    bool addFolderWatch()
    {
        std::lock_guard lock(mutex_);
        return addFolderWatchLocked();
    }

    bool isLive() const override { return live_.load(); }

    void follow(const QString& newPath) override
    {
        std::lock_guard lock(mutex_);
        const QString oldFolder = folder_;
        setPath(newPath);
        if (folder_ != oldFolder) {
            inotify_rm_watch(inotifyFd_, wd_);
            addFolderWatchLocked();
        }
    }

private:
    void setPath(const QString& path)
    {
        const QFileInfo info(path);
        folder_ = info.absolutePath();
        name_ = QFile::encodeName(info.fileName());
    }

    bool addFolderWatchLocked()
    {
        wd_ = inotify_add_watch(inotifyFd_, QFile::encodeName(folder_).constData(), kFolderMask);
        return wd_ >= 0;
    }

    // A writer that truncates and then writes would otherwise be read in between,
    // and the half-written (often empty) file taken for the note. So changes are
    // reported when the writer closes the file, or once writes have been quiet for a
    // moment (for writers that keep the file open); renames, deletions and attribute
    // changes are complete at once.
    static constexpr int kQuietMs = 100;

    void run()
    {
        pthread_setname_np(pthread_self(), "FileMonitor-io");
        alignas(struct inotify_event) char buffer[16384];
        pollfd fds[2] = {{inotifyFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        unsigned pending = 0;
        for (;;) {
            const int ready = ::poll(fds, 2, pending ? kQuietMs : -1);
            if (ready < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (ready == 0) {
                deliver(std::exchange(pending, 0u));
                continue;
            }
            if (fds[1].revents)
                return;
            const ssize_t len = ::read(inotifyFd_, buffer, sizeof buffer);
            if (len <= 0)
                continue;
            bool complete = false;
            {
                std::lock_guard lock(mutex_);
                for (ssize_t off = 0; off < len;) {
                    const auto* ev = reinterpret_cast<const inotify_event*>(buffer + off);
                    off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
                    if (ev->wd != wd_)
                        continue;  // the folder we watched before follow()
                    if (ev->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                        // The folder itself went away or moved: the file is gone from
                        // its path. Should the folder come back, the note's next save
                        // watches again.
                        live_.store(false);
                        pending |= FileEventDelete;
                        complete = true;
                        continue;
                    }
                    if (ev->len == 0 || name_ != QByteArray(ev->name))
                        continue;
                    pending |= translate(ev->mask);
                    if (ev->mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_ATTRIB))
                        complete = true;
                }
            }
            if (complete)
                deliver(std::exchange(pending, 0u));
        }
    }

    void deliver(unsigned events)
    {
        if (events)
            queue_.async([callback = onEvents_, events] { callback(events); });
    }

    const int inotifyFd_;
    const int stopFd_;
    SerialQueue& queue_;
    std::function<void(unsigned)> onEvents_;
    std::mutex mutex_;
    QString folder_;
    QByteArray name_;
    int wd_ = -1;
    std::atomic<bool> live_{true};
    std::thread thread_;
};

}  // namespace

std::unique_ptr<FileWatch> InotifyWatcher::watch(const QString& path, SerialQueue& queue,
                                                 std::function<void(unsigned)> onEvents, int* errorNumber)
{
    const int inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd < 0) {
        if (errorNumber)
            *errorNumber = errno;
        return nullptr;
    }
    const int stopFd = eventfd(0, EFD_CLOEXEC);
    if (stopFd < 0) {
        if (errorNumber)
            *errorNumber = errno;
        ::close(inotifyFd);
        return nullptr;
    }
    auto watch = std::make_unique<InotifyWatch>(inotifyFd, stopFd, path, queue, std::move(onEvents));
    if (!watch->addFolderWatch()) {
        if (errorNumber)
            *errorNumber = errno;
        return nullptr;
    }
    return watch;
}

std::unique_ptr<FileWatcher> makePlatformFileWatcher() { return std::make_unique<InotifyWatcher>(); }

}  // namespace flintly

#pragma once

#include <mutex>
#include <shared_mutex>

namespace flintly::analytics {

// Identity fields are read from any caller thread and written on the tracking queue:
// many readers, one writer at a time.
class ReadWriteLock {
public:
    template <typename Fn> auto read(Fn&& fn) const
    {
        std::shared_lock lock(mutex_);
        return fn();
    }
    template <typename Fn> auto write(Fn&& fn)
    {
        std::unique_lock lock(mutex_);
        return fn();
    }

private:
    mutable std::shared_mutex mutex_;
};

}  // namespace flintly::analytics

#include "analytics/RepeatingTimer.h"

#include <pthread.h>

namespace flintly::analytics {

RepeatingTimer::~RepeatingTimer() { stop(); }

void RepeatingTimer::start(std::chrono::duration<double> interval, std::function<void()> tick)
{
    stop();
    std::lock_guard lock(mutex_);
    running_ = true;
    const unsigned generation = ++generation_;
    thread_ = std::thread([this, interval, tick = std::move(tick), generation] {
        pthread_setname_np(pthread_self(), "analytics.timer");
        const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(interval);
        auto next = std::chrono::steady_clock::now() + period;
        std::unique_lock lock(mutex_);
        for (;;) {
            if (wake_.wait_until(lock, next, [&] { return generation_ != generation; }))
                return;
            next += period;
            lock.unlock();
            tick();
            lock.lock();
        }
    });
}

void RepeatingTimer::stop()
{
    std::thread old;
    {
        std::lock_guard lock(mutex_);
        ++generation_;
        running_ = false;
        old = std::move(thread_);
    }
    wake_.notify_all();
    if (old.joinable() && old.get_id() != std::this_thread::get_id())
        old.join();
    else if (old.joinable())
        old.detach();
}

bool RepeatingTimer::isRunning() const
{
    std::lock_guard lock(mutex_);
    return running_;
}

}  // namespace flintly::analytics

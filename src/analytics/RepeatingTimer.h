#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace flintly::analytics {

// Calls a function every interval on its own thread until stopped. The function should
// only hand work on (the flush timer only queues a flush), so a tick never runs long.
class RepeatingTimer {
public:
    RepeatingTimer() = default;
    ~RepeatingTimer();
    RepeatingTimer(const RepeatingTimer&) = delete;
    RepeatingTimer& operator=(const RepeatingTimer&) = delete;

    // Replaces any running schedule.
    void start(std::chrono::duration<double> interval, std::function<void()> tick);
    void stop();
    bool isRunning() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
    bool running_ = false;
    // Bumped on every start/stop so an old thread knows it is no longer wanted.
    unsigned generation_ = 0;
};

}  // namespace flintly::analytics

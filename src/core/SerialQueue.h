#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace flintly {

// One worker thread running tasks in the order they were queued: the stand-in for a
// serial dispatch queue ("FileMonitor", the analytics queues). The thread carries the
// queue's label as its name so it shows up in debuggers and `top -H`.
class SerialQueue {
public:
    enum class Priority { Normal, Utility };

    explicit SerialQueue(std::string label, Priority priority = Priority::Normal);
    // Runs what is already queued, then joins the thread.
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> task);
    // Queues the task and waits for it. Calling this from the queue's own thread would
    // wait forever, so the task then runs at once instead.
    void sync(const std::function<void()>& task);
    // Blocks until every task queued before this call has run.
    void drain();

    bool isCurrent() const;
    const std::string& label() const { return label_; }

private:
    void run();

    const std::string label_;
    const Priority priority_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace flintly

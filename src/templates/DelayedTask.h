#pragma once

#include <functional>
#include <memory>

namespace flintly {

// Work that runs once after a delay on the GUI thread, unless its handle is dropped
// first: replacing the handle is how a debounce restarts.
class DelayedTask {
public:
    virtual ~DelayedTask() = default;
};

using ScheduleTask = std::function<std::unique_ptr<DelayedTask>(int ms, std::function<void()> work)>;

// The real clock: a precise single-shot Qt timer owned by the handle.
std::unique_ptr<DelayedTask> scheduleOnTimer(int ms, std::function<void()> work);

}  // namespace flintly

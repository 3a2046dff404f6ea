#pragma once

#include <functional>

namespace flintly {

// The quiet period between the last keystroke and filtering. Tests fire it by hand.
class QueryTimer {
public:
    virtual ~QueryTimer() = default;
    // Replaces any pending call.
    virtual void start(std::function<void()> fire) = 0;
    virtual void cancel() = 0;
};

}  // namespace flintly

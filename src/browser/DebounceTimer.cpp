#include "browser/DebounceTimer.h"

namespace flintly {

DebounceTimer::DebounceTimer(int intervalMs)
{
    timer_.setSingleShot(true);
    timer_.setInterval(intervalMs);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
        if (auto fire = std::exchange(fire_, nullptr))
            fire();
    });
}

void DebounceTimer::start(std::function<void()> fire)
{
    fire_ = std::move(fire);
    timer_.start();
}

void DebounceTimer::cancel()
{
    timer_.stop();
    fire_ = nullptr;
}

}  // namespace flintly

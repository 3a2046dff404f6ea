#pragma once

#include <QDateTime>
#include <QObject>

#include <functional>
#include <memory>

namespace flintly {

// A single-shot timer owned by whoever created it; destroying it cancels it.
class OneShotTimer {
public:
    virtual ~OneShotTimer() = default;
    // (Re)starts the countdown; an earlier start is forgotten.
    virtual void start(int ms) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// The clock and the timers of everything that waits: save debounces, the watcher's
// windows, retries. The app uses the system's; a test substitutes time it moves by
// hand, so a half-second debounce or a 30-second back-off is crossed without waiting
// and without depending on how loaded the machine is.
class TimeSource {
public:
    virtual ~TimeSource() = default;

    virtual QDateTime now() const = 0;
    // `fire` runs on the GUI thread each time the timer runs out.
    virtual std::unique_ptr<OneShotTimer> createTimer(std::function<void()> fire) = 0;

    // Runs `fn` once after `ms`, unless `context` is gone by then.
    virtual void runAfter(int ms, QObject* context, std::function<void()> fn) = 0;

    // Wall-clock time (UTC) and precise Qt timers.
    static TimeSource& system();
};

}  // namespace flintly

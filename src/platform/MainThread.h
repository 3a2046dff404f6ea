#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace flintly {

class OneShotTimer;
class TimeSource;

bool isMainThread();

// Queues `fn` on the thread of `context` (the GUI thread for widgets and models); it
// does not run if `context` is destroyed first, which is how background work holds
// its target weakly.
void runOn(QObject* context, std::function<void()> fn);
void runOnMainThread(std::function<void()> fn);

// Runs `fn` on `context`'s thread after `ms` milliseconds, unless `context` is gone.
void runAfter(int ms, QObject* context, std::function<void()> fn);

// A restartable quiet-period timer: `trigger()` (re)starts it, and `fire` runs once the
// triggers have stopped for the interval. A precise timer keeps the half-second save
// within a few milliseconds of the pause instead of Qt's default ±5%. Time comes from
// `time` (the system's when null), so tests can move it by hand.
class Debouncer : public QObject {
    Q_OBJECT
public:
    Debouncer(int intervalMs, std::function<void()> fire, QObject* parent = nullptr, TimeSource* time = nullptr);
    ~Debouncer() override;

    void trigger();
    void cancel();
    bool isPending() const;
    int interval() const { return intervalMs_; }

private:
    int intervalMs_;
    std::unique_ptr<OneShotTimer> timer_;
};

}  // namespace flintly

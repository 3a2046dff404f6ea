#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace flintly {

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
// within a few milliseconds of the pause instead of Qt's default ±5%.
class Debouncer : public QObject {
    Q_OBJECT
public:
    Debouncer(int intervalMs, std::function<void()> fire, QObject* parent = nullptr);

    void trigger();
    void cancel();
    bool isPending() const { return timer_.isActive(); }
    int interval() const { return timer_.interval(); }

private:
    QTimer timer_;
    std::function<void()> fire_;
};

}  // namespace flintly

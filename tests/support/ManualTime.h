#pragma once

#include "platform/TimeSource.h"

#include <QDateTime>
#include <QPointer>

#include <functional>
#include <list>
#include <memory>

namespace flintly::test {

// Time that moves only when the test says so. Timers run out inside advance(), in the
// order of their deadlines, on the calling (GUI) thread; a timer started while others
// fire runs in the same advance() if its deadline is reached.
class ManualTime final : public TimeSource {
public:
    explicit ManualTime(QDateTime start = QDateTime(QDate(2026, 3, 1), QTime(9, 0), Qt::UTC));
    ~ManualTime() override;

    QDateTime now() const override { return now_; }
    std::unique_ptr<OneShotTimer> createTimer(std::function<void()> fire) override;
    void runAfter(int ms, QObject* context, std::function<void()> fn) override;

    void advance(int ms);
    // Moves the clock without firing anything (what a stalled event loop looks like).
    void jump(int ms) { now_ = now_.addMSecs(ms); }
    // Milliseconds until the next timer runs out; -1 when none is running.
    qint64 nextDeadlineIn() const;

    struct Entry;

private:
    QDateTime now_;
    std::list<std::shared_ptr<Entry>> entries_;
};

}  // namespace flintly::test

#include "templates/DelayedTask.h"

#include <QTimer>

namespace flintly {

namespace {
class TimerTask final : public DelayedTask {
public:
    TimerTask(int ms, std::function<void()> work)
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(work));
        timer_.start(ms);
    }

private:
    QTimer timer_;
};
}  // namespace

std::unique_ptr<DelayedTask> scheduleOnTimer(int ms, std::function<void()> work)
{
    return std::make_unique<TimerTask>(ms, std::move(work));
}

}  // namespace flintly

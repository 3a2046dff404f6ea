#include "platform/TimeSource.h"

#include <QTimer>

namespace flintly {

namespace {

class QtOneShotTimer final : public OneShotTimer {
public:
    explicit QtOneShotTimer(std::function<void()> fire)
    {
        timer_.setSingleShot(true);
        // Qt's default coarse timers may fire 5% late; half a second of debounce should
        // be half a second.
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(fire));
    }
    void start(int ms) override { timer_.start(ms); }
    void stop() override { timer_.stop(); }
    bool isActive() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

class SystemTimeSource final : public TimeSource {
public:
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
    std::unique_ptr<OneShotTimer> createTimer(std::function<void()> fire) override
    {
        return std::make_unique<QtOneShotTimer>(std::move(fire));
    }
    void runAfter(int ms, QObject* context, std::function<void()> fn) override
    {
        if (context)
            QTimer::singleShot(ms, Qt::PreciseTimer, context, std::move(fn));
    }
};

}  // namespace

TimeSource& TimeSource::system()
{
    static SystemTimeSource source;
    return source;
}

}  // namespace flintly

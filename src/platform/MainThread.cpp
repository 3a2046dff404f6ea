#include "platform/MainThread.h"

#include "platform/TimeSource.h"

#include <QCoreApplication>
#include <QThread>

namespace flintly {

bool isMainThread()
{
    const auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void runOn(QObject* context, std::function<void()> fn)
{
    if (!context)
        return;
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

void runOnMainThread(std::function<void()> fn) { runOn(QCoreApplication::instance(), std::move(fn)); }

void runAfter(int ms, QObject* context, std::function<void()> fn)
{
    if (!context)
        return;
    QTimer::singleShot(ms, Qt::PreciseTimer, context, std::move(fn));
}

Debouncer::Debouncer(int intervalMs, std::function<void()> fire, QObject* parent, TimeSource* time)
    : QObject(parent), intervalMs_(intervalMs)
{
    timer_ = (time ? *time : TimeSource::system()).createTimer(std::move(fire));
}

Debouncer::~Debouncer() = default;

void Debouncer::trigger() { timer_->start(intervalMs_); }

void Debouncer::cancel() { timer_->stop(); }

bool Debouncer::isPending() const { return timer_->isActive(); }

}  // namespace flintly

#include "platform/MainThread.h"

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

Debouncer::Debouncer(int intervalMs, std::function<void()> fire, QObject* parent)
    : QObject(parent), fire_(std::move(fire))
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { fire_(); });
}

void Debouncer::trigger() { timer_.start(); }

void Debouncer::cancel() { timer_.stop(); }

}  // namespace flintly

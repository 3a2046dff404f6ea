#include "shortcuts/LocalEventMonitor.h"

#include <QCoreApplication>

namespace flintly::shortcuts {

LocalEventMonitor::LocalEventMonitor(QList<QEvent::Type> events, Callback callback, QObject* parent)
    : QObject(parent), events_(std::move(events)), callback_(std::move(callback))
{}

LocalEventMonitor::~LocalEventMonitor() { stop(); }

void LocalEventMonitor::start()
{
    if (running_ || !QCoreApplication::instance())
        return;
    QCoreApplication::instance()->installEventFilter(this);
    running_ = true;
}

void LocalEventMonitor::stop()
{
    if (!running_)
        return;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    running_ = false;
}

bool LocalEventMonitor::eventFilter(QObject* receiver, QEvent* event)
{
    if (!running_ || !events_.contains(event->type()))
        return false;
    if (event->type() != QEvent::ShortcutOverride && !receiver->isWindowType())
        return false;
    // Copy: the callback may stop this monitor or destroy its owner.
    const Callback callback = callback_;
    return !callback(receiver, event);
}

}  // namespace flintly::shortcuts

#pragma once

#include <QEvent>
#include <QList>
#include <QObject>

#include <functional>

namespace flintly::shortcuts {

// Sees the application's events of the chosen types before any widget does, while it
// runs, and may swallow them. Input events are judged once, where Qt first delivers
// them (the window); Qt then forwards the same event to the focus widget, which would
// otherwise be judged twice. Shortcut overrides go straight to the focus object and
// are judged there.
class LocalEventMonitor : public QObject {
    Q_OBJECT
public:
    // Returns whether the event goes on to its receiver.
    using Callback = std::function<bool(QObject* receiver, QEvent* event)>;

    LocalEventMonitor(QList<QEvent::Type> events, Callback callback, QObject* parent = nullptr);
    ~LocalEventMonitor() override;

    void start();
    void stop();
    bool isRunning() const { return running_; }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    QList<QEvent::Type> events_;
    Callback callback_;
    bool running_ = false;
};

}  // namespace flintly::shortcuts

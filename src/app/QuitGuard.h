#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace flintly {

// Makes every ordinary way of ending the app (Quit, the session ending, SIGTERM,
// SIGINT, SIGHUP) run `beforeQuit` first, so typing still waiting for its save is
// written before the process goes, and makes sure no window of ours can refuse it.
class QuitGuard : public QObject {
    Q_OBJECT
public:
    explicit QuitGuard(std::function<void()> beforeQuit, QObject* parent = nullptr);
    ~QuitGuard() override;

    // Whether the app was asked to quit. Quitting also ends a modal dialog's own event
    // loop, and its caller must not take that for the user's answer.
    bool quitRequested() const { return quitRequested_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void takeWindowsDown();
    void runOnce();

    std::function<void()> beforeQuit_;
    bool ran_ = false;
    bool quitRequested_ = false;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace flintly

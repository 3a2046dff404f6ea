#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace flintly {

// Makes every ordinary way of ending the app (Quit, the session ending, SIGTERM,
// SIGINT, SIGHUP) run `beforeQuit` first, so typing still waiting for its save is
// written before the process goes.
class QuitGuard : public QObject {
    Q_OBJECT
public:
    explicit QuitGuard(std::function<void()> beforeQuit, QObject* parent = nullptr);
    ~QuitGuard() override;

private:
    void runOnce();

    std::function<void()> beforeQuit_;
    bool ran_ = false;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace flintly

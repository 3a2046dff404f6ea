#pragma once

// What the benchmarks that drive the real editor page share: a URL opener that opens
// nothing, and waiting for the page while the event loop runs.
#include "platform/Dialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QVariant>
#include <QWebEnginePage>

#include <functional>

namespace flintly::bench {

class NoUrlOpener final : public UrlOpener {
public:
    bool openUrl(const QUrl&) override { return false; }
    void revealInFileManager(const QString&) override {}
    void beep() override {}
};

// Runs the event loop in slices of `sliceMs` until `done` holds or the time is up.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs, int sliceMs = 1)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, sliceMs);
        QThread::usleep(200);
    }
    return true;
}

inline void spin(int ms)
{
    waitUntil([] { return false; }, ms);
}

inline QVariant evaluate(QWebEnginePage* page, const QString& script, int timeoutMs = 30000)
{
    bool done = false;
    QVariant value;
    page->runJavaScript(script, [&](const QVariant& v) {
        value = v;
        done = true;
    });
    waitUntil([&] { return done; }, timeoutMs);
    return value;
}

}  // namespace flintly::bench

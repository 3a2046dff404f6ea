#include "support/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>

namespace flintly::test {

namespace {
QString g_root;
}

void setTemporaryRoot(const QString& root) { g_root = root; }

QString temporaryRoot() { return g_root; }

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void spin(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

}  // namespace flintly::test

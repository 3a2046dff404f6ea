#include "app/QuitGuard.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace flintly {

namespace {
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &byte, 1);
}
}  // namespace

QuitGuard::QuitGuard(std::function<void()> beforeQuit, QObject* parent)
    : QObject(parent), beforeQuit_(std::move(beforeQuit))
{
    QCoreApplication::instance()->installEventFilter(this);
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { runOnce(); });
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(gui, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
            ran_ = false;  // the session may go on after committing; save again at quit
            runOnce();
            ran_ = false;
        });
    // A signal handler may only write a byte; the quit itself happens in the event loop.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
        notifier_ = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [] {
            char byte;
            [[maybe_unused]] auto n = ::read(g_signalPipe[0], &byte, 1);
            QCoreApplication::quit();
        });
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            ::sigaction(sig, &action, nullptr);
    }
}

QuitGuard::~QuitGuard()
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        std::signal(sig, SIG_DFL);
    if (g_signalPipe[0] >= 0) {
        ::close(g_signalPipe[0]);
        ::close(g_signalPipe[1]);
        g_signalPipe[0] = g_signalPipe[1] = -1;
    }
}

bool QuitGuard::eventFilter(QObject* watched, QEvent* event)
{
    // Every quit() (signals, the tray, Ctrl+Q, the session) arrives as this event.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
        quitRequested_ = true;
        takeWindowsDown();
    }
    return false;
}

// Qt asks every window to close before it quits and drops the quit when one is still
// shown afterwards. Ours hide instead of closing (the note panel), fade out first (the
// template panel), or stop the round of closing by refusing, so with the settings
// window open Quit did nothing at all, depending on the order Qt happened to ask in.
void QuitGuard::takeWindowsDown()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            window->hide();
}

void QuitGuard::runOnce()
{
    if (ran_)
        return;
    ran_ = true;
    if (beforeQuit_)
        beforeQuit_();
}

}  // namespace flintly

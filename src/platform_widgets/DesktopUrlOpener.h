#pragma once

#include "platform/Dialogs.h"

#include <QDBusConnection>
#include <QObject>

#include <functional>

namespace flintly {

class TimeSource;

class DesktopUrlOpener final : public UrlOpener {
public:
    // The file manager has this long to answer before the folder is opened instead. A
    // file manager the call starts first takes a moment; one that hangs must not leave
    // the user with nothing.
    static constexpr int kRevealAnswerMs = 4000;

    struct Options {
        QDBusConnection bus = QDBusConnection::sessionBus();
        TimeSource* time = nullptr;             // null: the system clock and Qt timers
        std::function<bool(const QUrl&)> open;  // null: the desktop's opener
    };

    DesktopUrlOpener();
    explicit DesktopUrlOpener(Options options);

    bool openUrl(const QUrl& url) override;
    // Asks the desktop's file manager to show the item, selected, in its folder; opens
    // that folder where no file manager answers on the session bus, refuses, or is too
    // slow. Returns at once: the answer comes through the event loop.
    void revealInFileManager(const QString& path) override;
    void beep() override;

private:
    Options options_;
    QObject context_;  // the pending calls and their time limits end with the opener
};

}  // namespace flintly

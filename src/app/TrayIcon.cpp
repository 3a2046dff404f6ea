#include "app/TrayIcon.h"

#include "app/X11SystemTray.h"
#include "platform/Log.h"
#include "platform_widgets/StatusNotifierHosts.h"

#include <QSystemTrayIcon>

// Resources compiled into a static library are only registered when asked for.
static void ensureTrayImages()
{
    static const bool once = [] {
        Q_INIT_RESOURCE(tray_images);
        return true;
    }();
    (void)once;
}

namespace flintly {

QIcon TrayIcon::symbolicIcon()
{
    ensureTrayImages();
    return QIcon::fromTheme(QStringLiteral("org.flintly.Flintly-symbolic"),
                            QIcon(QStringLiteral(":/tray/flintly-symbolic.svg")));
}

TrayIcon::TrayIcon(std::function<void()> toggleNote, QMenu* menu) : TrayIcon(std::move(toggleNote), menu, Options{}) {}

TrayIcon::TrayIcon(std::function<void()> toggleNote, QMenu* menu, Options options, QObject* parent)
    : QObject(parent), toggleNote_(std::move(toggleNote)), menu_(menu), options_(std::move(options))
{
    if (!options_.hosts)
        options_.hosts = new StatusNotifierHosts(QDBusConnection::sessionBus(), this);
    if (!options_.x11TrayPresent)
        options_.x11TrayPresent = x11SystemTrayPresent;
    connect(options_.hosts, &StatusNotifierHosts::availabilityChanged, this, &TrayIcon::follow);
    if (const auto known = options_.hosts->available())
        follow(*known);
}

TrayIcon::~TrayIcon() { delete icon_; }

void TrayIcon::follow(bool statusNotifierTray)
{
    if (statusNotifierTray) {
        if (tray_ == Tray::none)
            show(Tray::statusNotifier);
        else if (tray_ == Tray::x11)
            log("🧩 A StatusNotifier tray is there now; Flintly's icon stays in the X11 tray until it restarts");
        return;
    }
    if (tray_ == Tray::statusNotifier) {
        remove();
        log("🧩 The tray went away; its icon comes back with it");
    } else if (tray_ == Tray::none && !decided_ && options_.x11TrayPresent()) {
        // The old X11 tray is there instead. Qt then follows it by itself (it may restart),
        // but this process can no longer use a StatusNotifier tray.
        show(Tray::x11);
    }
}

void TrayIcon::show(Tray tray)
{
    decided_ = true;
    tray_ = tray;
    icon_ = new QSystemTrayIcon(symbolicIcon());
    icon_->setToolTip(QStringLiteral("Flintly"));
    icon_->setContextMenu(menu_);
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger && toggleNote_)
            toggleNote_();
    });
    icon_->show();
    log("🧩 Tray icon shown:", tray == Tray::statusNotifier ? "StatusNotifier" : "X11");
    emit shownChanged(true);
}

void TrayIcon::remove()
{
    // Deleting it takes its item off the bus, so no stale entry waits for the next tray.
    delete std::exchange(icon_, nullptr);
    tray_ = Tray::none;
    emit shownChanged(false);
}

}  // namespace flintly

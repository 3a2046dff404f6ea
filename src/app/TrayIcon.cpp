#include "app/TrayIcon.h"

#include "panels/SymbolIcon.h"

#include <QSystemTrayIcon>

namespace flintly {

bool TrayIcon::isAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

TrayIcon::TrayIcon(std::function<void()> toggleNote, QMenu* menu, QObject* parent) : QObject(parent)
{
    icon_ = new QSystemTrayIcon(appIcon(), this);
    icon_->setToolTip(QStringLiteral("Flintly"));
    icon_->setContextMenu(menu);
    connect(icon_, &QSystemTrayIcon::activated, this, [toggleNote](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            toggleNote();
    });
    icon_->show();
}

}  // namespace flintly

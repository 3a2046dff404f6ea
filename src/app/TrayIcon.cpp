#include "app/TrayIcon.h"

#include "panels/SymbolIcon.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>

namespace flintly {

bool TrayIcon::isAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

TrayIcon::TrayIcon(std::function<void()> toggleNote, QObject* parent) : QObject(parent)
{
    icon_ = new QSystemTrayIcon(appIcon(), this);
    icon_->setToolTip(QStringLiteral("Flintly"));
    auto* menu = new QMenu;
    connect(this, &QObject::destroyed, menu, &QObject::deleteLater);
    menu->addAction(QStringLiteral("Show/Hide Note"), this, toggleNote);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Quit Flintly"), qApp, &QCoreApplication::quit);
    icon_->setContextMenu(menu);
    connect(icon_, &QSystemTrayIcon::activated, this, [toggleNote](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            toggleNote();
    });
    icon_->show();
}

}  // namespace flintly

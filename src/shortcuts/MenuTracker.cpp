#include "shortcuts/MenuTracker.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>

namespace flintly::shortcuts {

MenuTracker::MenuTracker(QObject* parent) : QObject(parent)
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

MenuTracker::~MenuTracker()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool MenuTracker::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::Show && type != QEvent::Hide)
        return false;
    if (auto* menu = qobject_cast<QMenu*>(watched); menu && menu->isWindow())
        setOpen(menu, type == QEvent::Show);
    return false;
}

void MenuTracker::setOpen(QMenu* menu, bool open)
{
    const bool wasOpen = isMenuOpen();
    if (open && !openMenus_.contains(menu)) {
        // A menu destroyed while open never sends its Hide.
        openMenus_.insert(menu, connect(menu, &QObject::destroyed, this, [this, menu] { setOpen(menu, false); }));
    } else if (!open && openMenus_.contains(menu)) {
        disconnect(openMenus_.take(menu));
    }
    if (wasOpen != isMenuOpen())
        emit menuOpenChanged(isMenuOpen());
}

}  // namespace flintly::shortcuts

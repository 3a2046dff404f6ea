#pragma once

#include "shortcuts/Shortcut.h"

#include <QList>

class QAction;

namespace flintly::shortcuts {

// The first menu action, in menu order and depth first through submenus, whose
// shortcut is this one; nothing for a shortcut no menu could carry.
QAction* menuItemWithShortcut(const QList<QAction*>& items, const Shortcut& shortcut);

}  // namespace flintly::shortcuts

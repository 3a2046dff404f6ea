#include "shortcuts/MenuItemSearch.h"

#include <QAction>
#include <QMenu>

namespace flintly::shortcuts {

namespace {
QAction* search(const QList<QAction*>& items, const QKeySequence& wanted)
{
    for (QAction* item : items) {
        if (!item || item->isSeparator())
            continue;
        for (const QKeySequence& sequence : item->shortcuts())
            if (sequence == wanted)
                return item;
        if (QMenu* submenu = item->menu())
            if (QAction* found = search(submenu->actions(), wanted))
                return found;
    }
    return nullptr;
}
}  // namespace

QAction* menuItemWithShortcut(const QList<QAction*>& items, const Shortcut& shortcut)
{
    const auto wanted = shortcut.keySequence();
    if (!wanted)
        return nullptr;
    return search(items, *wanted);
}

}  // namespace flintly::shortcuts

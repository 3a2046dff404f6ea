#pragma once

#include "shortcuts/Name.h"

#include <QObject>
#include <QPointer>

class QAction;

namespace flintly::shortcuts {

class GlobalShortcuts;

// Gives a menu action (or button action) the shortcut a name currently has, so the
// menu shows it and it works inside the app; follows every change of the name, and
// drops it while a recorder records, so the keys being recorded do not trigger it.
// Lives as long as the action.
class GlobalShortcutViewModifier : public QObject {
    Q_OBJECT
public:
    GlobalShortcutViewModifier(QAction* action, const Name& name, GlobalShortcuts& shortcuts);

    bool isRecorderActive() const { return isRecorderActive_; }

private:
    void apply();

    QPointer<QAction> action_;
    Name name_;
    GlobalShortcuts& shortcuts_;
    bool isRecorderActive_ = false;
};

}  // namespace flintly::shortcuts

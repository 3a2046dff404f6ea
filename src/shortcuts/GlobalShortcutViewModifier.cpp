#include "shortcuts/GlobalShortcutViewModifier.h"

#include "platform/NotificationCenter.h"
#include "shortcuts/GlobalShortcuts.h"

#include <QAction>

namespace flintly::shortcuts {

GlobalShortcutViewModifier::GlobalShortcutViewModifier(QAction* action, const Name& name, GlobalShortcuts& shortcuts)
    : QObject(action), action_(action), name_(name), shortcuts_(shortcuts)
{
    auto& center = NotificationCenter::defaultCenter();
    center.observe(kRecorderActiveStatusDidChange, this, [this](const Notification& n) {
        isRecorderActive_ = n.userInfo.value(QStringLiteral("isActive")).toBool();
        apply();
    });
    center.observe(kShortcutByNameDidChange, this, [this](const Notification& n) {
        if (n.userInfo.value(QStringLiteral("name")).value<Name>() == name_)
            apply();
    });
    apply();
}

void GlobalShortcutViewModifier::apply()
{
    if (!action_)
        return;
    std::optional<QKeySequence> sequence;
    if (!isRecorderActive_)
        if (const auto shortcut = shortcuts_.getShortcut(name_))
            sequence = shortcut->keySequence();
    action_->setShortcut(sequence.value_or(QKeySequence()));
}

}  // namespace flintly::shortcuts

#include "quickopen/PanelKeyMonitor.h"

#include "platform/NotificationCenter.h"

#include <QApplication>
#include <QKeyEvent>

namespace flintly {

namespace {
bool isKey(const QEvent* event)
{
    return event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
}

Qt::KeyboardModifiers plainModifiers(const QKeyEvent* key) { return key->modifiers() & ~Qt::KeypadModifier; }

// A menu or a modal dialog of ours has the keyboard: its keys are its own.
bool somethingElseHasTheKeyboard() { return QApplication::activePopupWidget() || QApplication::activeModalWidget(); }

QWidget* windowOf(QObject* receiver)
{
    auto* widget = qobject_cast<QWidget*>(receiver);
    return widget ? widget->window() : nullptr;
}

// Handles a key the filter claims: the override is accepted, so no shortcut takes the
// key and it arrives as a key press, which `act` then consumes.
bool claim(QEvent* event, const std::function<void()>& act)
{
    event->accept();
    if (event->type() == QEvent::KeyPress)
        act();
    return true;
}
}  // namespace

PanelKeyMonitor::PanelKeyMonitor(QWidget* panel, std::function<bool()> isShown, std::function<void()> dismiss)
    : panel_(panel), isShown_(std::move(isShown)), dismiss_(std::move(dismiss))
{}

bool PanelKeyMonitor::eventFilter(QObject* receiver, QEvent* event)
{
    // While fading out the panel is already dismissed: keys are the windows' again.
    if (!isKey(event) || !isShown_() || somethingElseHasTheKeyboard() || !qobject_cast<QWidget*>(receiver))
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape && plainModifiers(key) == Qt::NoModifier)
        return claim(event, dismiss_);
    // Ctrl+1 … Ctrl+9 belong to the panel itself, not to the window under it.
    if (plainModifiers(key) == Qt::ControlModifier && key->key() >= Qt::Key_1 && key->key() <= Qt::Key_9
        && windowOf(receiver) == panel_) {
        const int index = key->key() - Qt::Key_1;
        return claim(event, [index] { NotificationCenter::defaultCenter().post(QStringLiteral("OpenPinned"), index); });
    }
    return false;
}

}  // namespace flintly

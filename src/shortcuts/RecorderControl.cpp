#include "shortcuts/RecorderControl.h"

#include "platform/Dialogs.h"
#include "platform/NotificationCenter.h"
#include "platform_widgets/DesktopUrlOpener.h"
#include "platform_widgets/QtAlertPresenter.h"
#include "shortcuts/GlobalShortcuts.h"
#include "shortcuts/KeyCodeMap.h"
#include "shortcuts/LocalEventMonitor.h"
#include "shortcuts/Localized.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QStyle>
#include <QTimer>

namespace flintly::shortcuts {

namespace {
// A click this close outside the field still counts as inside: the field's border
// and focus ring are drawn beyond its bounds.
constexpr int kClickMargin = 3;
}  // namespace

RecorderServices RecorderServices::standard()
{
    static QtAlertPresenter alerts;
    static DesktopUrlOpener beeper;
    return {&GlobalShortcuts::shared(), &alerts, &beeper};
}

RecorderControl::RecorderControl(const Name& name, OnChange onChange, RecorderServices services, QWidget* parent)
    : QLineEdit(parent), shortcutName_(name), onChange_(std::move(onChange)), services_(services)
{
    Q_ASSERT(services_.shortcuts && services_.alerts && services_.beeper);
    setPlaceholderText(localized("record_shortcut"));
    setAlignment(Qt::AlignCenter);
    // Typing never edits the text: keys are recorded, and pasting (or the middle-click
    // paste of X11) would bypass the checks. Read-only also hides the caret.
    setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // Qt disables its own clear button in a read-only field, so the field has its own.
    cancelButton_ = addAction(style()->standardIcon(QStyle::SP_LineEditClearButton), QLineEdit::TrailingPosition);
    cancelButton_->setToolTip(QCoreApplication::translate("GlobalShortcuts", "Clear"));
    connect(cancelButton_, &QAction::triggered, this, &RecorderControl::pressCancelButton);
    connect(this, &QLineEdit::textChanged, this, &RecorderControl::updateCancelButton);
    connect(this, &QLineEdit::textEdited, this, &RecorderControl::textEditedByUser);
    showShortcut();
    shortcutsNameChangeObserver_ =
        NotificationCenter::defaultCenter().observe(kShortcutByNameDidChange, this, [this](const Notification& n) {
            if (n.userInfo.value(QStringLiteral("name")).value<Name>() == shortcutName_)
                showShortcut();
        });
}

RecorderControl::~RecorderControl()
{
    // Recording paused every shortcut of the app; it must not stay paused.
    endRecording();
}

void RecorderControl::setShortcutName(const Name& name)
{
    shortcutName_ = name;
    showShortcut();
}

QSize RecorderControl::sizeHint() const { return {minimumWidth, QLineEdit::sizeHint().height()}; }

QSize RecorderControl::minimumSizeHint() const { return sizeHint(); }

void RecorderControl::showShortcut()
{
    const auto shortcut = services_.shortcuts->getShortcut(shortcutName_);
    setText(shortcut ? shortcut->nativeText() : QString());
    updateCancelButton();
}

void RecorderControl::updateCancelButton() { cancelButton_->setVisible(!text().isEmpty()); }

// --- focus

bool RecorderControl::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // While recording, every key is a candidate shortcut, not a command of the
        // window (a menu action on Ctrl+N must not fire when Ctrl+N is being recorded).
        if (recording_) {
            event->accept();
            return true;
        }
        break;
    case QEvent::WindowActivate: preventBecomingKey(); break;
    default: break;
    }
    return QLineEdit::event(event);
}

void RecorderControl::showEvent(QShowEvent* event)
{
    preventBecomingKey();
    QLineEdit::showEvent(event);
}

void RecorderControl::hideEvent(QHideEvent* event)
{
    endRecording();
    QLineEdit::hideEvent(event);
}

// A window focuses its first field when it opens or comes to the front; for this field
// that would start recording without the user asking. Refusing focus for one turn of
// the event loop leaves only a deliberate click or Tab.
void RecorderControl::preventBecomingKey()
{
    canBecomeKey_ = false;
    setFocusPolicy(Qt::NoFocus);
    QTimer::singleShot(0, this, [this] {
        canBecomeKey_ = true;
        setFocusPolicy(Qt::StrongFocus);
    });
}

void RecorderControl::focusInEvent(QFocusEvent* event)
{
    if (!canBecomeKey_) {
        QTimer::singleShot(0, this, [this] {
            if (hasFocus())
                clearFocus();
        });
        return;
    }
    QLineEdit::focusInEvent(event);
    startRecording();
}

void RecorderControl::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    endRecording();
    // The window going to the back drops the field's focus for good, so bringing the
    // window back does not resume recording.
    if (event->reason() == Qt::ActiveWindowFocusReason && window()->focusWidget() == this)
        clearFocus();
}

void RecorderControl::resignFirstResponder()
{
    if (hasFocus())
        clearFocus();
    else
        endRecording();
}

// --- recording

void RecorderControl::startRecording()
{
    if (recording_)
        return;
    recording_ = true;
    setPlaceholderText(localized("press_shortcut"));
    services_.shortcuts->setPaused(true);
    NotificationCenter::defaultCenter().post(kRecorderActiveStatusDidChange, {}, {{QStringLiteral("isActive"), true}});
    eventMonitor_ =
        std::make_unique<LocalEventMonitor>(QList<QEvent::Type>{QEvent::MouseButtonRelease, QEvent::KeyPress},
                                            [this](QObject*, QEvent* event) { return handleEvent(event); });
    eventMonitor_->start();
}

void RecorderControl::endRecording()
{
    if (!recording_)
        return;
    recording_ = false;
    if (eventMonitor_) {
        // Possibly ending from inside the monitor's own callback: let it return first.
        eventMonitor_->stop();
        eventMonitor_.release()->deleteLater();
    }
    setPlaceholderText(localized("record_shortcut"));
    services_.shortcuts->setPaused(false);
    NotificationCenter::defaultCenter().post(kRecorderActiveStatusDidChange, {}, {{QStringLiteral("isActive"), false}});
}

void RecorderControl::textEditedByUser(const QString& text)
{
    // Only the clear button edits the text.
    if (!text.isEmpty())
        return;
    services_.shortcuts->setShortcut(std::nullopt, shortcutName_);
    if (onChange_)
        onChange_(std::nullopt);
    // Clearing is usually followed by recording the replacement.
    if (canBecomeKey_ || hasFocus()) {
        canBecomeKey_ = true;
        setFocus(Qt::OtherFocusReason);
    }
}

void RecorderControl::pressCancelButton()
{
    if (text().isEmpty())
        return;
    clear();
    emit textEdited(QString());
}

void RecorderControl::beep() { services_.beeper->beep(); }

bool RecorderControl::handleEvent(QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton && mouse->button() != Qt::RightButton)
            return true;
        const QPoint global = mouse->globalPosition().toPoint();
        if (!rect()
                 .adjusted(-kClickMargin, -kClickMargin, kClickMargin, kClickMargin)
                 .contains(mapFromGlobal(global))) {
            resignFirstResponder();
            return true;
        }
        // The clear button is a child of the field and acts on release; swallowing its
        // release would leave it dead while recording, which is whenever it is clicked.
        QWidget* under = QApplication::widgetAt(global);
        return under && under != this && isAncestorOf(under);
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    return handleKeyPress(static_cast<QKeyEvent*>(event));
}

bool RecorderControl::handleKeyPress(QKeyEvent* event)
{
    // Qt reports modifier keys as key presses of their own (AppKit as flag changes,
    // which never reach the recorder): holding Ctrl on the way to Ctrl+J is not a try.
    if (KeyCodeMap::isModifierQtKey(event->key()))
        return false;

    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (modifiers == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Tab:
            // Focus moves on to the next field, as Tab does anywhere else.
            focusNextChild();
            resignFirstResponder();
            return false;
        case Qt::Key_Escape: resignFirstResponder(); return false;
        case Qt::Key_Backspace:
        case Qt::Key_Delete: pressCancelButton(); return false;
        default: break;
        }
    }

    // Without Ctrl, Alt or Super a key types text in other programs; only the function
    // keys are free to use alone (or with Shift).
    if (!(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        if (event->key() < Qt::Key_F1 || event->key() > Qt::Key_F35) {
            beep();
            return false;
        }
    }

    const auto shortcut = Shortcut::fromEvent(event);
    if (!shortcut) {
        beep();
        return false;
    }

    QPointer<RecorderControl> self(this);
    if (QAction* item = services_.shortcuts->menuItemUsing(*shortcut)) {
        resignFirstResponder();
        Alert alert;
        alert.title = localized("keyboard_shortcut_used_by_menu_item").arg(item->text().remove(QLatin1Char('&')));
        alert.buttons = {localized("ok")};
        services_.alerts->present(alert);
        return false;
    }

    const bool bareF12 = shortcut->carbonKeyCode() == Key::f12.rawValue && shortcut->carbonModifiers() == 0;
    if (!bareF12 && services_.shortcuts->isTakenBySystem(*shortcut)) {
        resignFirstResponder();
        Alert alert;
        alert.title = localized("keyboard_shortcut_used_by_system");
        alert.message = localized("keyboard_shortcuts_can_be_changed");
        alert.buttons = {localized("ok"), localized("force_use_shortcut")};
        alert.escapeButton = 0;  // dismissing the alert does not use the shortcut
        const int answer = services_.alerts->present(alert);
        if (!self)
            return false;
        resignFirstResponder();
        if (answer != 1)
            return false;
    }

    accept(*shortcut);
    return false;
}

void RecorderControl::accept(const Shortcut& shortcut)
{
    QPointer<RecorderControl> self(this);
    setText(shortcut.nativeText());
    services_.shortcuts->setShortcut(shortcut, shortcutName_);
    if (onChange_)
        onChange_(shortcut);
    if (self)
        resignFirstResponder();
}

}  // namespace flintly::shortcuts

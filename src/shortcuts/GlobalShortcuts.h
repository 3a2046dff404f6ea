#pragma once

#include "shortcuts/HotkeyRegistry.h"
#include "shortcuts/Name.h"
#include "shortcuts/Shortcut.h"
#include "shortcuts/ShortcutEventStream.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QWidget;

namespace flintly {
class SettingsStore;
}

namespace flintly::shortcuts {

class MenuTracker;
class ShortcutListeners;

inline const QString kShortcutByNameDidChange = QStringLiteral("GlobalShortcuts_shortcutByNameDidChange");
inline const QString kRecorderActiveStatusDidChange = QStringLiteral("GlobalShortcuts_recorderActiveStatusDidChange");

// Named, user-changeable, desktop-wide shortcuts: where each name's shortcut is stored
// ("GlobalShortcuts_{name}" in the settings), which hotkeys are live, and which actions
// run when one is pressed. Everything runs on the GUI thread.
//
// The app binds a name in one call:
//   GlobalShortcuts::shared().bindKeyUp(QStringLiteral("showNote"),
//       Shortcut(Key::j, ModifierFlag::command), panel, [panel] { panel->toggle(); });
class GlobalShortcuts : public QObject {
    Q_OBJECT
public:
    // Without a backend, the X11 one (or none, with one log line, off X11).
    explicit GlobalShortcuts(SettingsStore& settings, std::unique_ptr<KeyGrabBackend> backend = nullptr,
                             QObject* parent = nullptr);
    ~GlobalShortcuts() override;

    // The app's instance, on the standard settings store.
    static GlobalShortcuts& shared();

    // --- names and storage

    // Declares a name: on first launch (nothing at all stored for it) its default is
    // stored and registered. Also starts watching the app's menus.
    Name declare(const QString& rawName, std::optional<Shortcut> defaultShortcut = std::nullopt);
    // declare() and onKeyUp() in one: the action runs when the shortcut is released,
    // for as long as `context` lives.
    Name bindKeyUp(const QString& rawName, std::optional<Shortcut> defaultShortcut, QObject* context,
                   std::function<void()> action);

    std::optional<Shortcut> getShortcut(const Name& name) const;
    // Stores and registers a shortcut, or clears it (stores false for a name with a
    // default, so the default does not come back). Posts the change notification,
    // except when clearing a name that had nothing stored.
    void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name);
    void reset(const Name& name);
    void reset(const QList<Name>& names);
    // Removes every stored shortcut of every name; a stored "disabled" stays.
    void resetAll();

    // --- actions

    void onKeyDown(const Name& name, QObject* context, std::function<void()> action);
    void onKeyUp(const Name& name, QObject* context, std::function<void()> action);
    std::unique_ptr<ShortcutEventStream> events(const Name& name);
    std::unique_ptr<ShortcutEventStream> events(EventType type, const Name& name);
    void enable(const QList<Name>& names);
    void disable(const QList<Name>& names);
    void removeAllHandlers();

    bool isEnabled() const;
    void setEnabled(bool enabled);
    // While paused (the recorder is recording) hotkeys stay grabbed but no action
    // runs; their key presses go to the focused window instead, so pressing the
    // current shortcut in the recorder records it.
    bool isPaused() const { return isPaused_; }
    void setPaused(bool paused) { isPaused_ = paused; }

    // --- queries for the recorder

    // Whether another program holds the combination.
    bool isTakenBySystem(const Shortcut& shortcut);
    // The menu checked for conflicts; without one, every menu bar of the app.
    void setMainMenu(QWidget* menu);
    QAction* menuItemUsing(const Shortcut& shortcut) const;

    // While an action runs: what the desktop told about the key event that ran it (the
    // X11 event time, a portal's activation token; empty when unknown). A window the
    // action shows passes it on to get the keyboard focus past the window manager's
    // focus-stealing prevention.
    UserActivation activation() const { return registry_->activation(); }

    // Which path carries the hotkeys; carrierChanged() when that changes. Each settled
    // path is also logged, the first at start.
    HotkeyCarrier carrier() const { return registry_->carrier(); }
    // Opens the desktop's own settings of our hotkeys where carrier().canConfigure.
    void configureInDesktop() { registry_->configureCarrier(); }

    HotkeyRegistry& registry() { return *registry_; }
    SettingsStore& settings() { return settings_; }
    bool isRegistered(const Shortcut& shortcut) const { return registeredShortcuts_.contains(shortcut); }

signals:
    void carrierChanged();

private:
    // Some listeners of these names went: a hotkey nothing listens to any more goes too.
    void listenersReleased(const QSet<Name>& names);
    void registerIfNeeded(const Name& name);
    void registerShortcut(const Shortcut& shortcut);
    void unregisterShortcut(const Shortcut& shortcut);
    // Unregisters unless another name still stores the shortcut.
    void releaseUnlessShared(const Shortcut& shortcut, const Name& except);
    bool hasAnyHandlerFor(const Shortcut& shortcut) const;
    QSet<Name> knownNames() const;
    void postChange(const Name& name);
    void dispatch(EventType type, const Shortcut& pressed);
    void ensureMenuTracking();

    SettingsStore& settings_;
    std::unique_ptr<HotkeyRegistry> registry_;
    MenuTracker* menuTracker_ = nullptr;
    QSet<Shortcut> registeredShortcuts_;
    QSet<Name> declaredNames_;
    std::unique_ptr<ShortcutListeners> listeners_;
    bool isPaused_ = false;
    QSet<Shortcut> heldSincePause_;
    QPointer<QWidget> mainMenu_;
    CarrierLog carrierLog_;
};

}  // namespace flintly::shortcuts

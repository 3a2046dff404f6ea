#pragma once

#include "shortcuts/KeyGrabBackend.h"
#include "shortcuts/LocalEventMonitor.h"
#include "shortcuts/Shortcut.h"

#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace flintly::shortcuts {

// One desktop-wide hotkey.
struct HotKey {
    using Callback = std::function<void(const Shortcut&)>;

    Shortcut shortcut;
    quint32 carbonHotKeyId = 0;
    // The grab's handle with the backend; none while released (menu open, disabled).
    std::optional<quint32> carbonHotKey;
    Callback onKeyDown;
    Callback onKeyUp;
};

// The table of hotkeys, keyed by the id each registration draws from a counter, and
// the switch between the two ways their keys arrive: as grabbed keys from the backend
// normally, as key events of our own open menu while one is open.
class HotkeyRegistry : public QObject {
    Q_OBJECT
public:
    explicit HotkeyRegistry(std::unique_ptr<KeyGrabBackend> backend, QObject* parent = nullptr);
    ~HotkeyRegistry() override;

    // On failure prints "Error registering hotkey {description}: {status}" and keeps
    // nothing. Returns whether the hotkey is in the table.
    bool registerShortcut(const Shortcut& shortcut, HotKey::Callback onKeyDown, HotKey::Callback onKeyUp);
    void unregisterShortcut(const Shortcut& shortcut);

    bool isEnabled() const { return isEnabled_; }
    void setEnabled(bool enabled);
    bool isMenuOpen() const { return isMenuOpen_; }
    void setMenuOpen(bool open);

    // The two ways in: a grabbed key by id, and a key event of an open menu.
    bool handleHotKeyEvent(quint32 id, bool pressed);
    bool handleRawKey(int keyCode, quint32 carbonModifiers, bool pressed);

    // Whether we hold a live grab of the shortcut ourselves.
    bool holds(const Shortcut& shortcut) const;
    // Whether another program holds it; never asks about one we hold, since probing
    // our own grab would release it.
    bool isTakenBySystem(const Shortcut& shortcut);

    // What the desktop told about the key event while one of its callbacks runs (see
    // KeyGrabBackend).
    UserActivation activation() const { return backend_->activation(); }
    HotkeyCarrier carrier() const { return backend_->carrier(); }
    void configureCarrier() { backend_->configure(); }

    const std::map<quint32, HotKey>& hotKeys() const { return hotKeys_; }
    bool hasEventHandler() const { return handlerInstalled_; }

private:
    void updateEventTypes();
    // A menu of ours holds the keyboard and the backend's keys cannot reach us past it.
    bool menuBlocksGrabs() const { return isMenuOpen_ && !backend_->deliversWhileMenuOpen(); }
    void releaseAll();
    void logRegistrationError(const Shortcut& shortcut, int status) const;
    bool menuEvent(QEvent* event);

    std::unique_ptr<KeyGrabBackend> backend_;
    std::map<quint32, HotKey> hotKeys_;
    quint32 idCounter_ = 0;
    bool handlerInstalled_ = false;
    bool hotKeyEventsActive_ = false;
    bool isEnabled_ = true;
    bool isMenuOpen_ = false;
    LocalEventMonitor menuMonitor_;
};

}  // namespace flintly::shortcuts

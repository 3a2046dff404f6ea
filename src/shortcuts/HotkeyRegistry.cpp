#include "shortcuts/HotkeyRegistry.h"

#include "platform/Log.h"

#include <QKeyEvent>

#include <limits>

namespace flintly::shortcuts {

HotkeyRegistry::HotkeyRegistry(std::unique_ptr<KeyGrabBackend> backend, QObject* parent)
    : QObject(parent), backend_(std::move(backend)),
      menuMonitor_({QEvent::KeyPress, QEvent::KeyRelease, QEvent::ShortcutOverride},
                   [this](QObject*, QEvent* event) { return !menuEvent(event); })
{}

HotkeyRegistry::~HotkeyRegistry()
{
    menuMonitor_.stop();
    releaseAll();
}

bool HotkeyRegistry::registerShortcut(const Shortcut& shortcut, HotKey::Callback onKeyDown, HotKey::Callback onKeyUp)
{
    if (idCounter_ == std::numeric_limits<quint32>::max())
        qFatal("Hotkey ids ran out of 32 bits");
    const quint32 id = ++idCounter_;

    // While disabled or while a menu holds the keyboard the hotkey is kept released,
    // so that a disabled shortcut does not take the key away from other programs;
    // the next event-type update grabs it.
    const bool live = isEnabled_ && !menuBlocksGrabs();
    if (live) {
        const int status = backend_->grab(id, shortcut);
        if (status != GrabStatus::ok) {
            logRegistrationError(shortcut, status);
            return false;
        }
    }
    hotKeys_.insert_or_assign(id,
                              HotKey{shortcut, id, live ? std::optional<quint32>(id) : std::nullopt,
                                     std::move(onKeyDown), std::move(onKeyUp)});

    if (!handlerInstalled_) {
        handlerInstalled_ = backend_->installHandler(
            [this](quint32 hotKeyId, bool pressed) { return handleHotKeyEvent(hotKeyId, pressed); });
        if (handlerInstalled_)
            updateEventTypes();
    }
    return true;
}

void HotkeyRegistry::unregisterShortcut(const Shortcut& shortcut)
{
    for (auto it = hotKeys_.begin(); it != hotKeys_.end();) {
        if (it->second.shortcut == shortcut) {
            if (it->second.carbonHotKey)
                backend_->ungrab(*it->second.carbonHotKey);
            it = hotKeys_.erase(it);
        } else {
            ++it;
        }
    }
}

void HotkeyRegistry::setEnabled(bool enabled)
{
    isEnabled_ = enabled;
    updateEventTypes();
}

void HotkeyRegistry::setMenuOpen(bool open)
{
    if (isMenuOpen_ == open)
        return;
    isMenuOpen_ = open;
    updateEventTypes();
}

void HotkeyRegistry::releaseAll()
{
    for (auto& [id, hotKey] : hotKeys_) {
        if (hotKey.carbonHotKey)
            backend_->ungrab(*hotKey.carbonHotKey);
        hotKey.carbonHotKey.reset();
    }
}

void HotkeyRegistry::updateEventTypes()
{
    if (!handlerInstalled_)
        return;
    if (isEnabled_ && !menuBlocksGrabs()) {
        // Grabbed again under their old ids.
        for (auto it = hotKeys_.begin(); it != hotKeys_.end();) {
            HotKey& hotKey = it->second;
            if (!hotKey.carbonHotKey) {
                const int status = backend_->grab(hotKey.carbonHotKeyId, hotKey.shortcut);
                if (status != GrabStatus::ok) {
                    logRegistrationError(hotKey.shortcut, status);
                    it = hotKeys_.erase(it);
                    continue;
                }
                hotKey.carbonHotKey = hotKey.carbonHotKeyId;
            }
            ++it;
        }
        menuMonitor_.stop();
        hotKeyEventsActive_ = true;
    } else if (isEnabled_) {
        releaseAll();
        hotKeyEventsActive_ = false;
        menuMonitor_.start();
    } else {
        releaseAll();
        hotKeyEventsActive_ = false;
        menuMonitor_.stop();
    }
}

bool HotkeyRegistry::handleHotKeyEvent(quint32 id, bool pressed)
{
    if (!hotKeyEventsActive_)
        return false;
    const auto it = hotKeys_.find(id);
    if (it == hotKeys_.end())
        return false;
    // Copies: the callback may change the table.
    const Shortcut shortcut = it->second.shortcut;
    const HotKey::Callback callback = pressed ? it->second.onKeyDown : it->second.onKeyUp;
    if (callback)
        callback(shortcut);
    return true;
}

bool HotkeyRegistry::handleRawKey(int keyCode, quint32 carbonModifiers, bool pressed)
{
    const Shortcut pressedShortcut(keyCode, carbonModifiers);
    for (const auto& [id, hotKey] : hotKeys_) {
        if (hotKey.shortcut != pressedShortcut)
            continue;
        const Shortcut shortcut = hotKey.shortcut;
        const HotKey::Callback callback = pressed ? hotKey.onKeyDown : hotKey.onKeyUp;
        if (callback)
            callback(shortcut);
        return true;
    }
    return false;
}

// Key events of an open menu: a registered shortcut acts and is kept from the menu;
// every other key reaches the menu unchanged.
bool HotkeyRegistry::menuEvent(QEvent* event)
{
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    const auto shortcut = Shortcut::fromKeyEvent(*keyEvent);
    if (!shortcut)
        return false;
    bool registered = false;
    for (const auto& [id, hotKey] : hotKeys_)
        registered = registered || hotKey.shortcut == *shortcut;
    if (!registered)
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Claiming the override keeps a menu action with the same keys from firing
        // first; the press that follows is ours.
        event->accept();
        return true;
    }
    // Held keys repeat; the action runs once per press, as a grabbed hotkey does.
    if (keyEvent->isAutoRepeat())
        return true;
    return handleRawKey(shortcut->carbonKeyCode(), shortcut->carbonModifiers(), event->type() == QEvent::KeyPress);
}

bool HotkeyRegistry::holds(const Shortcut& shortcut) const
{
    for (const auto& [id, hotKey] : hotKeys_)
        if (hotKey.shortcut == shortcut && hotKey.carbonHotKey)
            return true;
    return false;
}

bool HotkeyRegistry::isTakenBySystem(const Shortcut& shortcut)
{
    if (holds(shortcut))
        return false;
    return backend_->isHeldByAnotherClient(shortcut);
}

void HotkeyRegistry::logRegistrationError(const Shortcut& shortcut, int status) const
{
    log(QStringLiteral("Error registering hotkey %1:").arg(shortcut.description()), status);
}

}  // namespace flintly::shortcuts

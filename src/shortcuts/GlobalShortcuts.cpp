#include "shortcuts/GlobalShortcuts.h"

#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsStore.h"
#include "shortcuts/KeyGrabBackendFactory.h"
#include "shortcuts/MenuItemSearch.h"
#include "shortcuts/MenuTracker.h"
#include "shortcuts/ShortcutListeners.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QSettings>
#include <QWindow>

namespace flintly::shortcuts {

GlobalShortcuts::GlobalShortcuts(SettingsStore& settings, std::unique_ptr<KeyGrabBackend> backend, QObject* parent)
    : QObject(parent), settings_(settings),
      listeners_(std::make_unique<ShortcutListeners>([this](const QSet<Name>& names) { listenersReleased(names); }))
{
    if (!backend)
        backend = createDefaultKeyGrabBackend();
    backend->observeCarrier([this] {
        carrierLog_.note(registry_->carrier());
        emit carrierChanged();
    });
    registry_ = std::make_unique<HotkeyRegistry>(std::move(backend));
    // Without any path at start, the factory's one line says so already.
    if (registry_->carrier().kind != HotkeyCarrier::Kind::unavailable)
        carrierLog_.note(registry_->carrier());
}

GlobalShortcuts::~GlobalShortcuts() = default;

GlobalShortcuts& GlobalShortcuts::shared()
{
    static GlobalShortcuts* instance = new GlobalShortcuts(SettingsStore::standard());
    return *instance;
}

// --- names and storage

Name GlobalShortcuts::declare(const QString& rawName, std::optional<Shortcut> defaultShortcut)
{
    const Name name(rawName, defaultShortcut);
    if (defaultShortcut && !settings_.contains(name.settingsKey()))
        setShortcut(defaultShortcut, name);
    declaredNames_.insert(name);
    ensureMenuTracking();
    return name;
}

Name GlobalShortcuts::bindKeyUp(const QString& rawName, std::optional<Shortcut> defaultShortcut, QObject* context,
                                std::function<void()> action)
{
    const Name name = declare(rawName, defaultShortcut);
    onKeyUp(name, context, std::move(action));
    return name;
}

std::optional<Shortcut> GlobalShortcuts::getShortcut(const Name& name) const
{
    const QVariant value = settings_.value(name.settingsKey());
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return Shortcut::fromJson(value.toString().toUtf8());
}

void GlobalShortcuts::setShortcut(const std::optional<Shortcut>& shortcut, const Name& name)
{
    const std::optional<Shortcut> old = getShortcut(name);
    if (!shortcut) {
        if (!old)
            return;
        if (name.defaultShortcut)
            settings_.setValue(name.settingsKey(), false);
        else
            settings_.remove(name.settingsKey());
        releaseUnlessShared(*old, name);
        postChange(name);
        return;
    }

    const QByteArray json = shortcut->toJson();
    if (json.isEmpty())
        return;
    if (old)
        releaseUnlessShared(*old, name);
    if (!registeredShortcuts_.contains(*shortcut))
        registerShortcut(*shortcut);
    settings_.setValue(name.settingsKey(), QString::fromUtf8(json));
    postChange(name);
}

void GlobalShortcuts::reset(const Name& name) { reset(QList<Name>{name}); }

void GlobalShortcuts::reset(const QList<Name>& names)
{
    for (const Name& name : names) {
        if (name.defaultShortcut) {
            setShortcut(name.defaultShortcut, name);
        } else if (const auto old = getShortcut(name)) {
            settings_.remove(name.settingsKey());
            releaseUnlessShared(*old, name);
            postChange(name);
        }
    }
}

void GlobalShortcuts::resetAll()
{
    // The store has no listing of its keys; a second QSettings on the same file shares
    // its in-process state and can list them.
    const QSettings file(settings_.filePath(), QSettings::IniFormat);
    QList<Name> names;
    for (const QString& key : file.allKeys())
        if (key.startsWith(settingskeys::globalShortcutPrefix))
            names.append(Name(key.mid(settingskeys::globalShortcutPrefix.size())));
    reset(names);
}

void GlobalShortcuts::postChange(const Name& name)
{
    NotificationCenter::defaultCenter().post(kShortcutByNameDidChange, {},
                                             {{QStringLiteral("name"), QVariant::fromValue(name)}});
}

// --- registration

void GlobalShortcuts::registerShortcut(const Shortcut& shortcut)
{
    registry_->registerShortcut(
        shortcut, [this](const Shortcut& s) { dispatch(EventType::keyDown, s); },
        [this](const Shortcut& s) { dispatch(EventType::keyUp, s); });
    // Kept even when the server refused it, so the failure is reported once rather than
    // at every bind.
    registeredShortcuts_.insert(shortcut);
}

void GlobalShortcuts::unregisterShortcut(const Shortcut& shortcut)
{
    registry_->unregisterShortcut(shortcut);
    registeredShortcuts_.remove(shortcut);
}

void GlobalShortcuts::registerIfNeeded(const Name& name)
{
    if (const auto shortcut = getShortcut(name); shortcut && !registeredShortcuts_.contains(*shortcut))
        registerShortcut(*shortcut);
}

QSet<Name> GlobalShortcuts::knownNames() const { return declaredNames_ | listeners_->names(); }

// Two names may share one hotkey; taking a shortcut away from one name must not silence
// the other, so the hotkey goes only when no other name still stores it.
void GlobalShortcuts::releaseUnlessShared(const Shortcut& shortcut, const Name& except)
{
    const QSet<Name> names = knownNames();
    for (const Name& other : names)
        if (!(other == except) && getShortcut(other) == shortcut)
            return;
    unregisterShortcut(shortcut);
}

bool GlobalShortcuts::hasAnyHandlerFor(const Shortcut& shortcut) const
{
    const QSet<Name> names = listeners_->names();
    for (const Name& name : names)
        if (getShortcut(name) == shortcut)
            return true;
    return false;
}

// --- actions

void GlobalShortcuts::listenersReleased(const QSet<Name>& names)
{
    QSet<Shortcut> orphaned;
    for (const Name& name : names)
        if (const auto shortcut = getShortcut(name))
            orphaned.insert(*shortcut);
    for (const Shortcut& shortcut : std::as_const(orphaned))
        if (!hasAnyHandlerFor(shortcut))
            unregisterShortcut(shortcut);
}

void GlobalShortcuts::onKeyDown(const Name& name, QObject* context, std::function<void()> action)
{
    listeners_->add(EventType::keyDown, name, context, std::move(action));
    registerIfNeeded(name);
}

void GlobalShortcuts::onKeyUp(const Name& name, QObject* context, std::function<void()> action)
{
    listeners_->add(EventType::keyUp, name, context, std::move(action));
    registerIfNeeded(name);
}

std::unique_ptr<ShortcutEventStream> GlobalShortcuts::events(const Name& name)
{
    auto stream = listeners_->stream(std::nullopt, name);
    registerIfNeeded(name);
    return stream;
}

std::unique_ptr<ShortcutEventStream> GlobalShortcuts::events(EventType type, const Name& name)
{
    auto stream = listeners_->stream(type, name);
    registerIfNeeded(name);
    return stream;
}

void GlobalShortcuts::enable(const QList<Name>& names)
{
    for (const Name& name : names)
        registerIfNeeded(name);
}

void GlobalShortcuts::disable(const QList<Name>& names)
{
    for (const Name& name : names)
        if (const auto shortcut = getShortcut(name))
            unregisterShortcut(*shortcut);
}

void GlobalShortcuts::removeAllHandlers()
{
    const QSet<Name> names = listeners_->dropActions();
    for (const Name& name : names)
        if (const auto shortcut = getShortcut(name))
            unregisterShortcut(*shortcut);
}

bool GlobalShortcuts::isEnabled() const { return registry_->isEnabled(); }

void GlobalShortcuts::setEnabled(bool enabled) { registry_->setEnabled(enabled); }

void GlobalShortcuts::dispatch(EventType type, const Shortcut& pressed)
{
    if (isPaused_) {
        // The recorder has the keyboard focus but the grab took the key; hand it over
        // as if typed. Posted, because the grab arrives inside X event processing and
        // the recorder may open an alert.
        if (type == EventType::keyDown) {
            heldSincePause_.insert(pressed);
            if (QWindow* window = QGuiApplication::focusWindow())
                QCoreApplication::postEvent(window, pressed.makeKeyEvent(true));
        }
        return;
    }
    // A key pressed while paused belongs to the recorder, its release too: recording
    // Ctrl+J ends on the press, and the release must not then toggle the window.
    if (type == EventType::keyUp && heldSincePause_.remove(pressed))
        return;
    if (type == EventType::keyDown)
        heldSincePause_.remove(pressed);
    listeners_->notify(type, [this, &pressed](const Name& name) { return getShortcut(name) == pressed; });
}

// --- queries

bool GlobalShortcuts::isTakenBySystem(const Shortcut& shortcut) { return registry_->isTakenBySystem(shortcut); }

void GlobalShortcuts::setMainMenu(QWidget* menu) { mainMenu_ = menu; }

QAction* GlobalShortcuts::menuItemUsing(const Shortcut& shortcut) const
{
    if (mainMenu_)
        return menuItemWithShortcut(mainMenu_->actions(), shortcut);
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        for (QMenuBar* bar : window->findChildren<QMenuBar*>())
            if (QAction* item = menuItemWithShortcut(bar->actions(), shortcut))
                return item;
    return nullptr;
}

void GlobalShortcuts::ensureMenuTracking()
{
    if (menuTracker_)
        return;
    menuTracker_ = new MenuTracker(this);
    connect(menuTracker_, &MenuTracker::menuOpenChanged, this, [this](bool open) { registry_->setMenuOpen(open); });
}

}  // namespace flintly::shortcuts

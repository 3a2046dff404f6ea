#include "desktop/GnomeKeybinding.h"

#include "desktop/LaunchCommand.h"
#include "platform/Log.h"
#include "shortcuts/KeysymName.h"
#include "shortcuts/Shortcut.h"

namespace flintly::desktop {

const QString GnomeKeybinding::kPath =
    QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/flintly/");
const QString GnomeKeybinding::kName = QStringLiteral("Show or hide the Flintly note");

GnomeKeybinding::GnomeKeybinding(CustomKeybindingStore& store, QStringList command)
    : store_(store), command_(std::move(command))
{}

std::optional<GnomeKeybinding::Found> GnomeKeybinding::find() const
{
    if (!store_.isAvailable() || command_.isEmpty())
        return std::nullopt;
    std::optional<Found> madeByHand;
    for (const QString& path : store_.paths()) {
        const CustomKeybindingStore::Entry entry = store_.entry(path);
        if (path == kPath)
            return Found{path, entry};
        if (!madeByHand && command_.size() == 2 && LaunchCommand::runsFlintly(entry.command, command_.last()))
            madeByHand = Found{path, entry};
    }
    return madeByHand;
}

bool GnomeKeybinding::add(const QString& accelerator)
{
    if (!store_.isAvailable())
        return false;
    const std::optional<Found> found = find();
    CustomKeybindingStore::Entry entry{kName, LaunchCommand::shellCommand(command_), accelerator};
    if (found && found->path != kPath)
        entry = {found->entry.name, found->entry.command, accelerator};  // the user's own: only its key changes
    const QString path = found ? found->path : kPath;
    // The entry first: GNOME picks a keybinding up when its path joins the list.
    bool ok = store_.setEntry(path, entry);
    if (ok && !found) {
        // Read again right before writing: whatever else is in the list stays.
        QStringList paths = store_.paths();
        if (!paths.contains(path)) {
            paths.append(path);
            ok = store_.setPaths(paths);
        }
    }
    store_.sync();
    if (ok)
        log("⌨️ GNOME Keyboard Shortcuts:", accelerator, "runs", entry.command);
    else
        log("🚨 GNOME's settings did not take the keybinding", accelerator, "at", path);
    return ok;
}

bool GnomeKeybinding::remove()
{
    const std::optional<Found> found = find();
    if (!found)
        return true;
    QStringList paths = store_.paths();
    paths.removeAll(found->path);
    const bool ok = store_.setPaths(paths);
    if (ok)
        store_.resetEntry(found->path);
    store_.sync();
    if (ok)
        log("⌨️ Removed from GNOME Keyboard Shortcuts:", found->entry.binding, "at", found->path);
    else
        log("🚨 GNOME's settings did not let the keybinding go at", found->path);
    return ok;
}

std::optional<QString> gnomeAccelerator(const shortcuts::Shortcut& shortcut)
{
    namespace Carbon = shortcuts::CarbonModifier;
    const quint32 m = shortcut.carbonModifiers();
    if (m & Carbon::function)
        return std::nullopt;
    const auto key = shortcuts::usKeysymName(shortcut.carbonKeyCode());
    if (!key)
        return std::nullopt;
    // Command is Ctrl and Control is Super, as everywhere in Flintly on Linux.
    QString accelerator;
    if (m & Carbon::command)
        accelerator += QStringLiteral("<Control>");
    if (m & Carbon::option)
        accelerator += QStringLiteral("<Alt>");
    if (m & Carbon::shift)
        accelerator += QStringLiteral("<Shift>");
    if (m & Carbon::control)
        accelerator += QStringLiteral("<Super>");
    return accelerator + *key;
}

}  // namespace flintly::desktop

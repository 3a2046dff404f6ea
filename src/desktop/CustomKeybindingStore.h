#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace flintly::desktop {

// GNOME's custom keybindings where GNOME keeps them: the list of their settings paths
// ("custom-keybindings" of org.gnome.settings-daemon.plugins.media-keys) and, at each
// path, one relocatable org.gnome.settings-daemon.plugins.media-keys.custom-keybinding
// with its name, command and binding.
class CustomKeybindingStore {
public:
    struct Entry {
        QString name;
        QString command;
        QString binding;  // an accelerator such as "<Control>j"
        bool operator==(const Entry&) const = default;
    };

    virtual ~CustomKeybindingStore() = default;

    // Whether the schemas are installed: they come with gnome-settings-daemon, which
    // a GNOME without it (or another desktop calling itself GNOME) lacks.
    virtual bool isAvailable() const = 0;
    virtual QStringList paths() const = 0;
    // False when the setting is not writable (locked down by an administrator).
    virtual bool setPaths(const QStringList& paths) = 0;
    virtual Entry entry(const QString& path) const = 0;
    virtual bool setEntry(const QString& path, const Entry& entry) = 0;
    virtual void resetEntry(const QString& path) = 0;
    // Waits until what was written has reached the settings' store.
    virtual void sync() = 0;

    // GNOME's, through GSettings (the backend GSettings picks: dconf on a desktop).
    static std::unique_ptr<CustomKeybindingStore> gsettings();
};

}  // namespace flintly::desktop

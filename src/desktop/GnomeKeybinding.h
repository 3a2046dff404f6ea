#pragma once

#include "desktop/CustomKeybindingStore.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace flintly::shortcuts {
class Shortcut;
}

namespace flintly::desktop {

// Flintly's entry among GNOME's custom keybindings: the stored shortcut running
// `flintly --toggle`, for GNOME sessions where no desktop-wide hotkey reaches us
// otherwise. It lives at a path of its own, so it is found again at the next start
// and never added twice; one the user made by hand for the same command counts as
// ours too. Every other custom keybinding is left exactly as it was.
class GnomeKeybinding {
public:
    static const QString kPath;
    static const QString kName;

    // `command`: the program and its arguments the keybinding runs.
    GnomeKeybinding(CustomKeybindingStore& store, QStringList command);

    bool isAvailable() const { return store_.isAvailable(); }

    struct Found {
        QString path;
        CustomKeybindingStore::Entry entry;
    };
    std::optional<Found> find() const;

    // Binds `accelerator` (GNOME's form, "<Control>j"), adding the keybinding or
    // changing the one found. False when GNOME's settings would not take it.
    bool add(const QString& accelerator);
    bool remove();

private:
    CustomKeybindingStore& store_;
    QStringList command_;
};

// A shortcut as GNOME writes accelerators: "<Control>j" for Ctrl+J. Nothing for what
// GNOME cannot bind (the Function modifier, a key with no name).
std::optional<QString> gnomeAccelerator(const shortcuts::Shortcut& shortcut);

}  // namespace flintly::desktop

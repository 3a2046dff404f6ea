#pragma once

#include "shortcuts/KeyboardLayout.h"
#include "shortcuts/PortalShortcut.h"
#include "shortcuts/Shortcut.h"

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace flintly::shortcuts {

// How the desktop lists one hotkey. A desktop keeps the key it first granted to a
// shortcut id, whatever trigger is preferred later (Plasma 5.27 does, even across an
// empty session), so a shortcut other than the default goes under an id of its own
// ("showNote-ctrl-k"), which the desktop meets fresh. Without a default, the id is
// always the plain one.
struct PortalHotkey {
    QString id;
    QString description;
    std::optional<Shortcut> defaultShortcut;
};

// The portal's shortcuts for these grabs (by grab id), in the order of the ids: the
// first takes the first hotkey, and so on; a grab beyond the list is "hotkey{id}",
// described by its keys.
QList<PortalShortcut> portalShortcutsFor(const QMap<quint32, Shortcut>& grabs, const QList<PortalHotkey>& hotkeys,
                                         const KeyboardLayout& layout);

}  // namespace flintly::shortcuts

#pragma once

#include "shortcuts/PortalShortcut.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace flintly::shortcuts {

// The portal's values as D-Bus carries them, both ways. Kept apart from the calls so
// that what a misbehaving portal may send is read in one place.

// Once per process, before any list of shortcuts goes over the bus.
void registerPortalWireTypes();
// a(sa{sv}): each shortcut's id, description and preferred trigger.
QVariant shortcutList(const QList<PortalShortcut>& shortcuts);
// A value that should be a(sa{sv}); nothing when it is anything else, so a portal that
// sends garbage cannot make us read past what it sent.
std::optional<QList<PortalShortcut>> parseShortcuts(const QVariant& value);
// An object path, whether it came typed as one or, as session_handle does on some
// versions, as a string.
QString pathText(const QVariant& value);
// a{sv}, however it arrived.
QVariantMap vardict(const QVariant& value);

}  // namespace flintly::shortcuts

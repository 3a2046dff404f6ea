#pragma once

#include <QString>

namespace flintly::shortcuts {

// One shortcut as the portal speaks of it: what we ask for (description, preferred
// trigger) and what it answers (the trigger described in the desktop's words).
struct PortalShortcut {
    QString id;
    QString description;
    QString preferredTrigger;
    QString triggerDescription;

    bool operator==(const PortalShortcut&) const = default;
};

}  // namespace flintly::shortcuts

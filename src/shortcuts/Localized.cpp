#include "shortcuts/Localized.h"

#include <QCoreApplication>

#include <cstring>

namespace flintly::shortcuts {

namespace {
struct Text {
    const char* key;
    const char* english;
};

constexpr Text kTexts[] = {
    {"record_shortcut", QT_TRANSLATE_NOOP("GlobalShortcuts", "Record Shortcut")},
    {"press_shortcut", QT_TRANSLATE_NOOP("GlobalShortcuts", "Press Shortcut")},
    {"keyboard_shortcut_used_by_menu_item",
     QT_TRANSLATE_NOOP("GlobalShortcuts",
                       "This keyboard shortcut cannot be used because the “%1” menu item already uses it.")},
    {"keyboard_shortcut_disallowed",
     QT_TRANSLATE_NOOP("GlobalShortcuts",
                       "This keyboard shortcut is not allowed. Add Command, Control or Shift to it.")},
    {"keyboard_shortcut_used_by_system",
     QT_TRANSLATE_NOOP("GlobalShortcuts",
                       "This keyboard shortcut is already taken by another program or by the desktop.")},
    {"keyboard_shortcuts_can_be_changed",
     QT_TRANSLATE_NOOP("GlobalShortcuts",
                       "Most desktop shortcuts can be changed in your desktop's keyboard settings. "
                       "If you use it anyway, it may not reach Flintly.")},
    {"ok", QT_TRANSLATE_NOOP("GlobalShortcuts", "OK")},
    {"force_use_shortcut", QT_TRANSLATE_NOOP("GlobalShortcuts", "Use Anyway")},
    {"space_key", QT_TRANSLATE_NOOP("GlobalShortcuts", "space")},
};
}  // namespace

QString localized(const char* key)
{
    for (const Text& t : kTexts)
        if (std::strcmp(t.key, key) == 0)
            return QCoreApplication::translate("GlobalShortcuts", t.english);
    return QString::fromUtf8(key);
}

}  // namespace flintly::shortcuts

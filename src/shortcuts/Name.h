#pragma once

#include "platform/SettingsKeys.h"
#include "shortcuts/Shortcut.h"

#include <QMetaType>
#include <QString>

#include <optional>

namespace flintly::shortcuts {

// A user-changeable shortcut slot ("showNote"). Two names are the same name when their
// raw values are equal, whatever defaults they were declared with. Constructing one
// has no effect; `GlobalShortcuts::declare` applies the first-launch default.
struct Name {
    QString rawValue;
    std::optional<Shortcut> defaultShortcut;

    Name() = default;
    explicit Name(QString raw, std::optional<Shortcut> defaultShortcut = std::nullopt)
        : rawValue(std::move(raw)), defaultShortcut(defaultShortcut)
    {}

    QString settingsKey() const { return settingskeys::globalShortcutPrefix + rawValue; }

    friend bool operator==(const Name& a, const Name& b) { return a.rawValue == b.rawValue; }
};

inline size_t qHash(const Name& name, size_t seed = 0) noexcept { return ::qHash(name.rawValue, seed); }

}  // namespace flintly::shortcuts

Q_DECLARE_METATYPE(flintly::shortcuts::Name)

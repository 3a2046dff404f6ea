#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace flintly {

// A key of the settings store, the type of its value and what an absent (or garbage)
// value reads as. The names are what users' settings files already hold: renaming one
// silently forgets that setting for everybody, so each is spelled here and nowhere else.
template <typename T> struct SettingKey {
    QString name;
    T fallback{};

    operator const QString&() const { return name; }  // every untyped store call takes the key as is
};

namespace settingskeys {

// The notes folder and the template folder.
inline const SettingKey<QUrl> saveFolder{QStringLiteral("flintlySaveFolder")};
inline const SettingKey<QByteArray> savedFolderBookmark{QStringLiteral("SavedFolderBookmark")};
inline const SettingKey<QByteArray> templateFolderBookmark{QStringLiteral("TemplateFolderBookmark")};

// Writing statistics of the notes folder; the session start is seconds since 1970.
inline const SettingKey<qint64> statsNoteCount{QStringLiteral("statsNoteCount")};
inline const SettingKey<qint64> statsCharCount{QStringLiteral("statsCharCount")};
inline const SettingKey<qint64> statsTodoDone{QStringLiteral("statsTodoDone")};
inline const SettingKey<qint64> statsFocusSeconds{QStringLiteral("statsFocusSeconds")};
inline const SettingKey<double> statsSessionStart{QStringLiteral("statsSessionStart")};

// The note browser and the template panel.
inline const SettingKey<QList<QByteArray>> pinnedBookmarks{QStringLiteral("pinnedBookmarks")};
inline const SettingKey<QString> quickOpenSortMode{QStringLiteral("quickOpen.sortMode")};
inline const SettingKey<bool> showDefaultFolder{QStringLiteral("showDefaultFolder"), true};
inline const SettingKey<QStringList> recentFiles{QStringLiteral("recentFiles")};
inline const SettingKey<QByteArray> flintlyRecentFiles{QStringLiteral("FlintlyRecentFiles")};
inline const SettingKey<QList<QByteArray>> templatePinned{QStringLiteral("templatePinned")};

// 0 follows the system, 1 is light, 2 is dark.
inline const SettingKey<qint64> appTheme{QStringLiteral("appTheme")};

// How much of the disk the notes' local history may take, in megabytes.
inline const SettingKey<qint64> historyCapMegabytes{QStringLiteral("historyCapMegabytes"), 500};

// Start-up.
inline const SettingKey<bool> hasOnboarded{QStringLiteral("flintlyHasOnboarded")};
inline const SettingKey<QString> lastSeenVersion{QStringLiteral("flintlyLastSeenVersion")};
inline const SettingKey<bool> didInsertQuickGuide{QStringLiteral("didInsertQuickGuide")};

// One key per named global shortcut: this prefix and the name. The value is the
// shortcut as JSON text, or false when the user cleared it.
inline const QString globalShortcutPrefix = QStringLiteral("GlobalShortcuts_");

}  // namespace settingskeys

}  // namespace flintly

#pragma once

#include "editor/ColorScheme.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QWebEngineView;

namespace flintly {

class SettingsStore;
struct ScriptOutcome;

enum class AppTheme : int { system = 0, light = 1, dark = 2 };

QList<AppTheme> allAppThemes();
// Only 0, 1 and 2 name a theme.
std::optional<AppTheme> appThemeFromRaw(qint64 raw);
// Where a stored value is put to use, anything but light and dark means automatic.
AppTheme appThemeForStored(qint64 raw);
// The stored choice ("appTheme", default 0).
qint64 storedAppThemeRaw(const SettingsStore& settings);

QString label(AppTheme theme);     // "Automatic", "Light", "Dark"
QString caseName(AppTheme theme);  // "system", "light", "dark"
// None: follow the desktop.
std::optional<ColorScheme> preferredColorScheme(AppTheme theme);
QString editorScript(AppTheme theme);
// The script actually sent. Qt WebEngine does not learn the desktop's scheme (its
// prefers-color-scheme stays light), so automatic mode also names the scheme the
// desktop has now; the page then still follows it as 'auto'.
QString editorScript(AppTheme theme, ColorScheme desktop);

// Runs the theme's script in the editor and reports whether the page took it. The
// start-up synchronisation retries on failure; the root view does not.
void applyThemeToWebView(QWebEngineView* web, AppTheme theme, std::function<void(const ScriptOutcome&)> done);

// Applies the stored choice to the editor and logs the outcome; nothing without a web view.
void applyThemeToEditor(QWebEngineView* web, const SettingsStore& settings);

}  // namespace flintly

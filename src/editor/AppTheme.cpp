#include "editor/AppTheme.h"

#include "editor/ScriptRunner.h"
#include "platform/Log.h"
#include "platform/SettingsStore.h"

#include <QPointer>
#include <QWebEngineView>

namespace flintly {

QList<AppTheme> allAppThemes() { return {AppTheme::system, AppTheme::light, AppTheme::dark}; }

std::optional<AppTheme> appThemeFromRaw(qint64 raw)
{
    switch (raw) {
    case 0: return AppTheme::system;
    case 1: return AppTheme::light;
    case 2: return AppTheme::dark;
    default: return std::nullopt;
    }
}

AppTheme appThemeForStored(qint64 raw)
{
    if (raw == 1)
        return AppTheme::light;
    if (raw == 2)
        return AppTheme::dark;
    return AppTheme::system;
}

qint64 storedAppThemeRaw(const SettingsStore& settings) { return settings.get(settingskeys::appTheme); }

QString label(AppTheme theme)
{
    switch (theme) {
    case AppTheme::light: return QStringLiteral("Light");
    case AppTheme::dark: return QStringLiteral("Dark");
    case AppTheme::system: break;
    }
    return QStringLiteral("Automatic");
}

QString caseName(AppTheme theme)
{
    switch (theme) {
    case AppTheme::light: return QStringLiteral("light");
    case AppTheme::dark: return QStringLiteral("dark");
    case AppTheme::system: break;
    }
    return QStringLiteral("system");
}

std::optional<ColorScheme> preferredColorScheme(AppTheme theme)
{
    switch (theme) {
    case AppTheme::light: return ColorScheme::light;
    case AppTheme::dark: return ColorScheme::dark;
    case AppTheme::system: break;
    }
    return std::nullopt;
}

QString editorScript(AppTheme theme)
{
    switch (theme) {
    case AppTheme::light: return QStringLiteral("window.setThemeMode?.('manual', 'light')");
    case AppTheme::dark: return QStringLiteral("window.setThemeMode?.('manual', 'dark')");
    case AppTheme::system: break;
    }
    return QStringLiteral("window.setThemeMode?.('auto')");
}

QString editorScript(AppTheme theme, ColorScheme desktop)
{
    if (theme != AppTheme::system)
        return editorScript(theme);
    return desktop == ColorScheme::dark ? QStringLiteral("window.setThemeMode?.('auto', 'dark')")
                                        : QStringLiteral("window.setThemeMode?.('auto', 'light')");
}

void applyThemeToWebView(QWebEngineView* web, AppTheme theme, std::function<void(const ScriptOutcome&)> done)
{
    evaluateScript(web ? web->page() : nullptr, editorScript(theme, systemColorScheme()), std::move(done));
}

void applyThemeToEditor(QWebEngineView* web, const SettingsStore& settings)
{
    if (!web)
        return;
    const AppTheme theme = appThemeForStored(storedAppThemeRaw(settings));
    applyThemeToWebView(web, theme, [theme](const ScriptOutcome& outcome) {
        switch (theme) {
        case AppTheme::system:
            if (outcome.ok)
                log("🎨 CodeMirror 자동 테마 모드 설정 완료");
            else
                log("🚨 CodeMirror 자동 테마 설정 실패:", outcome.error);
            break;
        case AppTheme::light:
            if (outcome.ok)
                log("🎨 CodeMirror 라이트 테마 설정 완료");
            else
                log("🚨 CodeMirror 라이트 테마 설정 실패:", outcome.error);
            break;
        case AppTheme::dark:
            if (outcome.ok)
                log("🎨 CodeMirror 다크 테마 설정 완료");
            else
                log("🚨 CodeMirror 다크 테마 설정 실패:", outcome.error);
            break;
        }
    });
}

}  // namespace flintly

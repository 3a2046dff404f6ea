#include "editor/ThemedRootView.h"

#include "editor/NoteView.h"
#include "editor/WebViewBridge.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsStore.h"

#include <QVBoxLayout>

namespace flintly {

ThemedRootView::ThemedRootView(SettingsStore& settings, MarkdownModel& model, QWidget* parent)
    : ThemedRootView(settings, model, WebView::Options{}, parent)
{}

ThemedRootView::ThemedRootView(SettingsStore& settings, MarkdownModel& model, WebView::Options options, QWidget* parent)
    : QWidget(parent), settings_(settings)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    noteView_ = new NoteView(model, options, this);
    layout->addWidget(noteView_);
    setAttribute(Qt::WA_TranslucentBackground);

    WebViewBridge* bridge = options.bridge ? options.bridge : &WebViewBridge::shared();
    webViewProvider_ = [bridge] { return bridge->webView(); };

    SystemColorSchemeWatcher::install();
    connect(&settings_, &SettingsStore::changed, this, [this](const QString& key) {
        if (key != settingskeys::appTheme)
            return;
        render();
        applyThemeToEditor();
    });
    NotificationCenter::defaultCenter().observe(QLatin1String(SystemColorSchemeWatcher::kNotification), this,
                                                [this](const Notification&) {
                                                    render();
                                                    applyThemeToEditor();
                                                });
    render();
}

void ThemedRootView::setEditorWebViewProvider(std::function<QWebEngineView*()> provider)
{
    webViewProvider_ = std::move(provider);
}

qint64 ThemedRootView::appThemeRaw() const { return storedAppThemeRaw(settings_); }

std::optional<ColorScheme> ThemedRootView::preferredColorScheme() const
{
    return flintly::preferredColorScheme(appThemeForStored(appThemeRaw()));
}

ColorScheme ThemedRootView::effectiveColorScheme() const
{
    return preferredColorScheme().value_or(systemColorScheme());
}

void ThemedRootView::applyThemeToEditor()
{
    flintly::applyThemeToEditor(webViewProvider_ ? webViewProvider_() : nullptr, settings_);
}

void ThemedRootView::showEvent(QShowEvent* event)
{
    // The window that hosts us is only known once we are in it.
    if (window() != styledWindow_)
        render();
    QWidget::showEvent(event);
}

void ThemedRootView::render()
{
    // The hosting window and everything in it take the chosen scheme; without a choice
    // they inherit the application's palette again, which follows the desktop.
    QWidget* host = window();
    const auto preferred = preferredColorScheme();
    if (styledWindow_ && styledWindow_ != host)
        styledWindow_->setPalette(QPalette());
    host->setPalette(preferred ? paletteFor(*preferred) : QPalette());
    styledWindow_ = host;
    noteView_->setColorScheme(effectiveColorScheme());
}

}  // namespace flintly

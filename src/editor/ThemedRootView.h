#pragma once

#include "editor/AppTheme.h"
#include "editor/WebView.h"

#include <QWidget>

#include <functional>
#include <optional>

class QWebEngineView;

namespace flintly {

class MarkdownModel;
class NoteView;
class SettingsStore;

// Root of the note window's content: the note view in the colour scheme the user
// chose ("appTheme"), re-rendered and re-sent to the editor whenever that choice or the
// desktop's scheme changes.
class ThemedRootView : public QWidget {
    Q_OBJECT
public:
    ThemedRootView(SettingsStore& settings, MarkdownModel& model, QWidget* parent = nullptr);
    ThemedRootView(SettingsStore& settings, MarkdownModel& model, WebView::Options options, QWidget* parent = nullptr);

    NoteView* noteView() const { return noteView_; }

    qint64 appThemeRaw() const;
    // None: the window follows the desktop.
    std::optional<ColorScheme> preferredColorScheme() const;
    ColorScheme effectiveColorScheme() const;

    // Where the theme script goes: the application delegate's web view. Until the app
    // says otherwise, the one registered with the bridge (the same view).
    void setEditorWebViewProvider(std::function<QWebEngineView*()> provider);

    // Re-sends the stored choice to the editor (the six-line log).
    void applyThemeToEditor();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void render();

    SettingsStore& settings_;
    NoteView* noteView_ = nullptr;
    std::function<QWebEngineView*()> webViewProvider_;
    QPointer<QWidget> styledWindow_;  // the window whose palette we set; it may go first
};

}  // namespace flintly

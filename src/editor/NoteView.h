#pragma once

#include "editor/ColorScheme.h"
#include "editor/WebView.h"

#include <QMargins>
#include <QWidget>

namespace flintly {

class MarkdownModel;
class VisualEffectBlur;

// The note window's content: the translucent background, the tint of the colour
// scheme and the editor on top. No controls of its own; the window's toolbar sits in
// the 36-pixel band the editor leaves free at the top.
class NoteView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 400;
    static constexpr int kMinimumHeight = 390;
    static constexpr QMargins kEditorPadding{18, 36, 18, 0};

    explicit NoteView(MarkdownModel& model, QWidget* parent = nullptr);
    NoteView(MarkdownModel& model, WebView::Options options, QWidget* parent = nullptr);

    MarkdownModel& model() const { return model_; }
    WebView* webView() const { return editor_; }
    VisualEffectBlur* background() const { return background_; }

    // cs: the scheme the window shows, which the tint follows.
    ColorScheme colorScheme() const { return cs_; }
    void setColorScheme(ColorScheme scheme);
    QColor tintColor() const;

    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class Tint;

    MarkdownModel& model_;
    ColorScheme cs_ = ColorScheme::light;
    VisualEffectBlur* background_ = nullptr;
    QWidget* tint_ = nullptr;
    WebView* editor_ = nullptr;
};

}  // namespace flintly

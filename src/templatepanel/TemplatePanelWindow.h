#pragma once

#include "widgets/CompositorWatcher.h"
#include "widgets/PanelSurface.h"

#include <QWidget>

namespace flintly {

// The template panel's top-level window: frameless, rounded, with a soft shadow, kept
// above other windows like the note panel. The content area is 360 × 500; with a
// compositor the window is larger by a transparent margin that holds the shadow and
// takes no clicks, without one it is the content area alone, opaque (PanelSurface).
//
// A bare Down arrow anywhere in the window is announced as "TemplatePanelNavigateDown"
// before any widget sees it; with any modifier (including the keypad's) it goes on to
// the focused widget as usual.
class TemplatePanelWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 360;
    static constexpr int kHeight = 500;
    static constexpr qreal kCornerRadius = 14;
    static constexpr int kShadowRadius = 8;
    static constexpr qreal kShadowOpacity = 0.2;
    static constexpr int kShadowOffsetY = 1;
    static constexpr int kMargin = kShadowRadius + kShadowOffsetY + 1;
    static constexpr auto kNavigateDown = "TemplatePanelNavigateDown";

    explicit TemplatePanelWindow(CompositorWatcher& compositor = CompositorWatcher::shared());

    void setContent(QWidget* content);
    QWidget* content() const { return content_; }
    const PanelSurface& surface() const { return *surface_; }
    // Where the 360 × 500 content lies, in window coordinates.
    QRect contentRect() const { return surface_->bodyRect(); }
    // Light: the content material is white; dark: the panel colour.
    QColor materialColor() const;

signals:
    // The window manager or a shortcut asked to close; the controller decides.
    void closeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layOut();

    PanelSurface* surface_ = nullptr;  // child
    QWidget* content_ = nullptr;
};

}  // namespace flintly

#pragma once

#include "widgets/CompositorWatcher.h"

#include <QWidget>

namespace flintly {

class EdgeGrip;
class PanelSurface;

// The note panel's top-level window: frameless, translucent, above other windows and
// on every workspace. Closing it only hides it; the app keeps it for the whole run.
// The content fills the window and the toolbar row lies over its top, the way a
// full-size content view sits under a transparent title bar. Without a compositor the
// window paints an opaque ground under its content and its corners are cut by a shape,
// since nothing could show through (PanelSurface).
class FloatingPanelWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 400;
    static constexpr int kHeight = 550;
    static constexpr int kToolbarHeight = 38;
    // The corner of the note's material.
    static constexpr qreal kCornerRadius = 5;

    explicit FloatingPanelWindow(CompositorWatcher& compositor = CompositorWatcher::shared());

    void setContent(QWidget* content);
    void setToolbar(QWidget* toolbar);
    QWidget* content() const { return content_; }
    QWidget* toolbar() const { return toolbar_; }
    const PanelSurface& surface() const { return *surface_; }

signals:
    void shownChanged(bool shown);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void layoutChildren();

    PanelSurface* surface_ = nullptr;  // child
    QWidget* content_ = nullptr;
    QWidget* toolbar_ = nullptr;
    EdgeGrip* bottomGrip_ = nullptr;
};

// The toolbar row: its empty parts move the window.
class ToolbarRow : public QWidget {
    Q_OBJECT
public:
    explicit ToolbarRow(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPoint pressOffset_;
    bool manual_ = false;
};

}  // namespace flintly

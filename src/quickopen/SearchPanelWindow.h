#pragma once

#include "widgets/CompositorWatcher.h"
#include "widgets/PanelSurface.h"

#include <QWidget>

namespace flintly {

// The search panel's window: a frameless, translucent, rounded (radius 14) body of
// 360 × 360 with a 1-pixel light border and a soft shadow. With a compositor the
// shadow needs room, so the window is the body plus a transparent margin on every side
// that takes no clicks; without one the body is the window, opaque (PanelSurface).
// Placement speaks of the body. The material is "sidebar" on a light desktop and
// "heads-up display" on a dark one, and follows the palette when the scheme changes.
class SearchPanelWindow : public QWidget {
    Q_OBJECT
public:
    enum class Material { sidebar, hudWindow };

    static constexpr int kBodySize = 360;
    static constexpr qreal kCornerRadius = 14;
    static constexpr qreal kBorderAlpha = 0.12;
    static constexpr qreal kShadowOpacity = 0.35;
    static constexpr int kShadowRadius = 12;
    static constexpr int kMargin = kShadowRadius + 4;  // the shadow falls a little downwards

    explicit SearchPanelWindow(CompositorWatcher& compositor = CompositorWatcher::shared());

    void setContent(QWidget* content);
    QWidget* content() const { return content_; }

    Material material() const { return material_; }
    static Material materialFor(const QPalette& palette);

    const PanelSurface& surface() const { return *surface_; }
    // The body in the window's own coordinates, and on the screen.
    QRect bodyRect() const { return surface_->bodyRect(); }
    QRect bodyGeometry() const { return surface_->bodyGeometry(); }
    // Moves the window so the body's top-left corner lands on `topLeft`.
    void moveBodyTo(const QPoint& topLeft) { surface_->moveBodyTo(topLeft); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildShadow();
    void layOut();

    PanelSurface* surface_ = nullptr;  // child
    QWidget* content_ = nullptr;
    Material material_ = Material::sidebar;
    QImage shadow_;
};

}  // namespace flintly

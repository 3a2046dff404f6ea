#pragma once

#include <QWidget>

namespace flintly {

// The search panel's window: a frameless, translucent, rounded (radius 14) body of
// 360 × 360 with a 1-pixel light border and a soft shadow. The shadow needs room, so
// the window is the body plus a transparent margin on every side; placement speaks
// of the body. The material is "sidebar" on a light desktop and "heads-up display" on
// a dark one, and follows the palette when the scheme changes.
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

    SearchPanelWindow();

    void setContent(QWidget* content);
    QWidget* content() const { return content_; }

    Material material() const { return material_; }
    static Material materialFor(const QPalette& palette);

    // The body in the window's own coordinates, and on the screen.
    QRect bodyRect() const { return {kMargin, kMargin, kBodySize, kBodySize}; }
    QRect bodyGeometry() const { return bodyRect().translated(geometry().topLeft()); }
    // Moves the window so the body's top-left corner lands on `topLeft`.
    void moveBodyTo(const QPoint& topLeft) { move(topLeft - QPoint(kMargin, kMargin)); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildShadow();

    QWidget* content_ = nullptr;
    Material material_ = Material::sidebar;
    QImage shadow_;
};

}  // namespace flintly

#pragma once

#include <QWidget>

namespace flintly {

// Stand-in for the desktop's translucent material: a rounded, see-through background
// painted by us in the window colour of the current palette (so it follows the colour
// scheme), with the light outline the note window is known by. Blur itself is the
// compositor's business; the window asks for it where one offers it.
class VisualEffectBlur : public QWidget {
    Q_OBJECT
public:
    enum class Material { underWindowBackground };
    enum class BlendingMode { withinWindow };
    enum class State { active };

    static constexpr qreal kCornerRadius = 5;
    static constexpr qreal kOutlineRadius = 10;
    static constexpr qreal kOutlineWidth = 1.7;
    static constexpr qreal kOutlineAlpha = 0.25;
    // How much of the window colour the material lets through.
    static constexpr qreal kMaterialAlpha = 0.82;

    explicit VisualEffectBlur(Material material = Material::underWindowBackground, QWidget* parent = nullptr);

    Material material() const { return material_; }
    BlendingMode blendingMode() const { return BlendingMode::withinWindow; }
    // Active always, so the note does not dim when another window has the focus.
    State state() const { return State::active; }

    QColor materialColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Material material_;
};

}  // namespace flintly

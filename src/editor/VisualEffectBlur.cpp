#include "editor/VisualEffectBlur.h"

#include <QPainter>
#include <QPainterPath>

namespace flintly {

VisualEffectBlur::VisualEffectBlur(Material material, QWidget* parent) : QWidget(parent), material_(material)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QColor VisualEffectBlur::materialColor() const
{
    QColor c = palette().color(QPalette::Window);
    c.setAlphaF(kMaterialAlpha);
    return c;
}

void VisualEffectBlur::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();

    QPainterPath background;
    background.addRoundedRect(bounds, kCornerRadius, kCornerRadius);
    p.fillPath(background, materialColor());

    // Stroked half a line inside the edge: a stroke centred on the edge would lose
    // its outer half to the window's clip.
    const qreal inset = kOutlineWidth / 2;
    QPen pen(QColor(255, 255, 255, qRound(255 * kOutlineAlpha)), kOutlineWidth);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(bounds.adjusted(inset, inset, -inset, -inset), kOutlineRadius, kOutlineRadius);
}

}  // namespace flintly

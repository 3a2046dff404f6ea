#include "widgets/FocusRing.h"

#include <QPainter>
#include <QWidget>

namespace flintly {

void drawFocusRing(QPainter& painter, const QWidget& control, const QRectF& shape, qreal radius)
{
    if (!control.hasFocus())
        return;
    constexpr qreal kWidth = 1.5;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(control.palette().color(QPalette::Highlight), kWidth));
    painter.setBrush(Qt::NoBrush);
    const qreal inset = kWidth / 2;
    painter.drawRoundedRect(shape.adjusted(inset, inset, -inset, -inset), radius, radius);
    painter.restore();
}

}  // namespace flintly

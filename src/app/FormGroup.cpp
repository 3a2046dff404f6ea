#include "app/FormGroup.h"

#include "editor/ColorScheme.h"

#include <QPainter>
#include <QPainterPath>

namespace flintly {

void FormGroup::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    const QColor fill = palette().color(isDark(palette()) ? QPalette::AlternateBase : QPalette::Base);
    p.fillPath(path, fill);
    QColor line = palette().color(QPalette::Mid);
    line.setAlphaF(0.35);
    p.setPen(line);
    p.drawPath(path);
}

}  // namespace flintly

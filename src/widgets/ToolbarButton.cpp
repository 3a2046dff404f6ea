#include "widgets/ToolbarButton.h"

#include "widgets/FocusRing.h"
#include "widgets/SymbolIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace flintly {

ToolbarButton::ToolbarButton(const QString& systemName, const QString& tooltip, std::function<void()> action,
                             QWidget* parent)
    : QAbstractButton(parent), systemName_(systemName), action_(std::move(action))
{
    setFixedSize(24, 24);
    setToolTip(tooltip);
    setAccessibleName(tooltip);
    setCursor(Qt::PointingHandCursor);
    // A tab stop for the keyboard (Space presses it), but a click leaves the focus in
    // the note.
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (action_)
            action_();
    });
}

void ToolbarButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor secondary = palette().color(QPalette::WindowText);
    if (isButtonHovered_) {
        QColor fill = secondary;
        fill.setAlphaF(0.18f);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 5, 5);
        p.fillPath(path, fill);
    }
    secondary.setAlphaF(isDown() ? 0.9f : 0.6f);
    // 14-point symbol inside 6 points of padding on a 24-point button.
    const QPixmap symbol = symbolPixmap(systemName_, secondary, QSize(14, 14), devicePixelRatioF());
    p.drawPixmap(QPointF(5, 5), symbol);
    drawFocusRing(p, *this, QRectF(rect()), 5);
}

void ToolbarButton::enterEvent(QEnterEvent* event)
{
    isButtonHovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ToolbarButton::leaveEvent(QEvent* event)
{
    isButtonHovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

}  // namespace flintly

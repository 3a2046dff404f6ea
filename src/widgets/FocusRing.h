#pragma once

#include <QRectF>

class QPainter;
class QWidget;

namespace flintly {

// The outline a painted control draws while it has the keyboard focus, so a keyboard
// user sees where Tab went. Our painted buttons take the focus only from Tab, never
// from a click, so the ring never shows for the mouse.
void drawFocusRing(QPainter& painter, const QWidget& control, const QRectF& shape, qreal radius);

}  // namespace flintly

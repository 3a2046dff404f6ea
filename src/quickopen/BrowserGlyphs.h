#pragma once

#include <QColor>
#include <QPixmap>
#include <QSize>
#include <QString>

class QPainter;

namespace flintly {

// The few symbols of the note browser ("folder", "xmark", "plus", "arrow.down",
// "arrow.up", "checkmark"), drawn in any colour; unknown names draw nothing.
QPixmap browserGlyph(const QString& name, const QColor& color, const QSize& logicalSize, qreal devicePixelRatio = 1.0);
void drawBrowserGlyph(QPainter& painter, const QString& name, const QColor& color, const QRectF& rect);

}  // namespace flintly

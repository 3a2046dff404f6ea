#include "quickopen/BrowserGlyphs.h"

#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

namespace flintly {

namespace {
// Outline glyphs on a 24-unit grid, stroked in the requested colour.
const QHash<QString, QByteArray>& shapes()
{
    static const QHash<QString, QByteArray> table{
        {QStringLiteral("folder"),
         "<path d='M3 6.5A1.5 1.5 0 0 1 4.5 5h4.6l2 2.2h8.4A1.5 1.5 0 0 1 21 8.7v9.8a1.5 1.5 0 0 1-1.5 1.5h-15A1.5 1.5 0 0 1 3 18.5z'/>"},
        {QStringLiteral("xmark"), "<path d='M6 6l12 12M18 6L6 18'/>"},
        {QStringLiteral("plus"), "<path d='M12 4.5v15M4.5 12h15'/>"},
        {QStringLiteral("arrow.down"), "<path d='M12 4v16M5.5 13.5 12 20l6.5-6.5'/>"},
        {QStringLiteral("arrow.up"), "<path d='M12 20V4M5.5 10.5 12 4l6.5 6.5'/>"},
        {QStringLiteral("checkmark"), "<path d='M4.5 12.5 9.5 17.5 19.5 6.5'/>"},
    };
    return table;
}

QByteArray svgFor(const QString& name, const QColor& color)
{
    const QByteArray shape = shapes().value(name);
    if (shape.isEmpty())
        return {};
    return "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 24 24' fill='none' stroke='" + color.name().toLatin1()
        + "' stroke-opacity='" + QByteArray::number(color.alphaF(), 'f', 3)
        + "' stroke-width='2.4' stroke-linecap='round' stroke-linejoin='round'>" + shape + "</svg>";
}
}  // namespace

void drawBrowserGlyph(QPainter& painter, const QString& name, const QColor& color, const QRectF& rect)
{
    QSvgRenderer renderer(svgFor(name, color));
    if (renderer.isValid())
        renderer.render(&painter, rect);
}

QPixmap browserGlyph(const QString& name, const QColor& color, const QSize& logicalSize, qreal dpr)
{
    QPixmap pixmap(logicalSize * dpr);
    pixmap.fill(Qt::transparent);
    pixmap.setDevicePixelRatio(dpr);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    drawBrowserGlyph(p, name, color, QRectF(QPointF(0, 0), QSizeF(logicalSize)));
    return pixmap;
}

}  // namespace flintly

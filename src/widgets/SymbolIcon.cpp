#include "widgets/SymbolIcon.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

// Resources compiled into a static library are only registered when asked for.
static void ensureResources()
{
    static const bool once = [] {
        Q_INIT_RESOURCE(symbols);
        return true;
    }();
    (void)once;
}

namespace flintly {

namespace {
QByteArray readResource(const QString& path)
{
    ensureResources();
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The picture at the device's resolution, faded as a whole (overlapping strokes do not
// darken). The ratio is set only at the end: a pixmap that carries it is painted at its
// logical size, which put a quarter-size symbol into the corner on a screen of scale 2.
QPixmap render(const QByteArray& svg, const QSize& logicalSize, qreal dpr, qreal opacity = 1.0)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return {};
    QPixmap pixmap(logicalSize * dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    renderer.render(&p);
    p.end();
    if (opacity < 1.0) {
        QPixmap faded(pixmap.size());
        faded.fill(Qt::transparent);
        QPainter f(&faded);
        f.setOpacity(opacity);
        f.drawPixmap(0, 0, pixmap);
        f.end();
        pixmap = faded;
    }
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}
}  // namespace

QPixmap symbolPixmap(const QString& name, const QColor& color, const QSize& logicalSize, qreal dpr)
{
    QByteArray svg = readResource(QStringLiteral(":/symbols/%1.svg").arg(name));
    if (svg.isEmpty())
        return {};
    svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    return render(svg, logicalSize, dpr, color.alphaF());
}

QPixmap imagePixmap(const QString& name, const QSize& logicalSize, qreal dpr)
{
    return render(readResource(QStringLiteral(":/images/%1.svg").arg(name)), logicalSize, dpr);
}

QIcon appIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(imagePixmap(QStringLiteral("flintly"), QSize(size, size)));
    return icon;
}

}  // namespace flintly

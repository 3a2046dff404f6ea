#include "panels/SymbolIcon.h"

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

QPixmap render(const QByteArray& svg, const QSize& logicalSize, qreal dpr)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return {};
    QPixmap pixmap(logicalSize * dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    renderer.render(&p);
    p.end();
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
    QPixmap pixmap = render(svg, logicalSize, dpr);
    if (color.alphaF() < 1.0 && !pixmap.isNull()) {
        QPixmap faded(pixmap.size());
        faded.fill(Qt::transparent);
        QPainter p(&faded);
        p.setOpacity(color.alphaF());
        p.drawPixmap(0, 0, pixmap);
        p.end();
        faded.setDevicePixelRatio(dpr);
        return faded;
    }
    return pixmap;
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

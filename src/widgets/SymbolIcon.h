#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace flintly {

// Our symbol images ("magnifyingglass", "pencil.line", ...), drawn in any colour at any
// size from the SVGs bundled in the binary. Unknown names give a null pixmap.
QPixmap symbolPixmap(const QString& name, const QColor& color, const QSize& logicalSize, qreal devicePixelRatio = 1.0);

// A bundled image ("flintly", "flintly-white", "flintlynfolder") at a logical size.
QPixmap imagePixmap(const QString& name, const QSize& logicalSize, qreal devicePixelRatio = 1.0);
QIcon appIcon();

}  // namespace flintly

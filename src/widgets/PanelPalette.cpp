#include "widgets/PanelPalette.h"

#include <QPalette>

namespace flintly {

bool isDarkPalette(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

QColor panelBackgroundColor(const QPalette& palette) { return palette.color(QPalette::Window); }

QColor chipBorderColor(const QPalette& palette)
{
    const bool dark = isDarkPalette(palette);
    QColor c = dark ? QColor(Qt::white) : QColor(Qt::black);
    c.setAlphaF(dark ? 0.08f : 0.15f);
    return c;
}

}  // namespace flintly

#pragma once

#include <QColor>

class QPalette;

namespace flintly {

// The colours the panels take from the light or dark palette. They sit below the
// windows, so a window and the controls it holds both reach them without reaching
// each other.
bool isDarkPalette(const QPalette& palette);
QColor panelBackgroundColor(const QPalette& palette);
// The hairline around a chip: dark on a light panel, light on a dark one.
QColor chipBorderColor(const QPalette& palette);

}  // namespace flintly

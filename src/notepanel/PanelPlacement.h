#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace flintly {

inline constexpr int kPanelScreenMargin = 24;

// The note panel opens in the bottom-right corner of the screen's usable area (without
// panels and docks), 24 points in from its right and bottom edges.
QPoint initialPanelPosition(const QRect& availableGeometry, const QSize& frameSize);

}  // namespace flintly

#include "notepanel/PanelPlacement.h"

namespace flintly {

QPoint initialPanelPosition(const QRect& available, const QSize& frame)
{
    // Qt's y grows downwards, so "24 above the bottom edge" is the bottom minus the
    // frame's height and the margin.
    return {available.x() + available.width() - frame.width() - kPanelScreenMargin,
            available.y() + available.height() - frame.height() - kPanelScreenMargin};
}

}  // namespace flintly

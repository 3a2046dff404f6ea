#pragma once

#include <QRegion>

class QWidget;

namespace flintly {

// Where a top-level window takes pointer input, in its own logical coordinates: clicks
// elsewhere in it fall through to whatever lies beneath, as if the window were not
// there. An empty region gives the whole window back its input. Does nothing where the
// window system has no such notion, nor before the native window exists (set it again
// once it does: QEvent::WinIdChange).
void setInputRegion(QWidget* window, const QRegion& region);

}  // namespace flintly

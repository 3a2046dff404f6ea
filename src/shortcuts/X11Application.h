#pragma once

#include <QtGui/qguiapplication_platform.h>

namespace flintly::shortcuts {

// The GUI application's X11 side: null unless it runs on X11 (xcb) with a display.
QNativeInterface::QX11Application* x11Application();

}  // namespace flintly::shortcuts

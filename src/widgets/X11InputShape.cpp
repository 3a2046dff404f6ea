#include "widgets/InputShape.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cmath>
#include <vector>

namespace flintly {

void setInputRegion(QWidget* window, const QRegion& region)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c || !window)
        return;
    const xcb_query_extension_reply_t* shape = xcb_get_extension_data(c, &xcb_shape_id);
    if (!shape || !shape->present)
        return;
    if (!window->internalWinId() || !window->windowHandle())
        return;
    const auto id = static_cast<xcb_window_t>(window->windowHandle()->winId());
    if (region.isEmpty()) {
        // The default input shape is the window's bounding shape: all of it.
        xcb_shape_mask(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, id, 0, 0, XCB_PIXMAP_NONE);
    } else {
        // The X server counts device pixels; Qt's scale factor lies between them.
        const qreal dpr = window->devicePixelRatioF();
        std::vector<xcb_rectangle_t> rects;
        for (const QRect& r : region) {
            const int left = int(std::floor(r.left() * dpr));
            const int top = int(std::floor(r.top() * dpr));
            const int right = int(std::ceil((r.right() + 1) * dpr));
            const int bottom = int(std::ceil((r.bottom() + 1) * dpr));
            rects.push_back({int16_t(left), int16_t(top), uint16_t(right - left), uint16_t(bottom - top)});
        }
        xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, id, 0, 0,
                             uint32_t(rects.size()), rects.data());
    }
    xcb_flush(c);
}

}  // namespace flintly

#include "shortcuts/X11Application.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace flintly::shortcuts {

QNativeInterface::QX11Application* x11Application()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection() || !x11->display())
        return nullptr;
    return x11;
}

}  // namespace flintly::shortcuts

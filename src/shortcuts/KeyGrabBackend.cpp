#include "shortcuts/KeyGrabBackend.h"

#include "platform/Log.h"
#include "shortcuts/X11Support.h"

#include <QGuiApplication>

namespace flintly::shortcuts {

std::unique_ptr<KeyGrabBackend> createDefaultKeyGrabBackend()
{
    if (auto x11 = createX11KeyGrabBackend())
        return x11;
    const QString platform =
        QGuiApplication::platformName().isEmpty() ? QStringLiteral("none") : QGuiApplication::platformName();
    log(QStringLiteral("⚠️ Global shortcuts are unavailable: no X11 display (platform %1); everything else works.")
            .arg(platform));
    return std::make_unique<NullKeyGrabBackend>();
}

}  // namespace flintly::shortcuts

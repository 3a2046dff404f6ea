#include "shortcuts/KeyGrabBackendFactory.h"

#include "platform/AppInfo.h"
#include "platform/Log.h"
#include "shortcuts/GlobalShortcutsPortal.h"
#include "shortcuts/PortalKeyGrabBackend.h"
#include "shortcuts/X11KeyGrabBackend.h"

#include <QDBusConnection>
#include <QGuiApplication>

namespace flintly::shortcuts {

KeyGrabPath chooseKeyGrabPath(const QProcessEnvironment& environment, bool hasSessionBus, bool hasX11)
{
    const bool wayland = environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland")
        || !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
    if (wayland)
        return hasSessionBus ? KeyGrabPath::portal : KeyGrabPath::none;
    return hasX11 ? KeyGrabPath::x11 : KeyGrabPath::none;
}

std::unique_ptr<KeyGrabBackend> createDefaultKeyGrabBackend()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    std::unique_ptr<KeyGrabBackend> x11 = createX11KeyGrabBackend();
    switch (chooseKeyGrabPath(QProcessEnvironment::systemEnvironment(), bus.isConnected(), x11 != nullptr)) {
    case KeyGrabPath::portal: {
        PortalKeyGrabBackend::Options options;
        options.appId = QString::fromUtf16(AppInfo::appId);
        options.sessionToken = QStringLiteral("flintly");
        options.hotkeys = {{QStringLiteral("showNote"), QStringLiteral("Show or hide the Flintly note"),
                            Shortcut(Key::j, ModifierFlag::command)}};
        return std::make_unique<PortalKeyGrabBackend>(std::make_unique<GlobalShortcutsPortal>(bus), options);
    }
    case KeyGrabPath::x11: return x11;
    case KeyGrabPath::none: break;
    }
    const QString platform =
        QGuiApplication::platformName().isEmpty() ? QStringLiteral("none") : QGuiApplication::platformName();
    log(QStringLiteral("⚠️ Global shortcuts are unavailable: no X11 display or desktop portal (platform %1); "
                       "everything else works.")
            .arg(platform));
    return std::make_unique<NullKeyGrabBackend>();
}

}  // namespace flintly::shortcuts

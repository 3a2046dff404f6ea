#pragma once

#include <QIcon>
#include <QObject>

#include <functional>

class QMenu;
class QSystemTrayIcon;

namespace flintly {

class StatusNotifierHosts;

// The status-area icon, whenever the desktop has a tray: a click shows or hides the
// note, the menu holds the app's commands.
//
// Qt 6.4 decides once per process, on the first tray icon made, between the
// StatusNotifier tray (D-Bus) and the old X11 one, and a StatusNotifier tray counts only
// if it was there at that moment. A tray that comes later (GNOME's AppIndicator
// extension enabled after login, a panel restarted) would never see our icon. So no icon
// is made, and Qt is not asked, until a tray is known to be there; the icon goes when
// the StatusNotifier tray goes and is made again when it comes back.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    struct Options {
        StatusNotifierHosts* hosts = nullptr;  // null: watches the session bus
        std::function<bool()> x11TrayPresent;  // null: asks the X server
    };

    TrayIcon(std::function<void()> toggleNote, QMenu* menu);
    TrayIcon(std::function<void()> toggleNote, QMenu* menu, Options options, QObject* parent = nullptr);
    ~TrayIcon() override;

    bool isShown() const { return icon_ != nullptr; }
    QSystemTrayIcon* icon() const { return icon_; }

    // The tray's image: the installed symbolic icon where the icon theme has it (trays
    // that recolour symbolic icons do so), else the same drawing from the binary, a
    // light shape with a dark outline that reads on light and dark panels alike.
    static QIcon symbolicIcon();

signals:
    void shownChanged(bool shown);

private:
    enum class Tray { none, statusNotifier, x11 };

    void follow(bool statusNotifierTray);
    void show(Tray tray);
    void remove();

    std::function<void()> toggleNote_;
    QMenu* menu_ = nullptr;
    Options options_;
    QSystemTrayIcon* icon_ = nullptr;
    Tray tray_ = Tray::none;
    bool decided_ = false;  // Qt has chosen its kind of tray for this process
};

}  // namespace flintly

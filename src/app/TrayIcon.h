#pragma once

#include <QObject>

#include <functional>

class QMenu;
class QSystemTrayIcon;

namespace flintly {

// The status-area icon, where the desktop has one: a click shows or hides the note, the
// menu holds the app's commands.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    TrayIcon(std::function<void()> toggleNote, QMenu* menu, QObject* parent = nullptr);

    static bool isAvailable();

private:
    QSystemTrayIcon* icon_ = nullptr;
};

}  // namespace flintly

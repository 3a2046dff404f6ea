#pragma once

#include <QObject>

#include <functional>

class QSystemTrayIcon;

namespace flintly {

// The status-area icon, where the desktop has one: show or hide the note, quit.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    TrayIcon(std::function<void()> toggleNote, QObject* parent = nullptr);

    static bool isAvailable();

private:
    QSystemTrayIcon* icon_ = nullptr;
};

}  // namespace flintly

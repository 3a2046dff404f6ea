#pragma once

#include <QHash>
#include <QObject>

class QMenu;

namespace flintly::shortcuts {

// Knows whether one of the application's menus is open. An open Qt menu grabs the
// keyboard, and while it does X delivers no passive grab, so hotkeys must then be
// read from the menu's own key events.
class MenuTracker : public QObject {
    Q_OBJECT
public:
    explicit MenuTracker(QObject* parent = nullptr);
    ~MenuTracker() override;

    bool isMenuOpen() const { return !openMenus_.isEmpty(); }

signals:
    void menuOpenChanged(bool open);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setOpen(QMenu* menu, bool open);

    // Each open menu with the connection that forgets it should it be destroyed open.
    QHash<QMenu*, QMetaObject::Connection> openMenus_;
};

}  // namespace flintly::shortcuts

#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace flintly {

// Watches every key of the application, installed while the search panel is shown:
// Escape in any Flintly window dismisses the panel, Ctrl+1 … Ctrl+9 in the panel open
// the pinned folders. Other keys, and every key while a menu or modal dialog has the
// keyboard, pass untouched.
class PanelKeyMonitor : public QObject {
public:
    PanelKeyMonitor(QWidget* panel, std::function<bool()> isShown, std::function<void()> dismiss);

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    QPointer<QWidget> panel_;
    std::function<bool()> isShown_;
    std::function<void()> dismiss_;
};

}  // namespace flintly

#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace flintly {

namespace shortcuts {
class GlobalShortcuts;
struct HotkeyCarrier;
}  // namespace shortcuts

// Under the shortcut recorder: which path carries the hotkey where that is not the
// recorded key itself ("Set by the desktop: Ctrl+J", "Not available on this desktop",
// "Declined in the desktop's dialog"), and the desktop's own shortcut settings where
// its portal offers them. Hidden while there is nothing to say (an X11 grab).
class HotkeyStatus : public QWidget {
    Q_OBJECT
public:
    explicit HotkeyStatus(shortcuts::GlobalShortcuts& shortcuts, QWidget* parent = nullptr);

    QLabel* text() const { return text_; }
    QPushButton* configureButton() const { return configure_; }

    // The text for a carrier; empty when the row says nothing.
    static QString statusText(const shortcuts::HotkeyCarrier& carrier);

private:
    void refresh();

    shortcuts::GlobalShortcuts& shortcuts_;
    QLabel* text_ = nullptr;
    QPushButton* configure_ = nullptr;
};

}  // namespace flintly

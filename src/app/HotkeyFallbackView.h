#pragma once

#include <QStringList>
#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace flintly {

namespace desktop {
class CustomKeybindingStore;
class GnomeKeybinding;
}  // namespace desktop

namespace shortcuts {
class GlobalShortcuts;
}

// Under the note-window shortcut in the settings window, when no desktop-wide hotkey
// reaches Flintly (no portal, or the user declined it there): on GNOME, a button that
// adds the shortcut to GNOME's own keyboard shortcuts (and removes it again); elsewhere
// the command to bind in the desktop's keyboard settings, with a Copy button. Never a
// silent dead key.
class HotkeyFallbackView : public QWidget {
    Q_OBJECT
public:
    struct Dependencies {
        shortcuts::GlobalShortcuts* shortcuts = nullptr;  // null: the shared one
        std::optional<QString> currentDesktop;            // null: $XDG_CURRENT_DESKTOP
        // GNOME's custom keybindings; null: GSettings' (only asked for on GNOME).
        desktop::CustomKeybindingStore* gnomeStore = nullptr;
        QStringList toggleCommand;  // empty: this executable with --toggle
    };

    explicit HotkeyFallbackView(Dependencies deps, QWidget* parent = nullptr);
    ~HotkeyFallbackView() override;

    // Whether it has anything to say (its row shows only then); neededChanged() when
    // that changes.
    bool isNeeded() const { return needed_; }
    void refresh();

    QLabel* message() const { return message_; }
    QLineEdit* commandField() const { return command_; }
    QPushButton* copyButton() const { return copy_; }
    QPushButton* gnomeButton() const { return gnomeButton_; }

signals:
    void neededChanged(bool needed);

private:
    void addOrRemove();
    void shortcutChanged();

    Dependencies deps_;
    bool onGnome_ = false;
    std::unique_ptr<desktop::CustomKeybindingStore> ownStore_;
    std::unique_ptr<desktop::GnomeKeybinding> gnome_;
    QLabel* message_ = nullptr;
    QLineEdit* command_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* gnomeButton_ = nullptr;
    bool needed_ = false;
    bool gnomeHasOurs_ = false;
    QString failure_;  // what went wrong the last time the button was used
};

}  // namespace flintly

#pragma once

#include "shortcuts/Name.h"
#include "shortcuts/Shortcut.h"

#include <QAction>
#include <QLineEdit>
#include <QMetaObject>

#include <functional>
#include <memory>
#include <optional>

namespace flintly {
class AlertPresenter;
class UrlOpener;
}  // namespace flintly

namespace flintly::shortcuts {

class GlobalShortcuts;
class LocalEventMonitor;

// What the recorder talks to; tests hand in fakes so no alert ever waits for a person.
struct RecorderServices {
    GlobalShortcuts* shortcuts = nullptr;
    AlertPresenter* alerts = nullptr;
    UrlOpener* beeper = nullptr;  // only its beep()

    // The shared shortcuts, real message boxes and the desktop's beep.
    static RecorderServices standard();
};

// The field in which the user sets a name's shortcut: click it, press the keys, and
// the combination is checked, stored and shown ("Ctrl+J"); the clear button, Delete or
// Backspace removes it. While it records, no shortcut action runs.
class RecorderControl : public QLineEdit {
    Q_OBJECT
public:
    using OnChange = std::function<void(std::optional<Shortcut>)>;

    static constexpr int minimumWidth = 130;

    RecorderControl(const Name& name, OnChange onChange, RecorderServices services, QWidget* parent = nullptr);
    ~RecorderControl() override;

    const Name& shortcutName() const { return shortcutName_; }
    void setShortcutName(const Name& name);
    bool isRecording() const { return recording_; }
    bool canBecomeKey() const { return canBecomeKey_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void showShortcut();
    void startRecording();
    void endRecording();
    // Ends recording the way the window dropping its focus would.
    void resignFirstResponder();
    void preventBecomingKey();
    void textEditedByUser(const QString& text);
    void pressCancelButton();
    void updateCancelButton();
    // The event monitor's handler: true delivers the event, false swallows it.
    bool handleEvent(QEvent* event);
    bool handleKeyPress(QKeyEvent* event);
    void accept(const Shortcut& shortcut);
    void beep();

    Name shortcutName_;
    OnChange onChange_;
    RecorderServices services_;
    bool canBecomeKey_ = false;
    bool recording_ = false;
    std::unique_ptr<LocalEventMonitor> eventMonitor_;
    QMetaObject::Connection shortcutsNameChangeObserver_;
    // Shown only while there is something to clear.
    QAction* cancelButton_ = nullptr;
};

}  // namespace flintly::shortcuts

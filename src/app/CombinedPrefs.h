#pragma once

#include "app/HotkeyFallbackView.h"
#include "app/SettingsForm.h"
#include "platform/AppInfo.h"
#include "shortcuts/RecorderControl.h"

#include <QLocale>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace flintly {

class HotkeyStatus;
class MarkdownModel;
class OneShotTimer;
class SettingsStore;
class TimeSource;
class UrlOpener;

namespace desktop {
class AutostartEntry;
}

namespace shortcuts {
class Recorder;
}

// "Flintly Settings": the theme, the browser's favourites toggle, the note-window
// shortcut, the notes folder, the writing statistics and how to reach the developer.
// Holds no data of its own: every row reads the settings store or the model, and
// writes a choice back the moment it is made.
class CombinedPrefs : public QWidget {
    Q_OBJECT
public:
    struct Dependencies {
        SettingsStore* settings = nullptr;     // required
        MarkdownModel* model = nullptr;        // required
        shortcuts::RecorderServices recorder;  // the shortcut module, alerts, beeps
        UrlOpener* urlOpener = nullptr;        // the file manager and the browser
        TimeSource* time = nullptr;            // null: the system clock and Qt timers
        QLocale locale = QLocale();            // digit grouping of the counts
        // What stands in for the hotkey where the desktop gives none.
        HotkeyFallbackView::Dependencies hotkeyFallback = {};
        desktop::AutostartEntry* autostart = nullptr;  // null: the user's autostart entry
        // How to reach whoever answers for this build; an empty one hides its row.
        QString developerName = AppInfo::developerName();
        QString developerEmail = AppInfo::developerEmail();
        QString developerUrl = AppInfo::developerUrl();
    };

    static constexpr int kWidth = 600;
    static constexpr int kHeight = 420;
    // The statistics, the running focus time above all, are read again this often.
    static constexpr int kRefreshMs = 60'000;

    explicit CombinedPrefs(Dependencies deps, QWidget* parent = nullptr);
    ~CombinedPrefs() override;

    QComboBox* themePicker() const { return themePicker_; }
    QCheckBox* favoritesToggle() const { return favoritesToggle_; }
    shortcuts::Recorder* shortcutRecorder() const { return recorder_; }
    HotkeyStatus* hotkeyStatus() const { return hotkeyStatus_; }
    HotkeyFallbackView* hotkeyFallback() const { return hotkeyFallback_; }
    QCheckBox* openAtLoginToggle() const { return openAtLoginToggle_; }
    QLabel* saveFolderLabel() const { return saveFolderLabel_; }
    QPushButton* changeFolderButton() const { return changeFolderButton_; }
    QLabel* revealLink() const { return revealLink_; }
    QLabel* notesValue() const { return notesValue_; }
    QLabel* charactersValue() const { return charactersValue_; }
    QLabel* focusTimeValue() const { return focusTimeValue_; }
    QLabel* todosValue() const { return todosValue_; }
    QLabel* emailLink() const { return emailLink_; }
    QLabel* blogLink() const { return blogLink_; }
    // The Developer section; hidden when the build names nobody.
    QWidget* developerSection() const { return developerSection_; }

    // Reads everything shown again.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void showChoices();
    void refreshStatistics();
    void refreshFolder();
    void applyTheme();
    void paintSymbols();
    void changeFolder();

    Dependencies deps_;
    QPointer<MarkdownModel> model_;
    std::unique_ptr<OneShotTimer> refreshTimer_;
    std::unique_ptr<desktop::AutostartEntry> ownAutostart_;
    SettingsForm form_;
    QComboBox* themePicker_ = nullptr;
    QCheckBox* favoritesToggle_ = nullptr;
    shortcuts::Recorder* recorder_ = nullptr;
    HotkeyStatus* hotkeyStatus_ = nullptr;
    HotkeyFallbackView* hotkeyFallback_ = nullptr;
    QCheckBox* openAtLoginToggle_ = nullptr;
    QLabel* saveFolderLabel_ = nullptr;
    QPushButton* changeFolderButton_ = nullptr;
    QLabel* revealLink_ = nullptr;
    QWidget* revealRow_ = nullptr;  // the whole row goes while no folder is set
    QLabel* notesValue_ = nullptr;
    QLabel* charactersValue_ = nullptr;
    QLabel* focusTimeValue_ = nullptr;
    QLabel* todosValue_ = nullptr;
    QLabel* emailLink_ = nullptr;
    QLabel* blogLink_ = nullptr;
    QWidget* developerSection_ = nullptr;
    bool paintingSymbols_ = false;
};

}  // namespace flintly

#pragma once

#include "notepanel/FloatingPanelController.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

namespace flintly {

class AlertPresenter;
class AutosaveService;
class MarkdownModel;
class OnboardingController;
class SettingsStore;
class TimeSource;
class Updater;

// Runs start-up and owns what lives for the whole run: the note panel (created once),
// the autosave service, the update controller, and a weak hold on the editor's web view.
// Everything it talks to comes in through Dependencies, so a test builds one against a
// temporary settings file with fakes for the dialogs.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // Evaluates a script in the editor page; `done` gets an empty string on success and
    // the error otherwise.
    using ScriptEvaluator = std::function<void(const QString& script, std::function<void(const QString& error)> done)>;

    struct Dependencies {
        SettingsStore* settings = nullptr;
        MarkdownModel* model = nullptr;
        AlertPresenter* alerts = nullptr;
        FloatingPanelController::ContentFactory panelContent;
        // initialise, logging on, identify with the model's id, "app_launch"
        std::function<void(const QString& token, const QString& debugId)> startAnalytics;
        // Binds the key-up of the "showNote" shortcut (default Ctrl+J) to `toggle`, which
        // takes what the desktop told about the key event (empty when unknown).
        std::function<void(QObject* context, std::function<void(const UserActivation&)> toggle)> bindShowNote;
        // Whether the app was asked to quit; a modal alert returns then as well.
        std::function<bool()> quitRequested;
        std::function<std::unique_ptr<Updater>()> makeUpdater;
        QString guidePath;           // the bundled "Guide.md"
        TimeSource* time = nullptr;  // null: the system clock and Qt timers
        // The page script for a stored theme; null gives the plain "auto"/"manual" forms.
        std::function<QString(qint64 storedTheme)> themeScript;
        // Gives a window the app makes (onboarding, the note panel) the menu commands.
        std::function<void(QWidget* window)> adoptWindow;
        // Ends the app the ordinary way; null: the application's quit.
        std::function<void()> quit;
        // Makes the bundled fonts known. Only onboarding's window uses them, so in an
        // ordinary start they wait until the editor is on screen.
        std::function<void()> loadFonts;
        // `flintly --hidden`: the launch sets the note panel up without showing it.
        // Onboarding still shows, as nothing else could bring it up.
        bool startHidden = false;
    };

    // How long work that does not feed the first paint waits for the editor page at
    // most (a page that never loads must not hold it back for good).
    static constexpr int kAfterFirstPaintMaxWaitMs = 3000;

    static constexpr int kThemeSyncAttempts = 10;
    static constexpr int kThemeSyncDelayMs = 500;  // after the panel first shows
    static constexpr int kThemeRetryUnitMs = 500;  // attempt n waits n units before the next

    explicit AppDelegate(Dependencies deps, QObject* parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    void didPickFolder();
    // `activation`: the user action asking for it, as far as the desktop told us, so
    // that the shown panel is given the keyboard focus.
    void togglePanel(const UserActivation& activation = {});
    // Brings the panel forward (a second launch of the app asks for this).
    void showPanel(const UserActivation& activation = {});
    // Opens a file that was asked for from outside (`flintly FILE`, "Open With") as the
    // note and shows the panel; before the panel exists (onboarding, the what's-new
    // alert) the file waits for it. Returns empty, or why the file cannot be opened.
    QString openFile(const QString& path, const UserActivation& activation = {});
    // "Insert Template…" (a menu command): the template panel on the note panel, or away again.
    void toggleTemplatePanel();

    void registerWebView(QObject* webView, ScriptEvaluator evaluate);
    // The editor page has loaded (or could not): the work held back for it runs now.
    void editorLoaded();
    // Runs `work` once the editor is on screen (at once if it is), or after
    // kAfterFirstPaintMaxWaitMs of the launch at the latest.
    void afterFirstPaint(std::function<void()> work);
    void applyTheme(int attempt);

    // Whether the launch has got as far as knowing the notes folder (restored, or known
    // to be missing); notesFolderRestored() when it gets there.
    bool hasRestoredNotesFolder() const { return folderRestored_; }

    FloatingPanelController* panel() const { return panel_.get(); }
    OnboardingController* onboarding() const { return onboarding_.get(); }
    Updater* updater() const { return updaterController_.get(); }
    AutosaveService* autosave() const { return autosave_.get(); }

signals:
    void notesFolderRestored();

private:
    void prepareEditor();
    void setUpPanel();
    void firstThemeSynchronisation();

    Dependencies deps_;
    std::unique_ptr<FloatingPanelController> panel_;
    QString pendingFile_;  // asked for before the panel existed
    // Made (not shown) at the very start, so the editor page loads while start-up goes on.
    std::unique_ptr<FloatingPanelController> preparedPanel_;
    std::vector<std::function<void()>> afterFirstPaint_;
    bool editorLoaded_ = false;
    bool folderRestored_ = false;
    std::unique_ptr<OnboardingController> onboarding_;
    std::unique_ptr<AutosaveService> autosave_;
    std::unique_ptr<Updater> updaterController_;
    QPointer<QObject> webView_;
    ScriptEvaluator evaluate_;
};

}  // namespace flintly

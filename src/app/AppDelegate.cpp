#include "app/AppDelegate.h"

#include "app/OnboardingController.h"
#include "app/QuickGuide.h"
#include "app/StartupDecision.h"
#include "app/Updater.h"
#include "app/WhatsNewNotice.h"
#include "document/AutosaveService.h"
#include "document/MarkdownModel.h"
#include "document/TextDecoding.h"
#include "editor/WebView.h"
#include "notepanel/FloatingPanelWindow.h"
#include "platform/AppInfo.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsStore.h"
#include "platform/StartupTrace.h"
#include "platform/TimeSource.h"
#include "quickopen/SearchPanelController.h"
#include "templatepanel/TemplatePanelController.h"

#include <QCoreApplication>

#include <utility>

namespace flintly {

AppDelegate::AppDelegate(Dependencies deps, QObject* parent) : QObject(parent), deps_(std::move(deps))
{
    if (!deps_.time)
        deps_.time = &TimeSource::system();
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    prepareEditor();
    deps_.time->runAfter(kAfterFirstPaintMaxWaitMs, this, [this] { editorLoaded(); });

    const QString feed = AppInfo::feedUrl();
    log("👉 SUFeedURL =", feed.isEmpty() ? QStringLiteral("nil") : feed);
    const QString arbitrary = AppInfo::allowArbitraryLoads();
    log("👉 ArbitraryLoads =", arbitrary.isEmpty() ? QStringLiteral("nil") : arbitrary);

    NotificationCenter::defaultCenter().observe(QStringLiteral("flintlyDidPickFolder"), this,
                                                [this](const Notification&) { didPickFolder(); });

    const QString token = AppInfo::analyticsToken();
    log("🚩 Analytics token:", token);
    if (deps_.startAnalytics)
        deps_.startAnalytics(token, deps_.model->debugIDString());

    std::optional<QUrl> folder = deps_.model->resolveSaveFolderBookmark();
    if (!folder)
        folder = deps_.settings->fileUrlValue(settingskeys::saveFolder);
    if (folder)
        deps_.model->setSaveFolder(*folder);
    folderRestored_ = true;
    emit notesFolderRestored();

    switch (decideStartup(*deps_.settings, runningVersion())) {
    case StartupOutcome::onboarding:
        // The panel that onboarding leads to is what the user is waiting for.
        deps_.startHidden = false;
        onboarding_ = std::make_unique<OnboardingController>(*deps_.settings, *deps_.model, runningVersion());
        // Closed by hand before a folder was chosen, the window is gone and nothing
        // (no panel for the hotkey or the tray to show) could bring it back: quit, and
        // the next launch onboards again.
        connect(onboarding_.get(), &OnboardingController::closedByUser, this, [this] {
            log("👋 Onboarding closed before a folder was chosen; quitting");
            if (deps_.quit)
                deps_.quit();
            else
                QCoreApplication::quit();
        });
        onboarding_->show();
        if (deps_.adoptWindow && onboarding_->window())
            deps_.adoptWindow(onboarding_->window());
        // "Quick Open…" works before there is a note panel too; without this its key would
        // show an empty panel over the onboarding window.
        SearchPanelController::shared().configure(deps_.model, *deps_.settings);
        break;
    case StartupOutcome::whatsNew:
        // Quitting under the alert ends the launch here: the app is on its way out.
        if (deps_.alerts && !showWhatsNewNotice(*deps_.alerts, *deps_.settings, deps_.quitRequested))
            return;
        setUpPanel();
        break;
    case StartupOutcome::normal: setUpPanel(); break;
    }

    if (deps_.makeUpdater)
        updaterController_ = deps_.makeUpdater();
    if (updaterController_) {
        // The check itself (a thread, the network) waits until the editor is on screen.
        afterFirstPaint([this] {
            if (updaterController_)
                updaterController_->checkForUpdatesInBackground();
        });
        log("🟢 SPUUpdater created =", updaterController_->description());
        log("🟢 canCheckForUpdates =", updaterController_->canCheckForUpdates());
        log("🟢 automaticallyChecksForUpdates =", updaterController_->automaticallyChecksForUpdates());
    } else {
        log("🔴 updaterController is nil!");
    }

    if (deps_.bindShowNote) {
        QPointer<AppDelegate> self(this);
        deps_.bindShowNote(this, [self](const UserActivation& activation) {
            if (self)
                self->togglePanel(activation);
        });
    }
}

void AppDelegate::prepareEditor()
{
    // Onboarding's window, which uses the bundled fonts, shows at once; the note panel
    // does not use them.
    const bool onboarding = decideStartup(*deps_.settings, runningVersion()) == StartupOutcome::onboarding;
    if (auto load = std::exchange(deps_.loadFonts, nullptr)) {
        if (onboarding)
            load();
        else
            afterFirstPaint(std::move(load));
    }
    // The editor page is what start-up waits for longest, and it needs nothing from the
    // steps before the panel is set up: the panel is made now and its page starts
    // loading; setting the panel up later shows it. Onboarding makes no panel yet.
    if (onboarding || panel_ || preparedPanel_)
        return;
    preparedPanel_ = FloatingPanelController::create(*deps_.settings, deps_.model, deps_.panelContent);
    if (auto* editor = preparedPanel_->window()->findChild<WebView*>())
        editor->ensureWebView();
    traceStartup("editor-started");
}

void AppDelegate::afterFirstPaint(std::function<void()> work)
{
    if (editorLoaded_)
        work();
    else
        afterFirstPaint_.push_back(std::move(work));
}

void AppDelegate::editorLoaded()
{
    if (editorLoaded_)
        return;
    editorLoaded_ = true;
    for (auto& work : std::exchange(afterFirstPaint_, {}))
        work();
}

void AppDelegate::didPickFolder() { setUpPanel(); }

void AppDelegate::setUpPanel()
{
    if (panel_)
        return;
    panel_ = preparedPanel_ ? std::move(preparedPanel_)
                            : FloatingPanelController::create(*deps_.settings, deps_.model, deps_.panelContent);
    if (deps_.adoptWindow)
        deps_.adoptWindow(panel_->window());
    TemplatePanelController::configureShared({deps_.model, deps_.settings, nullptr, {}});
    if (!std::exchange(deps_.startHidden, false))
        panel_->showWindow();
    traceStartup("panel-shown");
    SearchPanelController::shared().configure(deps_.model, *deps_.settings);
    autosave_ = std::make_unique<AutosaveService>(deps_.model, 3.0);
    deps_.model->startFocusSession();
    deps_.time->runAfter(kThemeSyncDelayMs, this, [this] { firstThemeSynchronisation(); });

    if (!deps_.model->saveFolder().isEmpty() && !deps_.settings->get(settingskeys::didInsertQuickGuide))
        placeQuickGuide(*deps_.model, *deps_.settings, deps_.model->saveFolder().toLocalFile(), deps_.guidePath);
    // Asked for before there was a panel to show it in: it wins over the guide.
    if (!pendingFile_.isEmpty())
        openFile(std::exchange(pendingFile_, QString()));
}

void AppDelegate::registerWebView(QObject* webView, ScriptEvaluator evaluate)
{
    webView_ = webView;
    evaluate_ = std::move(evaluate);
}

void AppDelegate::firstThemeSynchronisation()
{
    if (!webView_ || !evaluate_) {
        log("🚨 WebView 참조가 없어 초기 동기화를 건너뜁니다");
        return;
    }
    applyTheme(1);
}

void AppDelegate::applyTheme(int attempt)
{
    if (!webView_ || !evaluate_)
        return;
    const qint64 theme = deps_.settings->get(settingskeys::appTheme);
    const QString script = deps_.themeScript ? deps_.themeScript(theme)
        : theme == 2                         ? QStringLiteral("window.setThemeMode?.('manual', 'dark')")
        : theme == 1                         ? QStringLiteral("window.setThemeMode?.('manual', 'light')")
                                             : QStringLiteral("window.setThemeMode?.('auto')");
    const QString themeName = theme == 2 ? QStringLiteral("dark")
        : theme == 1                     ? QStringLiteral("light")
                                         : QStringLiteral("system");
    QPointer<AppDelegate> self(this);
    evaluate_(script, [self, attempt, themeName](const QString& error) {
        if (!self)
            return;
        if (error.isEmpty()) {
            log(QStringLiteral("🎨 초기 테마 동기화 완료 (시도 %1):").arg(attempt), themeName);
            return;
        }
        log(QStringLiteral("🚨 초기 테마 동기화 실패 (시도 %1/%2):").arg(attempt).arg(kThemeSyncAttempts), error);
        if (attempt >= kThemeSyncAttempts)
            return;
        self->deps_.time->runAfter(attempt * kThemeRetryUnitMs, self, [self, attempt] {
            if (self)
                self->applyTheme(attempt + 1);
        });
    });
}

void AppDelegate::togglePanel(const UserActivation& activation)
{
    if (!panel_)
        return;
    if (panel_->isVisible())
        panel_->close(activation);
    else
        panel_->showWindow(activation);
}

void AppDelegate::toggleTemplatePanel()
{
    if (!panel_)
        return;
    if (!panel_->isVisible())
        panel_->showWindow();
    TemplatePanelController::shared().toggle(panel_->window());
}

QString AppDelegate::openFile(const QString& path, const UserActivation& activation)
{
    if (!panel_) {
        if (const auto problem = notePathProblem(path)) {
            deps_.model->reportOpenFailure(path, *problem);
            showPanel();
            return *problem;
        }
        log("📂 Opens once the note window is there:", path);
        pendingFile_ = path;
        showPanel();
        return {};
    }
    QString why;
    deps_.model->open(QUrl::fromLocalFile(path), &why);
    showPanel(activation);
    return why;
}

void AppDelegate::showPanel(const UserActivation& activation)
{
    if (panel_)
        panel_->showWindow(activation);
    else if (onboarding_ && onboarding_->window())
        onboarding_->window()->raise();
}

}  // namespace flintly

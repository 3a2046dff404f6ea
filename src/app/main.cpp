// Wires the modules into the app; behaviour lives in them.
#include "analytics/AnalyticsUsageTracker.h"
#include "analytics/AppEvents.h"
#include "analytics/AutomaticProperties.h"
#include "app/AppDelegate.h"
#include "app/AppendInput.h"
#include "app/CombinedPrefs.h"
#include "app/CommandLine.h"
#include "app/Fonts.h"
#include "app/LaunchHandOver.h"
#include "app/LaunchRequests.h"
#include "app/MainCommands.h"
#include "app/QuitGuard.h"
#include "app/SingleInstance.h"
#include "app/StartupDecision.h"
#include "app/TrayIcon.h"
#include "app/UpdatePrompts.h"
#include "app/Updater.h"
#include "browser/RecentFileManager.h"
#include "document/MarkdownModel.h"
#include "document/RecoveryStore.h"
#include "editor/AppTheme.h"
#include "editor/ColorScheme.h"
#include "editor/ScriptRunner.h"
#include "editor/ScriptText.h"
#include "editor/ThemedRootView.h"
#include "editor/WebViewBridge.h"
#include "history/HistoryCommand.h"
#include "history/NoteHistory.h"
#include "historyview/HistoryWindow.h"
#include "platform/AppInfo.h"
#include "platform/AppPaths.h"
#include "platform/Log.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "platform/StartupTrace.h"
#include "platform_widgets/DesktopUrlOpener.h"
#include "platform_widgets/QtAlertPresenter.h"
#include "platform_widgets/QtFileChooser.h"
#include "shortcuts/GlobalShortcuts.h"
#include "widgets/SymbolIcon.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdio>
#include <cstdlib>
#include <utility>

using namespace flintly;

namespace {
constexpr int kQuitPullTimeoutMs = 4000;

MarkdownModel* g_modelAtExit = nullptr;

void flushAtExit()
{
    if (MarkdownModel* model = std::exchange(g_modelAtExit, nullptr))
        model->flushPendingEdits();
}

// Text that could not be saved when the app last ended waits in recovery files; the
// user hears about them once, in the log and in the editor.
QStringList announceRecoveredText()
{
    const QStringList recovered = RecoveryStore(RecoveryStore::defaultFolder()).takeUnannounced();
    for (const QString& path : recovered)
        log("🛟 지난번에 저장하지 못한 내용이 복구 파일에 있습니다:", path);
    return recovered;
}
}  // namespace

int main(int argc, char** argv)
{
    traceStartup("main");
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine cl = parseCommandLine(args);
    switch (cl.action) {
    case CommandLine::Action::version: std::printf("%s\n", qPrintable(versionText())); return 0;
    case CommandLine::Action::help: std::printf("%s", qPrintable(helpText())); return 0;
    case CommandLine::Action::error: std::fprintf(stderr, "%s\n", qPrintable(cl.error)); return 2;
    // For when the app will not start: no display, no application object, and not the
    // running instance's lock.
    case CommandLine::Action::history:
        return history::runHistoryCommand(cl.historyNote, cl.historyVersion, stdout, stderr);
    default: break;
    }
    // The text to add is checked, as the bytes it came as, before anything else happens.
    AppendInput append;
    if (cl.action == CommandLine::Action::append) {
        append = cl.appendArgument == u"-"
            ? AppendInput::fromStream(stdin)
            : AppendInput::fromBytes(QByteArray(argv[cl.appendIndex]).mid(cl.appendOffset));
        if (append.status == AppendInput::Status::empty)
            return 0;
        if (append.status != AppendInput::Status::text) {
            std::fprintf(stderr, "%s\n", qPrintable(append.message));
            return 1;
        }
    }

    // One note is open at a time: of several files (a file manager passes every chosen
    // one), the first is opened.
    for (const QString& extra : cl.extraFiles)
        std::fprintf(stderr, "flintly: one note opens at a time; not opening %s\n", qPrintable(extra));

    // Windows are X11 ones, under Wayland through XWayland (the hotkey goes through the
    // desktop portal there).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    // Before the application object exists: constructing it may already reach the session
    // bus (accessibility, the platform theme), and the portals know an app by this name.
    QGuiApplication::setDesktopFileName(QString::fromUtf16(AppInfo::appId));

    // A later launch hands its request over without ever talking to the display.
    SingleInstance instance;
    const InstanceRequest request = launchRequest(cl, append.text);
    const bool first = instance.tryLock();
    if (!first || request.kind == InstanceRequest::Kind::append) {
        QCoreApplication launch(argc, argv);
        return handOverLaunch(instance, request, first);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Flintly"));
    QApplication::setApplicationVersion(runningVersion());
    QApplication::setWindowIcon(appIcon());
    QApplication::setQuitOnLastWindowClosed(false);
    traceStartup("application");

    SettingsStore& settings = SettingsStore::standard();
    QtFileChooser chooser;
    QtAlertPresenter alerts;
    DesktopUrlOpener opener;
    history::HistoryStore::Options historyOptions;
    if (const qint64 megabytes = settings.get(settingskeys::historyCapMegabytes); megabytes > 0)
        historyOptions.capBytes = megabytes * 1024 * 1024;
    // Declared before the model's users: it outlives every save that reports to it, and
    // its destructor writes what is still queued.
    history::NoteHistory noteHistory(historyOptions);
    MarkdownModel::Dependencies modelDeps(&settings, &chooser);
    modelDeps.versions = &noteHistory;
    MarkdownModel::configureShared(std::move(modelDeps));
    MarkdownModel& model = MarkdownModel::shared();
    model.setEditorBridge(&WebViewBridge::shared());

    AppDelegate::Dependencies deps;
    deps.settings = &settings;
    deps.model = &model;
    deps.alerts = &alerts;
    deps.guidePath = AppPaths::resource(QStringLiteral("Guide.md"));
    deps.loadFonts = [] { loadBundledFonts(AppPaths::resource(QStringLiteral("fonts"))); };
    deps.startHidden = cl.hidden;
    deps.panelContent = [](SettingsStore& store, MarkdownModel* m, QWidget* parent) -> QWidget* {
        return new ThemedRootView(store, *m, parent);
    };
    // The embedded engine cannot see the desktop's scheme, so "auto" carries it along.
    deps.themeScript = [](qint64 stored) { return editorScript(appThemeForStored(stored), systemColorScheme()); };
    deps.startAnalytics = [&app](const QString& token, const QString& debugId) {
        // Without a token there is no project to report to: no client, nothing stored.
        if (token.isEmpty())
            return;
        analytics::InstanceOptions options;
        analytics::DeviceInfo device = analytics::readDeviceInfo();
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            device.screenWidth = screen->size().width();
            device.screenHeight = screen->size().height();
        }
        device.appVersion = runningVersion().toStdString();
        device.appBuildNumber = AppInfo::buildVersion().toStdString();
        options.device = device;
        analytics::AnalyticsUsageTracker& tracker = analytics::startAppAnalytics(debugId.toStdString(), options);
        // Uploads are flushed when the app goes to the background and timed while active.
        QObject::connect(&app, &QGuiApplication::applicationStateChanged, &app, [&tracker](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                tracker.applicationDidBecomeActive();
            else if (state == Qt::ApplicationInactive)
                tracker.applicationWillResignActive();
        });
    };
    deps.bindShowNote = [](QObject* context, std::function<void(const UserActivation&)> toggle) {
        auto& shortcuts = shortcuts::GlobalShortcuts::shared();
        shortcuts.bindKeyUp(QStringLiteral("showNote"),
                            shortcuts::Shortcut(shortcuts::Key::j, shortcuts::ModifierFlag::command), context,
                            [&shortcuts, toggle = std::move(toggle)] { toggle(shortcuts.activation()); });
    };
    deps.makeUpdater = [&alerts, &opener] {
        auto updater = std::make_unique<Updater>(AppInfo::feedUrl(), runningVersion());
        connectUpdatePrompts(*updater, alerts, opener);
        WebViewBridge::shared().setUpdateController(updater.get());
        return updater;
    };
    QuitGuard quitGuard([&model] {
        // The page may hold typing it has not reported yet: a large note's report takes
        // a while. Its text is taken first, within a bound, so quitting never waits long.
        WebViewBridge::shared().pullLatestText(kQuitPullTimeoutMs);
        model.flushPendingEdits();
        model.endFocusSession();
    });
    // When the X server goes away, Qt ends the process with exit(1) from inside its event
    // handling; the note is written on the way out.
    g_modelAtExit = &model;
    std::atexit(flushAtExit);
    deps.quitRequested = [&quitGuard] { return quitGuard.quitRequested(); };
    MainCommands* commands = nullptr;  // made right after the delegate, before the launch
    deps.adoptWindow = [&commands](QWidget* window) { commands->adopt(window); };
    AppDelegate delegate(std::move(deps));

    MainCommands::Dependencies commandDeps;
    commandDeps.delegate = &delegate;
    commandDeps.model = &model;
    commandDeps.fileChooser = &chooser;
    commandDeps.urlOpener = &opener;
    commandDeps.addRecent = [](const QUrl& url, const QByteArray& bookmark) {
        RecentFileManager::shared().addRecent(url, bookmark);
    };
    commandDeps.makeSettingsWindow = [&settings, &model, &opener]() -> QWidget* {
        CombinedPrefs::Dependencies prefs;
        prefs.settings = &settings;
        prefs.model = &model;
        prefs.urlOpener = &opener;
        return new CombinedPrefs(prefs);
    };
    commandDeps.makeHistoryWindow = [&noteHistory, &model]() -> QWidget* {
        HistoryWindow::Dependencies history;
        history.history = &noteHistory;
        history.model = &model;
        return new HistoryWindow(history);
    };
    MainCommands mainCommands(std::move(commandDeps));
    commands = &mainCommands;
    // The recorder refuses combinations the commands use.
    shortcuts::GlobalShortcuts::shared().setMainMenu(mainCommands.trayMenu());

    const QStringList recovered = announceRecoveredText();
    QObject::connect(
        &WebViewBridge::shared(), &WebViewBridge::webViewCreated, &delegate,
        [&delegate, recovered](QWebEngineView* view) {
            QPointer<QWebEngineView> weak(view);
            if (!recovered.isEmpty()) {
                const QString notice = QStringLiteral("Text Flintly could not save last time is in %1")
                                           .arg(QFileInfo(recovered.last()).absolutePath());
                auto once = std::make_shared<QMetaObject::Connection>();
                *once = QObject::connect(view, &QWebEngineView::loadFinished, view, [weak, notice, once](bool ok) {
                    QObject::disconnect(*once);
                    if (ok && weak)
                        weak->page()->runJavaScript(ScriptText::showNotice(notice));
                });
            }
            // What does not feed the first paint waits for the page (see the delegate).
            QObject::connect(view, &QWebEngineView::loadFinished, &delegate, [&delegate] { delegate.editorLoaded(); });
            // For the start-up benchmark: when the editor page is ready, on standard error.
            if (qEnvironmentVariableIsSet("FLINTLY_TRACE_STARTUP"))
                QObject::connect(view, &QWebEngineView::loadFinished, view, [](bool ok) {
                    std::fprintf(stderr, "flintly-trace editor-loaded %lld %d\n",
                                 static_cast<long long>(QDateTime::currentMSecsSinceEpoch()), ok ? 1 : 0);
                });
            delegate.registerWebView(view, [weak](const QString& script, std::function<void(const QString&)> done) {
                if (!weak) {
                    done(QStringLiteral("the editor is gone"));
                    return;
                }
                evaluateScript(weak->page(), script, [done](const ScriptOutcome& outcome) { done(outcome.error); });
            });
        });
    auto openNote = [&delegate](const QString& path, const QString& token) {
        return delegate.openFile(path, {0, token});
    };
    LaunchRequests launches({&delegate, &model, openNote});
    instance.listen([&launches](const InstanceRequest& r, SingleInstance::Answer answer) {
        launches.handle(r, std::move(answer));
    });

    // No part of the first paint: asking the desktop for a tray (a D-Bus round trip) and
    // making the icon wait until the editor is on screen. From then on it shows itself
    // whenever a tray is there, now or later.
    std::unique_ptr<TrayIcon> tray;
    delegate.afterFirstPaint([&tray, &delegate, &mainCommands] {
        tray = std::make_unique<TrayIcon>([&delegate] { delegate.togglePanel(); }, mainCommands.trayMenu());
    });

    // From inside the running loop: the what's-new alert is modal, and a quit before
    // exec() has started would be dropped, leaving the process running.
    QTimer::singleShot(0, &delegate, [&delegate, &model, &cl, openNote] {
        traceStartup("launching");
        delegate.applicationDidFinishLaunching();
        traceStartup("launched");
        if (cl.file.isEmpty())
            return;
        if (cl.hidden) {
            model.open(QUrl::fromLocalFile(cl.file));
            return;
        }
        // The app runs on with the note it had; the notice in the panel says the same.
        if (const QString why = openNote(cl.file, {}); !why.isEmpty())
            std::fprintf(stderr, "flintly: cannot open %s: %s\n", qPrintable(cl.file), qPrintable(why));
    });
    const int code = app.exec();
    g_modelAtExit = nullptr;
    WebViewBridge::shared().setUpdateController(nullptr);
    // Before anything the analytics client logs to goes away: the focus-session event
    // of the quit is stored and an upload still running is abandoned.
    analytics::shutdownAppAnalytics();
    return code;
}

// The menu commands as people reach them: real key presses (XTEST) into real windows
// under X, the toolbar's context menu, and the global hotkey while a menu is open.
#include "shortcuts/XTestDriver.h"

#include "app/AppDelegate.h"
#include "app/CombinedPrefs.h"
#include "app/MainCommands.h"
#include "app/OnboardingController.h"
#include "app/OnboardingWindow.h"
#include "app/QuitGuard.h"
#include "document/MarkdownModel.h"
#include "notepanel/FloatingPanelWindow.h"
#include "platform/Bookmark.h"
#include "platform/SettingsStore.h"
#include "quickopen/QuickOpenView.h"
#include "quickopen/SearchPanelController.h"
#include "quickopen/SearchPanelWindow.h"
#include "shortcuts/GlobalShortcuts.h"
#include "support/FakeDialogs.h"
#include "support/LogCapture.h"
#include "support/TestEnvironment.h"
#include "templatepanel/TemplatePanelController.h"
#include "templatepanel/TemplatePanelWindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace flintly;
using namespace flintly::test;
using shortcuts::Key;
namespace ModifierFlag = shortcuts::ModifierFlag;
using shortcuts::Shortcut;

namespace {

const Shortcut kCtrlN(Key::n, ModifierFlag::command);
const Shortcut kCtrlO(Key::o, ModifierFlag::command);
const Shortcut kCtrlShiftO(Key::o, ModifierFlag::command | ModifierFlag::shift);
const Shortcut kCtrlS(Key::s, ModifierFlag::command);
const Shortcut kCtrlP(Key::p, ModifierFlag::command);
const Shortcut kCtrlT(Key::t, ModifierFlag::command);
const Shortcut kCtrlComma(Key::comma, ModifierFlag::command);
const Shortcut kCtrlQ(Key::q, ModifierFlag::command);
// The note hotkey of these tests: no other test program grabs it, and without Alt it
// does not close an open menu.
const Shortcut kHotkey(Key::y, ModifierFlag::command | ModifierFlag::shift);

class Commands : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != u"xcb" || !xtest.isConnected())
            GTEST_SKIP() << "needs an X server";
        settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf")));
        notes = home.filePath(QStringLiteral("Notes"));
        QDir().mkpath(notes);
    }
    void TearDown() override
    {
        if (auto& search = SearchPanelController::shared(); search.isShown())
            search.toggle(nullptr);
        commands.reset();
        delegate.reset();
        model.reset();
        shortcuts.reset();
        spin(20);
    }

    void configured(const QString& lastSeen = QStringLiteral("0.1.0"))
    {
        settings->setValue(QStringLiteral("flintlyHasOnboarded"), true);
        settings->setValue(QStringLiteral("didInsertQuickGuide"), true);
        settings->setFileUrl(QStringLiteral("flintlySaveFolder"), QUrl::fromLocalFile(notes));
        settings->setValue(QStringLiteral("flintlyLastSeenVersion"), lastSeen);
    }

    void launch()
    {
        model = std::make_unique<MarkdownModel>(MarkdownModel::Dependencies(settings.get(), &chooser));
        shortcuts = std::make_unique<shortcuts::GlobalShortcuts>(*settings);
        AppDelegate::Dependencies deps;
        deps.settings = settings.get();
        deps.model = model.get();
        deps.alerts = &alerts;
        deps.bindShowNote = [this](QObject* context, std::function<void(const UserActivation&)> toggle) {
            shortcuts->bindKeyUp(QStringLiteral("showNote"), kHotkey, context, [toggle] { toggle({}); });
        };
        deps.guidePath = home.filePath(QStringLiteral("no-guide.md"));
        deps.adoptWindow = [this](QWidget* window) { commands->adopt(window); };
        deps.quit = [this] { ++quits; };
        delegate = std::make_unique<AppDelegate>(std::move(deps));

        MainCommands::Dependencies c;
        c.delegate = delegate.get();
        c.model = model.get();
        c.fileChooser = &chooser;
        c.urlOpener = &opener;
        c.addRecent = [this](const QUrl& url, const QByteArray& bookmark) { recents.append({url, bookmark}); };
        c.makeSettingsWindow = [this]() -> QWidget* {
            return new CombinedPrefs({settings.get(), model.get(), {shortcuts.get(), &alerts, &opener}, &opener});
        };
        c.quit = [this] { ++quits; };
        c.fallbackNotesFolder = home.filePath(QStringLiteral("Documents/Flintly"));
        commands = std::make_unique<MainCommands>(std::move(c));
        delegate->applicationDidFinishLaunching();
    }

    // Gives `window` the keyboard, then presses the keys there.
    void press(QWidget* window, const Shortcut& keys)
    {
        window->activateWindow();
        ASSERT_TRUE(waitUntil([&] { return window->isActiveWindow(); })) << "the window never got the keyboard";
        xtest.tap(keys);
        spin(150);
    }

    static QList<QWidget*> windowsTitled(const QString& title)
    {
        QList<QWidget*> found;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == title)
                found.append(w);
        return found;
    }

    // Quick open as the user sees it: the search panel on screen with the note list in
    // it, over `anchor`'s window.
    static bool quickOpenShows(QWidget* anchor)
    {
        auto& search = SearchPanelController::shared();
        const QWidget* list = search.view();
        return search.isShown() && search.window() && search.window()->isVisible() && list && list->isVisible()
            && search.anchor() && search.anchor()->window() == anchor->window();
    }

    static QStringList titles(QMenu* menu)
    {
        QStringList list;
        for (QAction* a : menu->actions())
            list << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return list;
    }

    QTemporaryDir home;
    QString notes;
    XTestDriver xtest;
    std::unique_ptr<SettingsStore> settings;
    FakeFileChooser chooser;
    ScriptedAlertPresenter alerts;
    RecordingUrlOpener opener;
    std::unique_ptr<MarkdownModel> model;
    std::unique_ptr<shortcuts::GlobalShortcuts> shortcuts;
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<MainCommands> commands;
    QList<std::pair<QUrl, QByteArray>> recents;
    int quits = 0;
};

TEST_F(Commands, DuringOnboardingTheNoteCommandsRestAndTheOthersWork)
{
    launch();
    ASSERT_FALSE(delegate->panel());
    OnboardingWindow* onboarding = delegate->onboarding()->window();
    ASSERT_TRUE(onboarding && QTest::qWaitForWindowExposed(onboarding));
    model->setText(QStringLiteral("typed before the folder"));

    press(onboarding, kCtrlN);
    EXPECT_EQ(model->text(), QStringLiteral("typed before the folder"));
    EXPECT_FALSE(commands->action(QStringLiteral("New Note"))->isEnabled());

    press(onboarding, kCtrlShiftO);
    const QString fallback = home.filePath(QStringLiteral("Documents/Flintly"));
    EXPECT_EQ(opener.opened, QList<QUrl>{QUrl::fromLocalFile(fallback)});
    EXPECT_TRUE(QFileInfo(fallback).isDir()) << "created before it is opened";

    auto& search = SearchPanelController::shared();
    press(onboarding, kCtrlP);
    EXPECT_TRUE(waitUntil([&] { return quickOpenShows(onboarding); }))
        << "toggled against the window with the keyboard";
    press(search.window(), kCtrlP);
    EXPECT_FALSE(search.isShown());
    EXPECT_TRUE(waitUntil([&] { return !search.window()->isVisible(); }));

    // Ctrl+, opens the one settings window; from there a second Ctrl+, makes no other.
    press(onboarding, kCtrlComma);
    QWidget* prefs = commands->settingsWindow();
    ASSERT_TRUE(prefs && QTest::qWaitForWindowExposed(prefs));
    press(prefs, kCtrlComma);
    EXPECT_EQ(windowsTitled(QStringLiteral("Flintly Settings")), QList<QWidget*>{prefs});
    xtest.closeWindow(static_cast<quint32>(prefs->winId()));
    ASSERT_TRUE(waitUntil([&] { return !prefs->isVisible(); }));
    EXPECT_EQ(quits, 0) << "closing the settings window ends nothing";

    // Closing onboarding by hand would leave nothing to bring it back: the app quits.
    xtest.closeWindow(static_cast<quint32>(onboarding->winId()));
    EXPECT_TRUE(waitUntil([&] { return quits == 1; }));
}

TEST_F(Commands, FinishingOnboardingClosesItsWindowWithoutQuitting)
{
    launch();
    OnboardingWindow* onboarding = delegate->onboarding()->window();
    ASSERT_TRUE(onboarding);
    // A file opened from elsewhere meanwhile waits for the note window; one that cannot
    // be a note is refused at once.
    const QString outside = home.filePath(QStringLiteral("todo.md"));
    QFile file(outside);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("# todo\n");
    file.close();
    EXPECT_EQ(delegate->openFile(home.filePath(QStringLiteral("missing.md"))), QStringLiteral("there is no such file"));
    EXPECT_EQ(delegate->openFile(outside), QString());
    chooser.answers.push_back(notes);
    delegate->onboarding()->pickFolder();
    ASSERT_TRUE(waitUntil([&] { return !delegate->onboarding()->window(); }));
    EXPECT_EQ(quits, 0);
    EXPECT_TRUE(delegate->panel());
    EXPECT_EQ(model->filePath(), outside);
    EXPECT_TRUE(commands->action(QStringLiteral("New Note"))->isEnabled()) << "the panel made the note commands live";
}

TEST_F(Commands, WithThePanelEveryKeyRunsItsCommandFromAnyFlintlyWindow)
{
    configured();
    launch();
    ASSERT_TRUE(delegate->panel());
    QWidget* panel = delegate->panel()->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));

    const QString other = QDir(notes).filePath(QStringLiteral("Other.md"));
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("# Other\nbody\n");
    f.close();
    chooser.answers.push_back(other);
    press(panel, kCtrlO);
    EXPECT_EQ(model->filePath(), other);
    ASSERT_EQ(recents.size(), 1);
    EXPECT_EQ(recents[0].first, QUrl::fromLocalFile(other));
    EXPECT_EQ(Bookmark::resolve(recents[0].second)->path, other);

    press(panel, kCtrlN);
    EXPECT_TRUE(model->filePath().isEmpty());
    EXPECT_TRUE(model->isScratch());

    press(panel, kCtrlShiftO);
    EXPECT_EQ(opener.opened.value(0), QUrl::fromLocalFile(notes));

    // The panels come and, from inside them, go again by their keys.
    auto& search = SearchPanelController::shared();
    press(panel, kCtrlP);
    EXPECT_TRUE(waitUntil([&] { return quickOpenShows(panel); })) << "quick open on the note panel";
    press(search.window(), kCtrlP);
    EXPECT_TRUE(waitUntil([&] { return !search.window()->isVisible(); }));
    auto& templates = TemplatePanelController::shared();
    press(panel, kCtrlT);
    EXPECT_TRUE(waitUntil([&] { return templates.isShown() && templates.window()->isVisible(); }))
        << "the template panel on the note panel";
    press(templates.window(), kCtrlT);
    EXPECT_TRUE(waitUntil([&] { return !templates.window()->isVisible(); }));
    press(panel, kCtrlComma);
    ASSERT_TRUE(commands->settingsWindow());
    EXPECT_TRUE(waitUntil([&] { return commands->settingsWindow()->isVisible(); }));
    commands->settingsWindow()->hide();

    {
        // A folder that cannot be made (a file stands in its way): the failure is logged.
        QFile blocker(home.filePath(QStringLiteral("blocker")));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        model->setSaveFolder(QUrl::fromLocalFile(home.filePath(QStringLiteral("blocker/Notes"))));
        model->setText(QStringLiteral("# Unsaved\n"));
        LogCapture logs;
        press(panel, kCtrlS);
        EXPECT_TRUE(logs.containsPrefix(QStringLiteral("❌ Failed to save markdown file:")));
    }

    // The settings window carries the keys too, with the panel hidden.
    delegate->togglePanel();
    ASSERT_FALSE(panel->isVisible());
    commands->showSettings();
    press(commands->settingsWindow(), kCtrlN);
    EXPECT_TRUE(waitUntil([&] { return panel->isVisible(); })) << "a new note is shown to type into";
    EXPECT_TRUE(model->text().isEmpty());

    press(panel, kCtrlQ);
    EXPECT_EQ(quits, 1);
}

TEST_F(Commands, TheMenusOfferTheTableAndTheHotkeyWorksWhileOneIsOpen)
{
    configured();
    launch();
    FloatingPanelWindow* panel = delegate->panel()->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));

    const QPoint onToolbar = panel->toolbar()->mapToGlobal(QPoint(8, FloatingPanelWindow::kToolbarHeight / 2));
    xtest.moveTo(onToolbar.x(), onToolbar.y());
    xtest.click(3);
    QMenu* context = commands->contextMenu();
    ASSERT_TRUE(waitUntil([&] { return context->isVisible(); })) << "right click on the toolbar";
    EXPECT_EQ(
        titles(context),
        (QStringList{"New Note", "-", "Show Notes Folder", "Open…", "-", "Save…", "-", "Quick Open…",
                     "Insert Template…", "History…", "-", "Settings…", "Check for Updates…", "-", "Quit Flintly"}));
    EXPECT_EQ(titles(commands->trayMenu()).first(), QStringLiteral("Show/Hide Note"));
    EXPECT_EQ(commands->action(QStringLiteral("Show Notes Folder"))->shortcut().toString(QKeySequence::NativeText),
              QStringLiteral("Ctrl+Shift+O"));
    EXPECT_FALSE(commands->action(QStringLiteral("Check for Updates…"))->isEnabled()) << "no feed configured";

    ASSERT_TRUE(waitUntil([&] { return shortcuts->registry().isMenuOpen(); }));
    spin(200);  // the menu's keyboard grab
    xtest.tap(kHotkey);
    EXPECT_TRUE(waitUntil([&] { return !panel->isVisible(); })) << "the hotkey toggles the panel under the open menu";
    context->hide();

    QMenu* tray = commands->trayMenu();
    tray->popup(QPoint(300, 300));
    ASSERT_TRUE(waitUntil([&] { return tray->isVisible() && shortcuts->registry().isMenuOpen(); }));
    spin(200);
    xtest.tap(kHotkey);
    EXPECT_TRUE(waitUntil([&] { return panel->isVisible(); })) << "and under the tray's menu";
    tray->hide();
}

TEST_F(Commands, TheTrayMenuWorksWhenNoFlintlyWindowHasTheKeyboard)
{
    configured();
    launch();
    FloatingPanelWindow* panel = delegate->panel()->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    delegate->togglePanel();
    ASSERT_TRUE(waitUntil([&] { return !QApplication::activeWindow(); })) << "another program has the keyboard";

    // Quick Open from the tray: the note comes forward with quick open over it.
    auto& search = SearchPanelController::shared();
    commands->action(QStringLiteral("Quick Open…"))->trigger();
    EXPECT_TRUE(waitUntil([&] { return panel->isVisible() && search.isShown(); }));
    EXPECT_EQ(search.anchor(), panel);
    ASSERT_TRUE(waitUntil([&] { return search.window()->isVisible(); }));
    search.toggle(nullptr);
    ASSERT_TRUE(waitUntil([&] { return !search.window()->isVisible(); }));

    // New Note and Show/Hide Note from the tray, the note hidden again.
    delegate->togglePanel();
    ASSERT_TRUE(waitUntil([&] { return !panel->isVisible() && !QApplication::activeWindow(); }));
    model->setText(QStringLiteral("# Before\n"));
    commands->action(QStringLiteral("New Note"))->trigger();
    EXPECT_TRUE(model->text().isEmpty());
    EXPECT_TRUE(waitUntil([&] { return panel->isVisible(); })) << "a new note is shown to type into";
    commands->action(QStringLiteral("Show/Hide Note"))->trigger();
    EXPECT_TRUE(waitUntil([&] { return !panel->isVisible(); }));
    commands->action(QStringLiteral("Show/Hide Note"))->trigger();
    EXPECT_TRUE(waitUntil([&] { return panel->isVisible(); }));
}

// A window that will not close when asked, as the template panel does while it fades.
class RefusesToClose : public QWidget {
protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

TEST_F(Commands, QuitEndsTheAppWhateverWindowsAreOpen)
{
    configured();
    launch();
    int beforeQuit = 0;
    QuitGuard guard([&] { ++beforeQuit; });
    commands->showSettings();
    RefusesToClose stubborn;
    stubborn.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&stubborn));

    QTimer refused;  // ends the loop should the quit be dropped
    refused.setSingleShot(true);
    QObject::connect(&refused, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    refused.start(5000);
    QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
    EXPECT_EQ(QCoreApplication::exec(), 0) << "the quit was refused";
    refused.stop();
    EXPECT_EQ(beforeQuit, 1) << "pending typing is written on the way out";
}

}  // namespace

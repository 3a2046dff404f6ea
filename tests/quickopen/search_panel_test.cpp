#include "app/AppDelegate.h"
#include "app/MainCommands.h"
#include "browser/BrowserTestSupport.h"
#include "browser/NoteListModel.h"
#include "browser/QuickOpenModel.h"
#include "browser/Workspace.h"
#include "document/MarkdownModel.h"
#include "notepanel/FloatingPanelWindow.h"
#include "platform/SettingsStore.h"
#include "quickopen/FolderChipRow.h"
#include "quickopen/QuickOpenView.h"
#include "quickopen/SearchPanelController.h"
#include "quickopen/SearchPanelWindow.h"
#include "quickopen/SortChip.h"
#include "shortcuts/Key.h"
#include "shortcuts/Modifiers.h"
#include "shortcuts/Shortcut.h"
#include "shortcuts/XTestDriver.h"
#include "support/FakeDialogs.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <xcb/xcb.h>

using namespace flintly;
using namespace flintly::test;
using shortcuts::Key;
using shortcuts::Shortcut;
namespace Mod = shortcuts::ModifierFlag;

namespace {

// Stands in for the editor: takes the keyboard and remembers the keys it was given.
class KeyRecorder : public QWidget {
public:
    explicit KeyRecorder(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::StrongFocus); }
    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys.append(event->key() | int(event->modifiers())); }
};

// Counts the key presses reaching an object, after the application's filters.
class KeySpy : public QObject {
public:
    QList<int> keys;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* k = static_cast<QKeyEvent*>(event);
            keys.append(k->key() | int(k->modifiers() & ~Qt::KeypadModifier));
        }
        return false;
    }
};

// X keycodes of the letters on the evdev layout Xvfb starts with.
quint8 letterKeycode(QChar c)
{
    static const QString rows[] = {QStringLiteral("qwertyuiop"), QStringLiteral("asdfghjkl"),
                                   QStringLiteral("zxcvbnm")};
    static const quint8 starts[] = {24, 38, 52};
    for (int r = 0; r < 3; ++r)
        if (const auto at = rows[r].indexOf(c); at >= 0)
            return static_cast<quint8>(starts[r] + at);
    return 0;
}

}  // namespace

class SearchPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != u"xcb" || !keys.isConnected())
            GTEST_SKIP() << "needs an X server";
        settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf")));
        notes = home.filePath(QStringLiteral("Notes"));
        for (const char* name : {"alpha", "beta", "gamma"})
            writeNote(notes + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".md"));
        settings->setValue(QStringLiteral("flintlyHasOnboarded"), true);
        settings->setFileUrl(QStringLiteral("flintlySaveFolder"), QUrl::fromLocalFile(notes));
        settings->setValue(QStringLiteral("flintlyLastSeenVersion"),
                           QCoreApplication::applicationVersion().isEmpty() ? QStringLiteral("0.1.0")
                                                                            : QCoreApplication::applicationVersion());
        settings->setValue(QStringLiteral("quickOpen.sortMode"), QStringLiteral("nameAZ"));
    }

    void TearDown() override
    {
        auto& search = SearchPanelController::shared();
        if (search.isShown())
            search.toggle(nullptr);
        commands.reset();
        delegate.reset();
        model.reset();
    }

    // With `slowFades`, fades never end by themselves, as if the machine were busy.
    void launch(bool slowFades = false)
    {
        SearchPanelController::Options options;
        options.fade = [slowFades](QWidget* window, qreal to, int, std::function<void()> done) {
            window->setWindowOpacity(to);
            if (!slowFades)
                done();
        };
        options.makeQueryTimer = [this] {
            auto t = std::make_unique<ManualQueryTimer>();
            queryTimer = t.get();
            return t;
        };
        options.chooser = &chooser;
        SearchPanelController::shared().setOptions(std::move(options));

        model = std::make_unique<MarkdownModel>(MarkdownModel::Dependencies(settings.get(), &chooser));
        AppDelegate::Dependencies deps;
        deps.settings = settings.get();
        deps.model = model.get();
        deps.alerts = &alerts;
        deps.guidePath = home.filePath(QStringLiteral("no-guide.md"));
        deps.panelContent = [this](SettingsStore&, MarkdownModel*, QWidget* parent) -> QWidget* {
            editor = new KeyRecorder(parent);
            return editor;
        };
        // Ctrl+P is the "Quick Open…" command of the app's command table.
        deps.adoptWindow = [this](QWidget* window) { commands->adopt(window); };
        delegate = std::make_unique<AppDelegate>(std::move(deps));
        MainCommands::Dependencies table;
        table.delegate = delegate.get();
        table.model = model.get();
        commands = std::make_unique<MainCommands>(std::move(table));
        delegate->applicationDidFinishLaunching();
        ASSERT_TRUE(delegate->panel());
        notePanel = delegate->panel()->window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(notePanel));
        focusEditor();
    }

    void focusEditor()
    {
        notePanel->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(notePanel));
        editor->setFocus();
        ASSERT_TRUE(waitUntil([&] { return editor->hasFocus(); }));
    }

    SearchPanelController& search() { return SearchPanelController::shared(); }
    SearchPanelWindow* window() { return search().window(); }
    QuickOpenView* view() { return search().view(); }

    void press(const Shortcut& shortcut)
    {
        keys.tap(shortcut);
        spin(30);
    }

    void typeText(const QString& text)
    {
        for (const QChar c : text)
            keys.tapKeycode(letterKeycode(c));
        ASSERT_TRUE(waitUntil([&] { return view()->searchField()->text() == text; }))
            << view()->searchField()->text().toStdString();
    }

    void openSearch()
    {
        press(Shortcut(Key::p, Mod::command));
        ASSERT_TRUE(waitUntil([&] { return window()->isVisible() && window()->isActiveWindow(); }));
        ASSERT_TRUE(waitUntil([&] { return view()->searchField()->hasFocus(); }));
    }

    XTestDriver keys;
    QTemporaryDir home;
    QString notes;
    std::unique_ptr<SettingsStore> settings;
    FakeFileChooser chooser;
    ScriptedAlertPresenter alerts;
    std::unique_ptr<MarkdownModel> model;
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<MainCommands> commands;
    FloatingPanelWindow* notePanel = nullptr;
    KeyRecorder* editor = nullptr;
    ManualQueryTimer* queryTimer = nullptr;
};

TEST_F(SearchPanel, CtrlPTypingDownAndReturnOpenTheNoteWithoutTheMouse)
{
    launch();
    openSearch();
    EXPECT_EQ(window()->windowTitle(), QStringLiteral("Quick Open"));
    EXPECT_TRUE(search().isShown());
    const QRect body = window()->bodyGeometry();
    const QRect anchor = notePanel->frameGeometry();
    EXPECT_EQ(body.size(), QSize(360, 360));
    EXPECT_NEAR(body.center().x(), anchor.center().x(), 1);
    EXPECT_EQ(body.top(), anchor.top() + 40);
    EXPECT_EQ(window()->windowHandle()->transientParent(), notePanel->windowHandle());
    EXPECT_EQ(search().monitorCount(), 2);

    // The notes folder is listed at once, though nothing was ever pinned.
    QuickOpenModel* browser = search().browser();
    ASSERT_TRUE(waitUntil([&] { return !browser->isScanning(); }));
    EXPECT_EQ(names(browser->filteredFiles()), (QStringList{"alpha", "beta", "gamma"}));

    typeText(QStringLiteral("bet"));
    ASSERT_TRUE(queryTimer && queryTimer->pending);
    std::exchange(queryTimer->pending, nullptr)();
    EXPECT_EQ(view()->list()->model()->rowCount(), 2) << "beta, then the row that creates “bet”";

    press(Shortcut(Key::downArrow));
    ASSERT_TRUE(waitUntil([&] { return view()->list()->hasFocus(); }));
    ASSERT_TRUE(browser->selection());
    EXPECT_EQ(browser->selection()->name, QStringLiteral("beta"));
    press(Shortcut(Key::returnKey));
    ASSERT_TRUE(waitUntil([&] { return model->filePath() == notes + QStringLiteral("/beta.md"); }));
    EXPECT_EQ(model->currentFileName(), QStringLiteral("beta.md"));
    EXPECT_TRUE(waitUntil([&] { return !window()->isVisible(); }));
    EXPECT_FALSE(search().isShown());
    EXPECT_EQ(search().monitorCount(), 0);

    // The keyboard is back in the note.
    ASSERT_TRUE(waitUntil([&] { return notePanel->isActiveWindow() && editor->hasFocus(); }));
    keys.tapKeycode(letterKeycode(u'w'));
    EXPECT_TRUE(waitUntil([&] { return editor->keys.contains(Qt::Key_W); }));
}

// Reopened, the last query is selected, so typing replaces it ("zzz" then "al" must
// search "al", not "zzzal"); Shift+Return makes the note the query names.
TEST_F(SearchPanel, ReopenedTheQueryIsSelectedAndShiftReturnCreatesTheNote)
{
    launch();
    openSearch();
    typeText(QStringLiteral("zzz"));
    press(Shortcut(Key::escape));
    ASSERT_TRUE(waitUntil([&] { return !window()->isVisible(); }));
    focusEditor();
    openSearch();
    EXPECT_EQ(view()->searchField()->selectedText(), QStringLiteral("zzz"));
    typeText(QStringLiteral("delta"));
    std::exchange(queryTimer->pending, nullptr)();
    ASSERT_TRUE(waitUntil([&] { return !search().browser()->isSearchingText(); }));
    EXPECT_TRUE(search().browser()->hasCreateRow());
    EXPECT_EQ(view()->list()->model()->rowCount(), 1) << "only the create row";
    press(Shortcut(Key::returnKey, Mod::shift));
    ASSERT_TRUE(waitUntil([&] { return model->filePath() == notes + QStringLiteral("/delta.md"); }));
    EXPECT_TRUE(waitUntil([&] { return !window()->isVisible(); }));
}

TEST_F(SearchPanel, ReturnInTheFieldDoesNothingAndEscapeReachesNeitherListNorEditor)
{
    launch();
    openSearch();
    KeySpy fieldSpy, listSpy;
    view()->searchField()->installEventFilter(&fieldSpy);
    view()->list()->installEventFilter(&listSpy);

    press(Shortcut(Key::returnKey));
    EXPECT_TRUE(window()->isVisible());
    EXPECT_EQ(model->filePath(), QString());

    press(Shortcut(Key::downArrow));
    ASSERT_TRUE(waitUntil([&] { return view()->list()->hasFocus(); }));
    press(Shortcut(Key::escape));
    EXPECT_TRUE(waitUntil([&] { return !window()->isVisible(); }));
    EXPECT_FALSE(search().isShown());
    EXPECT_FALSE(listSpy.keys.contains(Qt::Key_Escape));
    EXPECT_FALSE(fieldSpy.keys.contains(Qt::Key_Escape));

    // Escape in the note panel while the search panel is up: hides it, the editor never sees it.
    search().toggle(notePanel);
    ASSERT_TRUE(waitUntil([&] { return window()->isVisible() && window()->isActiveWindow(); }));
    focusEditor();
    press(Shortcut(Key::escape));
    EXPECT_TRUE(waitUntil([&] { return !window()->isVisible(); }));
    EXPECT_FALSE(editor->keys.contains(Qt::Key_Escape));
    ASSERT_TRUE(waitUntil([&] { return notePanel->isActiveWindow() && editor->hasFocus(); }));
    press(Shortcut(Key::escape));
    EXPECT_TRUE(waitUntil([&] { return editor->keys.contains(Qt::Key_Escape); }))
        << "with the panel gone, Escape is the editor's again";
}

TEST_F(SearchPanel, CtrlDigitsOpenPinnedFoldersAndOtherCtrlKeysPassOn)
{
    QList<QUrl> folders;
    for (int i = 1; i <= 5; ++i) {
        const QString f = home.filePath(QStringLiteral("Pinned%1").arg(i));
        writeNote(f + QStringLiteral("/inside-%1.md").arg(i));
        folders.append(QUrl::fromLocalFile(f));
    }
    Workspace::savePinned(*settings, folders);
    launch();
    openSearch();
    Workspace* workspace = search().workspace();
    ASSERT_EQ(workspace->pinned().size(), 6);
    EXPECT_EQ(workspace->pinned().first(), QUrl::fromLocalFile(notes));
    KeySpy fieldSpy;
    view()->searchField()->installEventFilter(&fieldSpy);

    press(Shortcut(Key::five, Mod::command));
    ASSERT_TRUE(waitUntil([&] { return workspace->vaultURL() == workspace->pinned().at(4); }));
    ASSERT_TRUE(waitUntil([&] { return !search().browser()->isScanning(); }));
    EXPECT_EQ(names(search().browser()->filteredFiles()), QStringList{"inside-4"});
    EXPECT_TRUE(waitUntil([&] { return view()->list()->hasFocus(); })) << "the list takes the keyboard";

    view()->searchField()->setFocus();
    ASSERT_TRUE(waitUntil([&] { return view()->searchField()->hasFocus(); }));
    press(Shortcut(Key::zero, Mod::command));
    EXPECT_TRUE(waitUntil([&] { return fieldSpy.keys.contains(Qt::Key_0 | Qt::ControlModifier); }))
        << "Ctrl+0 is not swallowed";
    EXPECT_EQ(workspace->vaultURL(), workspace->pinned().at(4));
    press(Shortcut(Key::a, Mod::command));
    EXPECT_TRUE(waitUntil([&] { return fieldSpy.keys.contains(Qt::Key_A | Qt::ControlModifier); }));
    EXPECT_TRUE(window()->isVisible());
}

TEST_F(SearchPanel, ASecondCtrlPHidesAndShowingAgainWatchesTwoThingsOnly)
{
    launch();
    openSearch();
    press(Shortcut(Key::p, Mod::command));
    EXPECT_TRUE(waitUntil([&] { return !window()->isVisible(); }));
    EXPECT_FALSE(search().isShown());
    EXPECT_EQ(search().monitorCount(), 0);

    // Ctrl+P from the editor of the note panel, which now has the keyboard again.
    focusEditor();
    openSearch();
    EXPECT_EQ(search().monitorCount(), 2);
    EXPECT_FALSE(editor->keys.contains(Qt::Key_P | Qt::ControlModifier));
}

// Quitting asks every window to close and is cancelled by any left on screen, in
// whatever order it meets them: the note panel only hides itself (refusing the close),
// so the search panel must accept its own close and go at once with the note panel.
TEST_F(SearchPanel, TheSearchPanelNeverHoldsUpQuitting)
{
    launch(true);
    openSearch();
    notePanel->close();
    EXPECT_FALSE(window()->isVisible()) << "gone with the note panel, without waiting for a fade";
    EXPECT_FALSE(search().isShown());
    EXPECT_EQ(search().monitorCount(), 0);

    delegate->showPanel();
    focusEditor();
    openSearch();
    EXPECT_TRUE(window()->close());
    EXPECT_FALSE(search().isShown());
    EXPECT_EQ(search().monitorCount(), 0);
}

TEST_F(SearchPanel, AnotherApplicationTakingTheKeyboardHidesIt)
{
    launch();
    openSearch();
    // Another X client maps a window and takes the input focus, as a click on another
    // application does.
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(other)).data;
    const xcb_window_t w = xcb_generate_id(other);
    xcb_create_window(other, XCB_COPY_FROM_PARENT, w, screen->root, 0, 0, 100, 100, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, 0, nullptr);
    xcb_map_window(other, w);
    xcb_flush(other);
    spin(50);
    xcb_set_input_focus(other, XCB_INPUT_FOCUS_POINTER_ROOT, w, XCB_CURRENT_TIME);
    xcb_flush(other);
    EXPECT_TRUE(waitUntil([&] { return !window()->isVisible(); }, 3000));
    EXPECT_FALSE(search().isShown());
    xcb_destroy_window(other, w);
    xcb_disconnect(other);
}

// The controller on its own, with fades the test completes.
class SearchPanelFades : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != u"xcb")
            GTEST_SKIP() << "needs an X server";
        settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf")));
        model = std::make_unique<MarkdownModel>(MarkdownModel::Dependencies(settings.get()));
        SearchPanelController::Options options;
        options.fade = [this](QWidget* w, qreal to, int ms, std::function<void()> done) {
            fades.append({to, ms});
            w->setWindowOpacity(to);
            pending = std::move(done);
        };
        options.chooser = &chooser;
        controller = std::make_unique<SearchPanelController>(std::move(options));
        controller->configure(model.get(), *settings);
        anchor.setGeometry(300, 200, 400, 550);
        anchor.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&anchor));
    }

    void finishFade() { std::exchange(pending, nullptr)(); }

    // The notes folder and two pinned folders A and B, shown; returns A and B.
    QList<QUrl> showWithFavorites(const QString& notes)
    {
        QList<QUrl> pinned;
        for (const QString& name : {QStringLiteral("A"), QStringLiteral("B")}) {
            writeNote(home.filePath(name + QStringLiteral("/n.md")));
            pinned.append(QUrl::fromLocalFile(home.filePath(name)));
        }
        QDir().mkpath(notes);
        model->setSaveFolder(QUrl::fromLocalFile(notes));
        Workspace::savePinned(*settings, pinned);
        controller->configure(model.get(), *settings);
        controller->toggle(&anchor);
        finishFade();
        return pinned;
    }

    QTemporaryDir home;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<MarkdownModel> model;
    FakeFileChooser chooser;
    QList<std::pair<qreal, int>> fades;
    std::function<void()> pending;
    std::unique_ptr<SearchPanelController> controller;
    QWidget anchor;  // goes first: its hiding still reaches the controller
};

TEST_F(SearchPanelFades, ShownIsIntentAndTheWindowGoesOnlyWhenTheFadeEnds)
{
    controller->toggle(nullptr);
    EXPECT_FALSE(controller->isShown()) << "no anchor, nothing to show";
    EXPECT_TRUE(fades.isEmpty());

    controller->toggle(&anchor);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller->window()));
    EXPECT_EQ(fades.last(), (std::pair<qreal, int>(1.0, 100)));
    finishFade();
    EXPECT_EQ(controller->monitorCount(), 2);

    // The anchor moves: the panel moves with it.
    anchor.move(500, 260);
    EXPECT_TRUE(
        waitUntil([&] { return controller->window()->bodyGeometry().top() == anchor.frameGeometry().top() + 40; }));
    EXPECT_EQ(controller->window()->bodyGeometry().center().x(), anchor.frameGeometry().center().x());

    controller->toggle(nullptr);
    EXPECT_FALSE(controller->isShown()) << "cleared before the fade has run";
    EXPECT_EQ(fades.last(), (std::pair<qreal, int>(0.0, 150)));
    EXPECT_TRUE(controller->window()->isVisible());
    EXPECT_EQ(controller->monitorCount(), 2);
    // Fading out, it no longer takes the keys: Escape reaches the window under it.
    KeySpy spy;
    anchor.installEventFilter(&spy);
    QTest::keyClick(&anchor, Qt::Key_Escape);
    EXPECT_TRUE(spy.keys.contains(Qt::Key_Escape));
    finishFade();
    EXPECT_FALSE(controller->window()->isVisible());
    EXPECT_EQ(controller->monitorCount(), 0);
    EXPECT_EQ(controller->anchor(), nullptr);

    // Shown again and quickly hidden: the older fade's ending must not hide the new showing.
    controller->toggle(&anchor);
    auto showFade = std::exchange(pending, nullptr);
    controller->toggle(&anchor);
    controller->toggle(&anchor);
    showFade();
    EXPECT_TRUE(controller->isShown());
    EXPECT_TRUE(controller->window()->isVisible());
}

TEST_F(SearchPanelFades, ALaterChangeOfTheNoteHidesItButTheNameAtConfigureDoesNot)
{
    model->setCurrentFileName(QStringLiteral("Before"));
    controller->configure(model.get(), *settings);
    controller->toggle(&anchor);
    finishFade();
    spin(20);
    EXPECT_TRUE(controller->isShown());
    model->setCurrentFileName(QStringLiteral("After"));
    EXPECT_TRUE(controller->isShown()) << "delivered on the next turn of the event loop";
    spin(20);
    EXPECT_FALSE(controller->isShown());
    finishFade();
    EXPECT_FALSE(controller->window()->isVisible());
}

TEST_F(SearchPanelFades, TheMaterialFollowsTheSchemeAndTheBodyIsRounded)
{
    SearchPanelWindow* w = controller->window();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Quick Open"));
    EXPECT_EQ(w->bodyRect().size(), QSize(360, 360));
    QPalette dark = w->palette();
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    w->setPalette(dark);
    EXPECT_EQ(w->material(), SearchPanelWindow::Material::hudWindow);
    QPalette light = w->palette();
    light.setColor(QPalette::Window, QColor(236, 236, 236));
    w->setPalette(light);
    EXPECT_EQ(w->material(), SearchPanelWindow::Material::sidebar);

    controller->toggle(&anchor);
    finishFade();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    const QImage shot = w->grab().toImage();
    const QRect body = w->bodyRect();
    if (w->surface().isComposited()) {
        EXPECT_EQ(qAlpha(shot.pixel(body.center())), 235) << "the translucent material";
        EXPECT_LT(qAlpha(shot.pixel(body.topLeft() + QPoint(1, 1))), 200) << "a rounded corner, not a square one";
    } else {
        EXPECT_EQ(qAlpha(shot.pixel(body.center())), 255) << "nothing to blend with: opaque";
        EXPECT_FALSE(w->mask().contains(body.topLeft() + QPoint(1, 1))) << "a rounded corner, not a square one";
    }
}

TEST_F(SearchPanelFades, TheChipRowIsOneTabStopThatTheKeyboardBrowsesAndUnpinsWith)
{
    const QString notes = home.filePath(QStringLiteral("Notes"));
    const QList<QUrl> pinned = showWithFavorites(notes);
    Workspace* workspace = controller->workspace();
    FolderChipRow* chips = controller->view()->chips();
    ASSERT_EQ(chips->chipCount(), 3);
    chips->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(chips->accessibleName(), QStringLiteral("Favorites: Folder Notes (1 of 3)"));

    QTest::keyClick(chips, Qt::Key_Right);
    QTest::keyClick(chips, Qt::Key_Right);
    EXPECT_EQ(chips->accessibleName(), QStringLiteral("Favorites: Folder B (3 of 3)"));
    QTest::keyClick(chips, Qt::Key_Return);
    EXPECT_EQ(workspace->vaultURL(), pinned[1]);
    QTest::keyClick(chips, Qt::Key_Left);
    QTest::keyClick(chips, Qt::Key_Delete);
    EXPECT_EQ(workspace->pinned(), (QList<QUrl>{QUrl::fromLocalFile(notes), pinned[1]}));
    QTest::keyClick(chips, Qt::Key_Left);
    QTest::keyClick(chips, Qt::Key_Delete);
    EXPECT_EQ(workspace->pinned().size(), 2) << "the notes folder's chip cannot be unpinned";
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(chips, Qt::Key_Right);
    EXPECT_EQ(chips->accessibleName(), QStringLiteral("Favorites: Add folder to Favorites"));
    QTest::keyClick(chips, Qt::Key_Space);
    EXPECT_EQ(chooser.folderRequests.size(), 1);
}

TEST_F(SearchPanelFades, ChipsBrowseAndUnpinAndTheSortMenuSorts)
{
    const QString notes = home.filePath(QStringLiteral("Notes"));
    const QList<QUrl> pinned = showWithFavorites(notes);
    Workspace* workspace = controller->workspace();
    FolderChipRow* chips = controller->view()->chips();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller->window()));
    ASSERT_EQ(chips->chipCount(), 3);

    QTest::mouseMove(chips, chips->chipRect(0).center());
    EXPECT_FALSE(chips->showsRemoveButton(0)) << "the notes folder's chip cannot be unpinned";
    QTest::mouseMove(chips, chips->chipRect(1).center());
    // The pointer moves through the X server; its hover arrives when it arrives.
    EXPECT_TRUE(QTest::qWaitFor([&] { return chips->showsRemoveButton(1); }));
    QTest::mouseClick(chips, Qt::LeftButton, {}, chips->chipRect(2).center());
    EXPECT_EQ(workspace->vaultURL(), pinned[1]);
    QTest::mouseMove(chips, chips->chipRect(1).center());
    QTest::mouseClick(chips, Qt::LeftButton, {}, chips->removeRect(1).center());
    EXPECT_EQ(workspace->pinned(), (QList<QUrl>{QUrl::fromLocalFile(notes), pinned[1]}));
    QTest::mouseClick(chips, Qt::LeftButton, {}, chips->addRect().center());
    EXPECT_EQ(chooser.folderRequests.size(), 1);

    SortChip* sort = controller->view()->sortChip();
    EXPECT_EQ(sort->toolTip(), QStringLiteral("Change sort order (Latest ↓)"));
    ASSERT_EQ(sort->menu()->actions().size(), 8);
    sort->menu()->actions().at(3)->trigger();
    EXPECT_EQ(workspace->sortMode(), SortMode::nameZA);
    EXPECT_EQ(sort->text(), QStringLiteral("Z-A"));
}

// "Flintly Settings" under X with real clicks and keys (XTEST), the editor page for the
// theme, and time moved by hand for the statistics.
#include "shortcuts/XTestDriver.h"

#include "app/CombinedPrefs.h"
#include "app/StatisticsFigures.h"
#include "desktop/AutostartEntry.h"
#include "desktop/CustomKeybindingStore.h"
#include "desktop/GnomeKeybinding.h"
#include "document/MarkdownModel.h"
#include "editor/ColorScheme.h"
#include "editor/NoteView.h"
#include "editor/ThemedRootView.h"
#include "editor/WebView.h"
#include "editor/WebViewBridge.h"
#include "platform/SettingsStore.h"
#include "shortcuts/GlobalShortcuts.h"
#include "shortcuts/Recorder.h"
#include "support/FakeDialogs.h"
#include "support/LogCapture.h"
#include "support/ManualTime.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace flintly;
using namespace flintly::test;
using shortcuts::Key;
namespace ModifierFlag = shortcuts::ModifierFlag;
using shortcuts::Shortcut;

namespace {

constexpr quint8 kDown = 116, kReturn = 36;

QVariant evaluate(QWebEnginePage* page, const QString& script)
{
    bool done = false;
    QVariant value;
    page->runJavaScript(script, [&](const QVariant& v) {
        value = v;
        done = true;
    });
    waitUntil([&] { return done; });
    return value;
}

TEST(StatisticsFiguresText, FocusTimeInWholeMinutesAndCountsGrouped)
{
    EXPECT_EQ(focusTimeText(3900), QStringLiteral("1h 5m"));
    EXPECT_EQ(focusTimeText(59), QStringLiteral("0h 0m"));
    EXPECT_EQ(countText(12345, QLocale(QLocale::English)), QStringLiteral("12,345"));
    EXPECT_EQ(countText(1234567, QLocale(QLocale::German)), QStringLiteral("1.234.567"));
    EXPECT_EQ(countText(12345, QLocale::c()), QStringLiteral("12,345")) << "grouped even where the C locale omits it";

    QTemporaryDir dir;
    SettingsStore settings(dir.filePath(QStringLiteral("Flintly.conf")));
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    settings.setValue(QStringLiteral("statsFocusSeconds"), 600);
    EXPECT_EQ(StatisticsFigures::read(settings, now).focusSeconds, 600) << "no session running";
    settings.setValue(QStringLiteral("statsSessionStart"), 1'800'000'000 - 125.7);
    EXPECT_EQ(StatisticsFigures::read(settings, now).focusSeconds, 725) << "whole seconds of the running session";
    settings.setValue(QStringLiteral("statsSessionStart"), 1'800'000'000 + 50.0);
    EXPECT_EQ(StatisticsFigures::read(settings, now).focusSeconds, 600) << "a clock set back adds nothing";
}

class SettingsWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != u"xcb" || !xtest.isConnected())
            GTEST_SKIP() << "needs an X server";
        settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf")));
        model = std::make_unique<MarkdownModel>(MarkdownModel::Dependencies(settings.get(), &chooser));
        shortcuts = std::make_unique<shortcuts::GlobalShortcuts>(*settings);
    }
    void TearDown() override
    {
        prefs.reset();
        root.reset();
        model.reset();
        shortcuts.reset();
        QApplication::setPalette(QPalette());
        spin(20);
    }

    CombinedPrefs& openWithContact(const QString& email, const QString& url,
                                   const QString& name = QStringLiteral("Flintly"))
    {
        return open([&](CombinedPrefs::Dependencies& d) {
            d.developerName = name;
            d.developerEmail = email;
            d.developerUrl = url;
        });
    }
    CombinedPrefs& open(const std::function<void(CombinedPrefs::Dependencies&)>& adjust = {})
    {
        CombinedPrefs::Dependencies deps{settings.get(), model.get(), {shortcuts.get(), &alerts, &opener},
                                         &opener,        &time,       QLocale(QLocale::English)};
        deps.hotkeyFallback.currentDesktop = QStringLiteral("KDE");
        // The contact details are the build's: empty unless it was configured with them.
        deps.developerName = QStringLiteral("Flintly");
        deps.developerEmail.clear();
        deps.developerUrl.clear();
        if (adjust)
            adjust(deps);
        prefs = std::make_unique<CombinedPrefs>(deps);
        prefs->move(40, 40);
        prefs->show();
        prefs->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(prefs.get()));
        EXPECT_TRUE(waitUntil([&] { return prefs->isActiveWindow(); }));
        return *prefs;
    }

    void clickOn(QWidget* w, QPoint at = {})
    {
        // The form scrolls; what is clicked must be in view.
        if (auto* scroll = prefs ? prefs->findChild<QScrollArea*>() : nullptr; scroll && scroll->isAncestorOf(w)) {
            scroll->ensureWidgetVisible(w);
            spin(50);
        }
        const QPoint global = w->mapToGlobal(at.isNull() ? w->rect().center() : at);
        xtest.moveTo(global.x(), global.y());
        xtest.click();
        spin(150);
    }

    QString makeFolder(const QString& name)
    {
        const QString path = home.filePath(name);
        QDir().mkpath(path);
        return path;
    }

    QTemporaryDir home;
    XTestDriver xtest;
    ManualTime time;
    std::unique_ptr<SettingsStore> settings;
    FakeFileChooser chooser;
    ScriptedAlertPresenter alerts;
    RecordingUrlOpener opener;
    std::unique_ptr<MarkdownModel> model;
    std::unique_ptr<shortcuts::GlobalShortcuts> shortcuts;
    std::unique_ptr<ThemedRootView> root;
    std::unique_ptr<CombinedPrefs> prefs;
};

TEST_F(SettingsWindow, FolderStatisticsAndContactFollowTheModelAndTheClock)
{
    settings->setValue(QStringLiteral("statsCharCount"), 12345);
    settings->setValue(QStringLiteral("statsFocusSeconds"), 300);
    settings->setValue(QStringLiteral("statsSessionStart"), time.now().toSecsSinceEpoch() - 3540.0);
    const QString email = QStringLiteral("notes@example.org"), site = QStringLiteral("https://example.org/flintly");
    CombinedPrefs& w = openWithContact(email, site);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Flintly Settings"));
    EXPECT_EQ(w.size(), QSize(600, 420));
    EXPECT_EQ(w.saveFolderLabel()->text(), QStringLiteral("Not set"));
    EXPECT_FALSE(w.revealLink()->isVisible());
    EXPECT_EQ(w.charactersValue()->text(), QStringLiteral("12,345"));
    EXPECT_EQ(w.focusTimeValue()->text(), QStringLiteral("1h 4m")) << "300 s stored and 59 min running";

    time.advance(CombinedPrefs::kRefreshMs);
    EXPECT_EQ(w.focusTimeValue()->text(), QStringLiteral("1h 5m")) << "the running session counts live";
    w.hide();
    time.advance(2 * CombinedPrefs::kRefreshMs);
    EXPECT_EQ(w.focusTimeValue()->text(), QStringLiteral("1h 5m")) << "no refreshing while hidden";
    w.show();
    EXPECT_EQ(w.focusTimeValue()->text(), QStringLiteral("1h 7m")) << "read again when shown";
    settings->setValue(QStringLiteral("statsNoteCount"), 7);
    EXPECT_EQ(w.notesValue()->text(), QStringLiteral("7")) << "a statistics pass shows at once";

    const QString notes = makeFolder(QStringLiteral("My Notes"));
    model->setSaveFolder(QUrl::fromLocalFile(notes));
    EXPECT_EQ(w.saveFolderLabel()->text(), QStringLiteral("My Notes"));
    ASSERT_TRUE(waitUntil([&] { return w.revealLink()->isVisible(); }));
    w.activateWindow();
    clickOn(w.revealLink());
    EXPECT_EQ(opener.revealed, QStringList{notes});

    EXPECT_EQ(w.emailLink()->toolTip(), QStringLiteral("Click to copy"));
    QApplication::clipboard()->setText(QStringLiteral("something else"));
    clickOn(w.emailLink());
    EXPECT_TRUE(waitUntil([&] { return QApplication::clipboard()->text() == email; }));
    clickOn(w.blogLink());
    EXPECT_EQ(opener.opened, QList<QUrl>{QUrl(site)});
}

TEST_F(SettingsWindow, ContactRowsShowOnlyWhatTheBuildConfigured)
{
    CombinedPrefs& w = open();
    EXPECT_TRUE(w.developerSection()->isVisible()) << "the name alone is still shown";
    EXPECT_FALSE(w.emailLink()->isVisibleTo(&w));
    EXPECT_FALSE(w.blogLink()->isVisibleTo(&w));

    CombinedPrefs& onlySite = openWithContact({}, QStringLiteral("https://example.org/flintly"));
    EXPECT_FALSE(onlySite.emailLink()->isVisibleTo(&onlySite));
    EXPECT_TRUE(onlySite.blogLink()->isVisible());

    CombinedPrefs& nobody = openWithContact({}, {}, {});
    EXPECT_FALSE(nobody.developerSection()->isVisibleTo(&nobody));
}

TEST_F(SettingsWindow, ChangeEndsTheSessionChoosesAndStartsANewNoteEitherWay)
{
    const QString first = makeFolder(QStringLiteral("First"));
    const QString second = makeFolder(QStringLiteral("Second"));
    model->setSaveFolder(QUrl::fromLocalFile(first));
    const QString note = QDir(first).filePath(QStringLiteral("Kept.md"));
    QFile f(note);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("# Kept\n");
    f.close();
    model->loadNote(QUrl::fromLocalFile(note));
    model->startFocusSession();
    CombinedPrefs& w = open();

    chooser.answers.push_back(second);
    clickOn(w.changeFolderButton());
    ASSERT_TRUE(waitUntil([&] { return model->filePath().isEmpty(); })) << "a new note after choosing";
    EXPECT_EQ(chooser.folderRequests.size(), 1);
    EXPECT_EQ(model->saveFolder(), QUrl::fromLocalFile(second));
    EXPECT_EQ(w.saveFolderLabel()->text(), QStringLiteral("Second"));
    EXPECT_EQ(settings->fileUrlValue(settingskeys::saveFolder), QUrl::fromLocalFile(second))
        << "for the next start too";
    EXPECT_TRUE(model->sessionStart()) << "the new note has its own focus session";
    model->setText(QStringLiteral("# Written after the change\n"));
    EXPECT_NO_THROW(model->save());
    EXPECT_EQ(QDir(second).entryList({QStringLiteral("*.md")}, QDir::Files).size(), 1) << "the new note is in Second";
    EXPECT_EQ(QDir(first).entryList({QStringLiteral("*.md")}, QDir::Files), QStringList{QStringLiteral("Kept.md")});

    model->setText(QStringLiteral("# Draft\n"));
    clickOn(w.changeFolderButton());  // cancelled
    ASSERT_TRUE(waitUntil([&] { return model->text().isEmpty(); })) << "a new note after cancelling too";
    EXPECT_EQ(model->saveFolder(), QUrl::fromLocalFile(second));
}

TEST_F(SettingsWindow, ThemeAndFavouritesAreWrittenAtOnceAndTheEditorFollows)
{
    WebViewBridge bridge;
    WebView::Options options;
    options.urlOpener = &opener;
    options.bridge = &bridge;
    root = std::make_unique<ThemedRootView>(*settings, *model, options);
    root->resize(400, 500);
    root->move(700, 40);
    root->show();
    QWebEnginePage* page = nullptr;
    ASSERT_TRUE(waitUntil(
        [&] {
            auto* web = root->noteView()->webView()->webView();
            if (!web || web->page()->isLoading())
                return false;
            page = web->page();
            return evaluate(page, QStringLiteral("typeof window.setThemeMode === 'function'")).toBool();
        },
        20000))
        << "the editor page never came up";

    CombinedPrefs& w = open();
    EXPECT_EQ(w.themePicker()->currentText(), QStringLiteral("Automatic"));
    LogCapture logs;
    clickOn(w.themePicker());  // the list opens on "Automatic"
    xtest.tapKeycode(kDown);
    xtest.tapKeycode(kDown);
    xtest.tapKeycode(kReturn);
    ASSERT_TRUE(waitUntil([&] { return settings->intValue(QStringLiteral("appTheme")) == 2; }));
    EXPECT_TRUE(isDark(w.palette())) << "this window follows";
    EXPECT_EQ(root->effectiveColorScheme(), ColorScheme::dark) << "and the note panel";
    EXPECT_TRUE(waitUntil([&] { return logs.contains(QStringLiteral("🎨 CodeMirror 다크 테마 설정 완료")); }));
    EXPECT_EQ(evaluate(page, QStringLiteral("document.documentElement.dataset.theme")).toString(), u"dark");

    EXPECT_TRUE(w.favoritesToggle()->isChecked()) << "on by default";
    clickOn(w.favoritesToggle());
    EXPECT_EQ(settings->boolValue(QStringLiteral("showDefaultFolder")), false);
    clickOn(w.favoritesToggle());
    EXPECT_EQ(settings->boolValue(QStringLiteral("showDefaultFolder")), true);
}

// GNOME's keybindings in a map: GNOME's schemas are not installed here (the real
// GSettings side has its own test in tests/desktop).
class MapKeybindingStore final : public desktop::CustomKeybindingStore {
public:
    bool isAvailable() const override { return true; }
    QStringList paths() const override { return list; }
    bool setPaths(const QStringList& p) override
    {
        list = p;
        return true;
    }
    Entry entry(const QString& path) const override { return entries.value(path); }
    bool setEntry(const QString& path, const Entry& e) override
    {
        entries.insert(path, e);
        return true;
    }
    void resetEntry(const QString& path) override { entries.remove(path); }
    void sync() override {}

    QStringList list;
    QHash<QString, Entry> entries;
};

TEST_F(SettingsWindow, WithoutADesktopHotkeyItOffersTheCommandOrGnomesShortcutsAndOpensAtLogin)
{
    EXPECT_FALSE(open().hotkeyFallback()->isVisibleTo(prefs.get())) << "the X11 grab carries the hotkey";
    prefs.reset();

    // No desktop-wide hotkey, on a desktop that is not GNOME: the command, to copy.
    shortcuts =
        std::make_unique<shortcuts::GlobalShortcuts>(*settings, std::make_unique<shortcuts::NullKeyGrabBackend>());
    shortcuts->declare(QStringLiteral("showNote"), Shortcut(Key::j, ModifierFlag::command));
    desktop::AutostartEntry login({QStringLiteral("/usr/bin/flintly"), QStringLiteral("--hidden")},
                                  home.filePath(QStringLiteral("autostart/org.flintly.Flintly.desktop")));
    const QStringList toggle{QStringLiteral("/opt/flintly/flintly"), QStringLiteral("--toggle")};
    CombinedPrefs& w = open([&](CombinedPrefs::Dependencies& d) {
        d.hotkeyFallback.toggleCommand = toggle;
        d.autostart = &login;
    });
    ASSERT_TRUE(waitUntil([&] { return w.hotkeyFallback()->isVisible(); }));
    EXPECT_EQ(w.hotkeyFallback()->commandField()->text(), QStringLiteral("/opt/flintly/flintly --toggle"));
    clickOn(w.hotkeyFallback()->copyButton());
    EXPECT_TRUE(waitUntil([] { return QApplication::clipboard()->text() == u"/opt/flintly/flintly --toggle"; }));

    // "Open at Login" writes the entry and shows what the file says.
    EXPECT_FALSE(w.openAtLoginToggle()->isChecked());
    clickOn(w.openAtLoginToggle());
    EXPECT_TRUE(login.isEnabled());
    EXPECT_TRUE(w.openAtLoginToggle()->isChecked());
    QFile::remove(login.filePath());
    w.hide();
    w.show();
    EXPECT_FALSE(w.openAtLoginToggle()->isChecked()) << "removed by hand, seen when shown again";
    prefs.reset();

    // On GNOME: its own keyboard shortcuts, added and removed from the same row, and
    // moved along when the shortcut changes.
    MapKeybindingStore gnome;
    CombinedPrefs& g = open([&](CombinedPrefs::Dependencies& d) {
        d.hotkeyFallback = {shortcuts.get(), QStringLiteral("ubuntu:GNOME"), &gnome, toggle};
        d.autostart = &login;
    });
    QPushButton* button = g.hotkeyFallback()->gnomeButton();
    ASSERT_TRUE(waitUntil([&] { return button->isVisible(); }));
    EXPECT_FALSE(g.hotkeyFallback()->commandField()->isVisible());
    EXPECT_EQ(button->text(), QStringLiteral("Add to GNOME Keyboard Shortcuts"));
    clickOn(button);
    EXPECT_EQ(gnome.list, QStringList{desktop::GnomeKeybinding::kPath});
    EXPECT_EQ(gnome.entries.value(desktop::GnomeKeybinding::kPath).binding, QStringLiteral("<Control>j"));
    EXPECT_TRUE(g.hotkeyFallback()->message()->text().contains(QStringLiteral("Ctrl+J")));
    shortcuts->setShortcut(Shortcut(Key::k, ModifierFlag::command | ModifierFlag::shift),
                           shortcuts::Name(QStringLiteral("showNote")));
    EXPECT_EQ(gnome.entries.value(desktop::GnomeKeybinding::kPath).binding, QStringLiteral("<Control><Shift>k"));
    EXPECT_EQ(button->text(), QStringLiteral("Remove from GNOME Keyboard Shortcuts"));
    clickOn(button);
    EXPECT_TRUE(gnome.list.isEmpty());
}

TEST_F(SettingsWindow, AShortcutRecordedHereTogglesTheNoteFromThenOn)
{
    const Shortcut old(Key::y, ModifierFlag::command | ModifierFlag::shift);
    const Shortcut chosen(Key::k, ModifierFlag::command | ModifierFlag::option | ModifierFlag::shift);
    QObject context;
    int toggles = 0;
    shortcuts->bindKeyUp(QStringLiteral("showNote"), old, &context, [&] { ++toggles; });
    CombinedPrefs& w = open();
    auto* recorder = w.shortcutRecorder()->control();
    EXPECT_EQ(recorder->text(), old.nativeText());

    ASSERT_TRUE(waitUntil([&] { return recorder->canBecomeKey(); }));
    clickOn(recorder);
    ASSERT_TRUE(waitUntil([&] { return recorder->isRecording(); }));
    xtest.tap(chosen);
    ASSERT_TRUE(
        waitUntil([&] { return shortcuts->getShortcut(shortcuts::Name(QStringLiteral("showNote"))) == chosen; }));
    EXPECT_EQ(toggles, 0) << "recording runs nothing";

    xtest.tap(chosen);
    EXPECT_TRUE(waitUntil([&] { return toggles == 1; }));
    xtest.tap(old);
    spin(300);
    EXPECT_EQ(toggles, 1) << "the old combination is let go";
}

}  // namespace

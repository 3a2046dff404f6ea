#include "XTestDriver.h"

#include "platform/SettingsStore.h"
#include "shortcuts/GlobalShortcuts.h"
#include "shortcuts/KeyCodeMap.h"
#include "support/LogCapture.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

using namespace flintly;
using namespace flintly::shortcuts;

namespace {

// Ctrl+Alt+Shift with letters no other test program here uses, so test programs
// running side by side on one X server do not take each other's keys.
constexpr ModifierFlags kCtrlAltShift = ModifierFlag::command | ModifierFlag::option | ModifierFlag::shift;
const Shortcut kQ(Key::q, kCtrlAltShift);
const Shortcut kW(Key::w, kCtrlAltShift);
const Shortcut kE(Key::e, kCtrlAltShift);
const Shortcut kR(Key::r, kCtrlAltShift);
// Qt menus close on Alt and Super (keyboard navigation of the menu bar), so the menu
// tests use a combination without them.
const Shortcut kCtrlShiftU(Key::u, ModifierFlag::command | ModifierFlag::shift);

class KeyRecorder : public QObject {
public:
    QList<int> keys;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            keys.append(static_cast<QKeyEvent*>(event)->key());
        return false;
    }
};

class X11Hotkeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb") || !xtest.isConnected())
            GTEST_SKIP() << "no X server (DISPLAY unset): the X11 hotkey tests need one";
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("Flintly.conf")));
        shortcuts = std::make_unique<GlobalShortcuts>(*store);
    }

    void TearDown() override
    {
        // Ungrabs everything before the next test (or program) wants the keys.
        shortcuts.reset();
        test::spin(20);
    }

    Name bind(const QString& rawName, const Shortcut& shortcut)
    {
        const Name name = shortcuts->declare(rawName, shortcut);
        shortcuts->onKeyDown(name, &context, [this, rawName] { ran << rawName + QStringLiteral(" down"); });
        shortcuts->onKeyUp(name, &context, [this, rawName] { ran << rawName + QStringLiteral(" up"); });
        return name;
    }

    bool ranAll(const QStringList& expected)
    {
        return test::waitUntil(
            [&] {
                for (const QString& e : expected)
                    if (!ran.contains(e))
                        return false;
                return true;
            },
            3000);
    }

    QTemporaryDir dir;
    test::XTestDriver xtest;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<GlobalShortcuts> shortcuts;
    QObject context;
    QStringList ran;
};

}  // namespace

TEST_F(X11Hotkeys, ARealKeyPressRunsThePressAndReleaseActions)
{
    bind(QStringLiteral("q"), kQ);
    xtest.tap(kQ);
    ASSERT_TRUE(ranAll({"q down", "q up"})) << ran.join(", ").toStdString();
    EXPECT_EQ(ran, (QStringList{"q down", "q up"}));
}

TEST_F(X11Hotkeys, TwoNamesOnOneShortcutMakeOneGrabAndBothAct)
{
    bind(QStringLiteral("a"), kQ);
    bind(QStringLiteral("b"), kQ);
    EXPECT_EQ(shortcuts->registry().hotKeys().size(), 1u);
    xtest.tap(kQ);
    EXPECT_TRUE(ranAll({"a down", "a up", "b down", "b up"})) << ran.join(", ").toStdString();
    EXPECT_EQ(ran.size(), 4);
}

TEST_F(X11Hotkeys, PausedMeansNothingRuns)
{
    bind(QStringLiteral("q"), kQ);
    shortcuts->setPaused(true);
    xtest.tap(kQ);
    test::spin(300);
    EXPECT_TRUE(ran.isEmpty());
    shortcuts->setPaused(false);
    xtest.tap(kQ);
    EXPECT_TRUE(ranAll({"q up"}));
}

TEST_F(X11Hotkeys, CapsLockAndNumLockDoNotStopAShortcut)
{
    bind(QStringLiteral("w"), kW);
    struct LocksOff {
        test::XTestDriver& x;
        ~LocksOff()
        {
            if (x.capsLockOn())
                x.tapKeycode(test::XTestDriver::kCapsLock);
            if (x.numLockOn())
                x.tapKeycode(test::XTestDriver::kNumLock);
        }
    } locksOff{xtest};

    if (!xtest.capsLockOn())
        xtest.tapKeycode(test::XTestDriver::kCapsLock);
    ASSERT_TRUE(xtest.capsLockOn());
    xtest.tap(kW);
    ASSERT_TRUE(ranAll({"w up"})) << "Caps Lock on";

    ran.clear();
    if (!xtest.numLockOn())
        xtest.tapKeycode(test::XTestDriver::kNumLock);
    ASSERT_TRUE(xtest.numLockOn());
    xtest.tap(kW);
    ASSERT_TRUE(ranAll({"w up"})) << "Caps Lock and Num Lock on";

    ran.clear();
    xtest.tapKeycode(test::XTestDriver::kCapsLock);
    xtest.tap(kW);
    EXPECT_TRUE(ranAll({"w up"})) << "Num Lock on";
}

TEST_F(X11Hotkeys, AKeymapChangeMovesTheNumLockVariantsOfEveryGrab)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xmodmap")).isEmpty())
        GTEST_SKIP() << "needs xmodmap";
    const auto xmodmap = [](const QString& first, const QString& second) {
        return QProcess::execute(QStringLiteral("xmodmap"),
                                 {QStringLiteral("-e"), first, QStringLiteral("-e"), second});
    };
    bind(QStringLiteral("w"), kW);
    struct RestoreKeymap {
        test::XTestDriver& x;
        std::function<int(const QString&, const QString&)> xmodmap;
        ~RestoreKeymap()
        {
            if (x.modifierState() & XCB_MOD_MASK_3)
                x.tapKeycode(test::XTestDriver::kNumLock);
            xmodmap(QStringLiteral("clear mod3"), QStringLiteral("add mod2 = Num_Lock"));
            if (x.numLockOn())
                x.tapKeycode(test::XTestDriver::kNumLock);
        }
    } restore{xtest, xmodmap};
    EXPECT_FALSE(xtest.grab(kW, XCB_MOD_MASK_2)) << "ours while Num Lock is Mod2";

    // Some login scripts move Num Lock to Mod3.
    ASSERT_EQ(xmodmap(QStringLiteral("clear mod2"), QStringLiteral("add mod3 = Num_Lock")), 0);
    EXPECT_TRUE(test::waitUntil([&] { return xtest.grab(kW, XCB_MOD_MASK_2); }, 3000))
        << "the old Num Lock variant goes back to the other programs";
    EXPECT_FALSE(xtest.grab(kW, XCB_MOD_MASK_3)) << "the new one is taken";

    xtest.tapKeycode(test::XTestDriver::kNumLock);
    ASSERT_TRUE(xtest.modifierState() & XCB_MOD_MASK_3);
    xtest.tap(kW);
    EXPECT_TRUE(ranAll({"w up"})) << "works with the moved Num Lock on";
}

TEST_F(X11Hotkeys, ReleaseCountsEvenWhenTheModifiersWentUpFirst)
{
    bind(QStringLiteral("w"), kW);
    const QList<quint8> mods = test::XTestDriver::modifierKeycodes(kW.carbonModifiers());
    xtest.pressShortcut(kW);
    ASSERT_TRUE(ranAll({"w down"}));
    for (quint8 m : mods)
        xtest.release(m);
    xtest.release(*KeyCodeMap::xKeycode(kW.carbonKeyCode()));
    EXPECT_TRUE(ranAll({"w up"})) << "the app toggles its window on key-up";
}

TEST_F(X11Hotkeys, HoldingTheKeyRunsTheActionsOnce)
{
    bind(QStringLiteral("q"), kQ);
    xtest.pressShortcut(kQ);
    test::spin(900);  // past the server's auto-repeat delay
    xtest.releaseShortcut(kQ);
    ASSERT_TRUE(ranAll({"q up"}));
    test::spin(100);
    EXPECT_EQ(ran, (QStringList{"q down", "q up"}));
}

// A busy GUI thread finds the repeats queued behind the real release: by the time it
// reads them, the key is long up.
TEST_F(X11Hotkeys, HoldingTheKeyWhileTheAppIsBusyRunsTheActionsOnce)
{
    bind(QStringLiteral("q"), kQ);
    xtest.pressShortcut(kQ);
    ASSERT_TRUE(ranAll({"q down"}));
    QThread::msleep(1200);  // past the server's auto-repeat delay, reading nothing
    xtest.releaseShortcut(kQ);
    ASSERT_TRUE(ranAll({"q up"}));
    test::spin(100);
    EXPECT_EQ(ran, (QStringList{"q down", "q up"})) << ran.join(", ").toStdString();
}

TEST_F(X11Hotkeys, ACombinationAnotherProgramHoldsIsTakenByTheSystem)
{
    ASSERT_TRUE(xtest.grab(kE));
    EXPECT_TRUE(shortcuts->isTakenBySystem(kE));
    EXPECT_FALSE(shortcuts->isTakenBySystem(kR));

    test::LogCapture logs;
    bind(QStringLiteral("e"), kE);
    EXPECT_TRUE(logs.contains(QStringLiteral("Error registering hotkey ⌥⇧⌘E: 10")))
        << logs.lines().join('\n').toStdString();

    // The app goes on: its other shortcuts work, and asking about one of its own does
    // not release it.
    bind(QStringLiteral("r"), kR);
    EXPECT_FALSE(shortcuts->isTakenBySystem(kR));
    xtest.tap(kR);
    EXPECT_TRUE(ranAll({"r up"}));
    EXPECT_FALSE(ran.contains(QStringLiteral("e up")));
}

TEST_F(X11Hotkeys, KeysWithoutAnX11EquivalentReportTheRegistrationError)
{
    test::LogCapture logs;
    shortcuts->declare(QStringLiteral("fn"), Shortcut(Key::r, ModifierFlag::function | ModifierFlag::command));
    shortcuts->declare(QStringLiteral("unknown"), Shortcut(200, CarbonModifier::command));
    EXPECT_TRUE(logs.contains(QStringLiteral("Error registering hotkey ⌘\U0001F310\uFE0ER: 2")));
    EXPECT_TRUE(logs.contains(QStringLiteral("Error registering hotkey ⌘\uFFFD: 2")));
}

TEST_F(X11Hotkeys, WithAMenuOpenTheShortcutStillActsAndTheMenuNeverSeesIt)
{
    const Name name = bind(QStringLiteral("u"), kCtrlShiftU);
    const QList<quint32> ids = [&] {
        QList<quint32> out;
        for (const auto& [id, hotKey] : shortcuts->registry().hotKeys())
            out << id;
        return out;
    }();

    QMenu menu;
    menu.addAction(QStringLiteral("First"));
    menu.addAction(QStringLiteral("Second"));
    KeyRecorder seen;
    menu.installEventFilter(&seen);
    menu.popup(QPoint(200, 200));
    ASSERT_TRUE(test::waitUntil([&] { return menu.isVisible() && shortcuts->registry().isMenuOpen(); }));
    test::spin(200);  // the menu's keyboard grab

    xtest.tap(kCtrlShiftU);
    ASSERT_TRUE(ranAll({"u down", "u up"}));
    EXPECT_TRUE(menu.isVisible());

    xtest.tapKeycode(116);  // Down
    ASSERT_TRUE(test::waitUntil([&] { return seen.keys.contains(Qt::Key_Down); }));
    EXPECT_FALSE(seen.keys.contains(Qt::Key_U));

    menu.hide();
    ASSERT_TRUE(test::waitUntil([&] { return !shortcuts->registry().isMenuOpen(); }));
    QList<quint32> after;
    for (const auto& [id, hotKey] : shortcuts->registry().hotKeys()) {
        after << id;
        EXPECT_TRUE(hotKey.carbonHotKey.has_value());
    }
    EXPECT_EQ(after, ids);

    ran.clear();
    xtest.tap(kCtrlShiftU);
    EXPECT_TRUE(ranAll({"u up"})) << "grabbed again after the menu closed";
}

TEST_F(X11Hotkeys, AnAltShortcutPressedAtHumanPaceWorksThoughItClosesTheMenu)
{
    bind(QStringLiteral("q"), kQ);
    QMenu menu;
    menu.addAction(QStringLiteral("First"));
    menu.popup(QPoint(200, 200));
    ASSERT_TRUE(test::waitUntil([&] { return menu.isVisible() && shortcuts->registry().isMenuOpen(); }));
    test::spin(200);

    const QList<quint8> mods = test::XTestDriver::modifierKeycodes(kQ.carbonModifiers());
    for (quint8 m : mods)
        xtest.press(m);
    ASSERT_TRUE(test::waitUntil([&] { return !shortcuts->registry().isMenuOpen(); }));
    test::spin(100);
    xtest.tapKeycode(*KeyCodeMap::xKeycode(kQ.carbonKeyCode()));
    for (auto it = mods.crbegin(); it != mods.crend(); ++it)
        xtest.release(*it);
    EXPECT_TRUE(ranAll({"q down", "q up"}));
}

#include "FakeKeyGrabBackend.h"
#include "XTestDriver.h"

#include "platform/NotificationCenter.h"
#include "platform/SettingsStore.h"
#include "platform_widgets/QtAlertPresenter.h"
#include "shortcuts/GlobalShortcutViewModifier.h"
#include "shortcuts/GlobalShortcuts.h"
#include "shortcuts/KeyCodeMap.h"
#include "shortcuts/Recorder.h"
#include "support/FakeDialogs.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace flintly;
using namespace flintly::shortcuts;

namespace {

// X keycodes of the keys pressed here (evdev + 8).
constexpr quint8 kX = 53, kF5 = 71, kF12 = 96, kEscape = 9, kDelete = 119, kBackspace = 22, kTab = 23;
constexpr ModifierFlags kCtrlAltShift = ModifierFlag::command | ModifierFlag::option | ModifierFlag::shift;
// Letters no other test program here grabs.
const Shortcut kDefault(Key::s, kCtrlAltShift);
const Shortcut kMenuKeys(Key::d, kCtrlAltShift);
const Shortcut kFree(Key::f, kCtrlAltShift);
const Shortcut kOtherName(Key::g, kCtrlAltShift);

// A window whose first field is the recorder, followed by a plain text field.
class RecorderTestBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb") || !xtest.isConnected())
            GTEST_SKIP() << "no X server (DISPLAY unset): the recorder tests press real keys";
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("Flintly.conf")));
        shortcuts = makeShortcuts();
        name = shortcuts->declare(QStringLiteral("showNote"), kDefault);

        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        recorder = new Recorder(
            name, [this](std::optional<Shortcut> s) { changes.append(s); }, QStringLiteral("Note"),
            RecorderServices{shortcuts.get(), &presenter(), &beeper}, window.get());
        after = new QLineEdit(window.get());
        layout->addWidget(recorder);
        layout->addWidget(after);
        window->resize(400, 120);
        window->move(100, 100);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(test::waitUntil([&] { return window->isActiveWindow(); })) << "the window never became active";
        test::spin(50);
    }

    void TearDown() override
    {
        window.reset();
        shortcuts.reset();
        test::spin(20);
    }

    virtual std::unique_ptr<GlobalShortcuts> makeShortcuts()
    {
        return std::make_unique<GlobalShortcuts>(*store, std::make_unique<test::FakeKeyGrabBackend>(backend));
    }

    virtual AlertPresenter& presenter() { return alerts; }

    RecorderControl* control() { return recorder->control(); }

    QPoint globalCenter() { return control()->mapToGlobal(control()->rect().center()); }

    void clickAt(const QPoint& global)
    {
        xtest.moveTo(global.x(), global.y());
        xtest.click();
    }

    // Records as a user does: a click into the field.
    void startRecording()
    {
        ASSERT_TRUE(test::waitUntil([&] { return control()->canBecomeKey(); }));
        clickAt(globalCenter());
        ASSERT_TRUE(test::waitUntil([&] { return control()->isRecording(); })) << "clicking the field did not record";
    }

    void tapKey(quint8 keycode)
    {
        xtest.tapKeycode(keycode);
        test::spin(100);
    }

    void tapShortcut(const Shortcut& s)
    {
        xtest.tap(s);
        test::spin(100);
    }

    QTemporaryDir dir;
    test::XTestDriver xtest;
    std::unique_ptr<SettingsStore> store;
    test::FakeKeyGrabBackend::State backend;
    std::unique_ptr<GlobalShortcuts> shortcuts;
    test::ScriptedAlertPresenter alerts;
    test::RecordingUrlOpener beeper;
    Name name;
    std::unique_ptr<QWidget> window;
    Recorder* recorder = nullptr;
    QLineEdit* after = nullptr;
    QList<std::optional<Shortcut>> changes;
};

class RecorderTest : public RecorderTestBase {};

}  // namespace

TEST_F(RecorderTest, OpeningTheWindowDoesNotStartRecording)
{
    test::spin(200);
    EXPECT_FALSE(control()->isRecording());
    EXPECT_FALSE(shortcuts->isPaused());
    EXPECT_EQ(control()->text(), kDefault.nativeText());
    EXPECT_EQ(control()->text(), QStringLiteral("Ctrl+Alt+Shift+S"));
    EXPECT_GE(control()->width(), RecorderControl::minimumWidth);
}

TEST_F(RecorderTest, RecordingPausesShortcutsAndAnnouncesItself)
{
    QList<bool> announced;
    QObject observer;
    NotificationCenter::defaultCenter().observe(kRecorderActiveStatusDidChange, &observer, [&](const Notification& n) {
        announced << n.userInfo.value(QStringLiteral("isActive")).toBool();
    });
    startRecording();
    EXPECT_TRUE(shortcuts->isPaused());
    EXPECT_EQ(control()->placeholderText(), QStringLiteral("Press Shortcut"));
    tapKey(kEscape);
    EXPECT_FALSE(shortcuts->isPaused());
    EXPECT_EQ(control()->placeholderText(), QStringLiteral("Record Shortcut"));
    EXPECT_EQ(announced, (QList<bool>{true, false}));
}

TEST_F(RecorderTest, KeysThatTypeTextBeepAndRecordingGoesOn)
{
    startRecording();
    tapKey(kX);
    EXPECT_EQ(beeper.beeps, 1) << "a plain letter";
    xtest.press(50);  // Shift_L
    tapKey(38);       // a
    xtest.release(50);
    test::spin(100);
    EXPECT_EQ(beeper.beeps, 2) << "Shift is not enough";
    EXPECT_TRUE(control()->isRecording());
    EXPECT_EQ(shortcuts->getShortcut(name), kDefault);
    EXPECT_TRUE(changes.isEmpty());
}

TEST_F(RecorderTest, AFunctionKeyAloneIsAccepted)
{
    startRecording();
    tapKey(kF5);
    const Shortcut f5(Key::f5);
    EXPECT_EQ(shortcuts->getShortcut(name), f5);
    EXPECT_EQ(control()->text(), QStringLiteral("F5"));
    EXPECT_EQ(changes, QList<std::optional<Shortcut>>{f5});
    EXPECT_FALSE(control()->isRecording());
    EXPECT_EQ(beeper.beeps, 0);
    EXPECT_EQ(backend.grabs.values(), QList<Shortcut>{f5}) << "the new shortcut is live, the old one released";
}

TEST_F(RecorderTest, F12AloneSkipsTheSystemCheck)
{
    backend.heldElsewhere.insert(Shortcut(Key::f12));
    startRecording();
    tapKey(kF12);
    EXPECT_TRUE(alerts.shown.isEmpty());
    EXPECT_EQ(backend.probes, 0);
    EXPECT_EQ(shortcuts->getShortcut(name), Shortcut(Key::f12));
}

TEST_F(RecorderTest, EscapeKeepsTheOldShortcut)
{
    startRecording();
    tapKey(kEscape);
    EXPECT_FALSE(control()->isRecording());
    EXPECT_EQ(shortcuts->getShortcut(name), kDefault);
    EXPECT_EQ(beeper.beeps, 0);
    EXPECT_TRUE(changes.isEmpty());
}

TEST_F(RecorderTest, DeleteClearsAndRecordingContinues)
{
    startRecording();
    tapKey(kDelete);
    EXPECT_EQ(shortcuts->getShortcut(name), std::nullopt);
    EXPECT_EQ(store->value(name.settingsKey()).toBool(), false);
    EXPECT_TRUE(control()->text().isEmpty());
    EXPECT_TRUE(control()->hasFocus());
    EXPECT_TRUE(control()->isRecording());
    EXPECT_EQ(changes, QList<std::optional<Shortcut>>{std::nullopt});

    // Backspace on an empty field changes nothing more.
    tapKey(kBackspace);
    EXPECT_EQ(changes.size(), 1);
    tapShortcut(kFree);
    EXPECT_EQ(shortcuts->getShortcut(name), kFree);
}

TEST_F(RecorderTest, TheClearButtonWorksWhileRecording)
{
    auto* clearButton = control()->findChild<QToolButton*>();
    ASSERT_TRUE(clearButton);
    startRecording();
    ASSERT_TRUE(clearButton->isVisible());
    clickAt(clearButton->mapToGlobal(clearButton->rect().center()));
    ASSERT_TRUE(test::waitUntil([&] { return !changes.isEmpty(); }));
    EXPECT_EQ(shortcuts->getShortcut(name), std::nullopt);
    EXPECT_TRUE(control()->isRecording());
}

TEST_F(RecorderTest, ACombinationOfAMenuItemIsRefusedWithAnAlert)
{
    QMenu menu(QStringLiteral("File"));
    QAction* item = menu.addAction(QStringLiteral("&New Note"));
    item->setShortcut(*kMenuKeys.keySequence());
    shortcuts->setMainMenu(&menu);

    startRecording();
    tapShortcut(kMenuKeys);
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_TRUE(alerts.shown[0].title.contains(QStringLiteral("“New Note”"))) << alerts.shown[0].title.toStdString();
    EXPECT_EQ(shortcuts->getShortcut(name), kDefault);
    EXPECT_FALSE(control()->isRecording());
}

TEST_F(RecorderTest, ACombinationTheSystemHoldsNeedsTheForceButton)
{
    backend.heldElsewhere.insert(kFree);
    startRecording();
    alerts.answers = {0};
    tapShortcut(kFree);
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].buttons, (QStringList{"OK", "Use Anyway"}));
    EXPECT_EQ(shortcuts->getShortcut(name), kDefault);

    startRecording();
    alerts.answers = {1};
    tapShortcut(kFree);
    EXPECT_EQ(shortcuts->getShortcut(name), kFree);
    EXPECT_EQ(changes, QList<std::optional<Shortcut>>{kFree});
    EXPECT_FALSE(control()->isRecording());
}

TEST_F(RecorderTest, ClickingJustOutsideKeepsRecordingFurtherOutEnds)
{
    startRecording();
    const QRect r(control()->mapToGlobal(QPoint(0, 0)), control()->size());
    clickAt(QPoint(r.right() + 3, r.center().y()));
    test::spin(100);
    EXPECT_TRUE(control()->isRecording()) << "within the 3-point margin";
    clickAt(QPoint(r.right() + 5, r.center().y()));
    ASSERT_TRUE(test::waitUntil([&] { return !control()->isRecording(); }));
    EXPECT_FALSE(shortcuts->isPaused());
}

TEST_F(RecorderTest, TabMovesOnAndEndsRecording)
{
    startRecording();
    tapKey(kTab);
    EXPECT_FALSE(control()->isRecording());
    EXPECT_TRUE(after->hasFocus());
    EXPECT_EQ(beeper.beeps, 0);
}

TEST_F(RecorderTest, GoingAwayWhileRecordingUnpauses)
{
    startRecording();
    window.reset();
    EXPECT_FALSE(shortcuts->isPaused());
}

TEST_F(RecorderTest, AMenuActionFollowsTheNameAndLetsGoWhileRecording)
{
    QAction action(QStringLiteral("Show Note"));
    new GlobalShortcutViewModifier(&action, name, *shortcuts);
    EXPECT_EQ(action.shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+Shift+S")));

    startRecording();
    EXPECT_TRUE(action.shortcut().isEmpty());
    tapKey(kF5);
    EXPECT_EQ(action.shortcut(), QKeySequence(Qt::Key_F5));

    shortcuts->setShortcut(std::nullopt, name);
    EXPECT_TRUE(action.shortcut().isEmpty());
}

namespace {
// With real grabs: the hotkey takes the key away from every window, ours included.
class RecorderWithGrabs : public RecorderTestBase {
protected:
    std::unique_ptr<GlobalShortcuts> makeShortcuts() override { return std::make_unique<GlobalShortcuts>(*store); }
};
}  // namespace

TEST_F(RecorderWithGrabs, ALiveShortcutPressedWhileRecordingIsRecordedNotRun)
{
    const Name other = shortcuts->declare(QStringLiteral("other"), kOtherName);
    int ran = 0;
    QObject context;
    shortcuts->onKeyUp(other, &context, [&] { ++ran; });
    shortcuts->onKeyUp(name, &context, [&] { ++ran; });

    startRecording();
    xtest.tap(kOtherName);
    ASSERT_TRUE(test::waitUntil([&] { return !changes.isEmpty(); })) << "the grabbed key never reached the recorder";
    EXPECT_EQ(shortcuts->getShortcut(name), kOtherName);
    EXPECT_EQ(ran, 0);

    // Recording over, the shortcut acts again, for both names now.
    xtest.tap(kOtherName);
    EXPECT_TRUE(test::waitUntil([&] { return ran == 2; }));
}

namespace {
// The alert as people meet it: the real message box, answered with a real key or the
// window manager's close request.
class RecorderWithRealAlert : public RecorderTestBase {
protected:
    AlertPresenter& presenter() override { return realAlerts; }

    // Presses the combination and dismisses the alert it brings up.
    void pressAndDismiss(const Shortcut& s, bool withEscape)
    {
        bool dismissed = false;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (dismissed || !box || !box->isVisible())
                return;
            if (!box->isActiveWindow()) {
                box->activateWindow();
                return;
            }
            dismissed = true;
            if (withEscape)
                xtest.tapKeycode(kEscape);
            else
                xtest.closeWindow(static_cast<quint32>(box->winId()));
        });
        answer.start(50);
        tapShortcut(s);
        ASSERT_TRUE(test::waitUntil([&] { return dismissed && !QApplication::activeModalWidget(); }))
            << "the alert never came up or never went";
        // Without a window manager nothing hands the keyboard back.
        window->activateWindow();
        ASSERT_TRUE(test::waitUntil([&] { return window->isActiveWindow(); }));
    }

    QtAlertPresenter realAlerts;
};
}  // namespace

TEST_F(RecorderWithRealAlert, EscapeOrClosingTheSystemAlertMeansDoNotUseIt)
{
    backend.heldElsewhere.insert(kFree);
    for (bool withEscape : {true, false}) {
        SCOPED_TRACE(withEscape ? "Escape" : "closed");
        startRecording();
        pressAndDismiss(kFree, withEscape);
        EXPECT_EQ(shortcuts->getShortcut(name), kDefault);
        EXPECT_TRUE(changes.isEmpty());
        EXPECT_FALSE(control()->isRecording());
    }
}

// The portal backend against a stand-in portal on a private session bus, through the
// shortcut module as the app uses it: a bound name whose key-up action counts.
#include "StandInPortal.h"

#include "platform/SettingsStore.h"
#include "shortcuts/GlobalShortcuts.h"
#include "shortcuts/GlobalShortcutsPortal.h"
#include "shortcuts/KeyGrabBackendFactory.h"
#include "shortcuts/PortalKeyGrabBackend.h"
#include "shortcuts/PortalPresses.h"
#include "shortcuts/PortalTrigger.h"
#include "support/LogCapture.h"
#include "support/ManualTime.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace flintly;
using namespace flintly::shortcuts;
using flintly::test::LogCapture;
using flintly::test::ManualTime;
using flintly::test::PrivateBus;
using flintly::test::StandInPortal;

namespace {

const Shortcut kCtrlJ(Key::j, ModifierFlag::command);
const Shortcut kCtrlK(Key::k, ModifierFlag::command);
using Kind = HotkeyCarrier::Kind;

class Portal : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!bus.isUp())
            GTEST_SKIP() << "needs dbus-daemon";
        portal = std::make_unique<StandInPortal>(bus);
    }

    void TearDown() override
    {
        shortcuts.reset();
        activations.reset();
        releases.reset();
        portal.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("flintly-client"));
    }

    // The app's start: the shortcut module on the portal backend, "showNote" bound.
    void start()
    {
        PortalKeyGrabBackend::Options options;
        options.appId = QStringLiteral("org.flintly.Flintly");
        options.sessionToken = QStringLiteral("flintly");
        options.hotkeys = {{QStringLiteral("showNote"), QStringLiteral("Show or hide the Flintly note"), kCtrlJ}};
        options.time = &time;
        options.layout = &layout;
        auto client = std::make_unique<GlobalShortcutsPortal>(bus.connect(QStringLiteral("flintly-client")));
        activations = std::make_unique<QSignalSpy>(client.get(), &GlobalShortcutsPortal::activated);
        releases = std::make_unique<QSignalSpy>(client.get(), &GlobalShortcutsPortal::deactivated);
        shortcuts = std::make_unique<GlobalShortcuts>(
            store, std::make_unique<PortalKeyGrabBackend>(std::move(client), options));
        name = shortcuts->bindKeyUp(QStringLiteral("showNote"), kCtrlJ, &context, [this] { ++toggles; });
    }

    bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 5000); }
    bool waitForCarrier(Kind kind)
    {
        return waitFor([&] { return shortcuts->carrier().kind == kind; });
    }
    // A real press: Activated, then Deactivated, of our session.
    void press(const QString& id = QStringLiteral("showNote"))
    {
        portal->activate(id, portal->session());
        portal->deactivate(id, portal->session());
    }
    bool waitForToggles(int n)
    {
        return waitFor([&] { return toggles == n; });
    }
    // Until the client has heard this many of the portal's signals in all.
    bool heard(qsizetype activated, qsizetype deactivated)
    {
        return waitFor([&] { return activations->size() >= activated && releases->size() >= deactivated; });
    }

    PrivateBus bus;
    std::unique_ptr<StandInPortal> portal;
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("Flintly.conf"))};
    ManualTime time;
    UsKeyboardLayout layout;
    std::unique_ptr<QSignalSpy> activations, releases;
    std::unique_ptr<GlobalShortcuts> shortcuts;
    QObject context;
    Name name;
    int toggles = 0;
};

TEST_F(Portal, RegistersFirstThenCreatesTheSessionAndBindsTheStoredShortcut)
{
    start();
    ASSERT_TRUE(waitForCarrier(Kind::portal));
    EXPECT_EQ(shortcuts->carrier().trigger, QStringLiteral("Ctrl+J"));
    const QStringList members = portal->members();
    ASSERT_FALSE(members.isEmpty());
    EXPECT_EQ(members.first(), QStringLiteral("Register"));
    EXPECT_EQ(members.filter(QStringLiteral("Session")).size(), 1);
    const StandInPortal::Call create = portal->calls[members.indexOf(QStringLiteral("CreateSession"))];
    EXPECT_EQ(create.options.value(QStringLiteral("session_handle_token")).toString(), QStringLiteral("flintly"));
    EXPECT_EQ(create.shortcutIds, QStringList{QStringLiteral("showNote")}) << "also listed for Plasma 5.27";
    const int bind = static_cast<int>(members.indexOf(QStringLiteral("BindShortcuts")));
    ASSERT_GT(bind, members.indexOf(QStringLiteral("CreateSession")));
    EXPECT_EQ(portal->calls[bind].preferredTriggers, QStringList{QStringLiteral("CTRL+j")});
    EXPECT_EQ(portal->calls[bind].session, portal->session());

    press();
    EXPECT_TRUE(waitForToggles(1));
    EXPECT_FALSE(shortcuts->carrier().canConfigure) << "version 1 has no ConfigureShortcuts";
}

// Plasma 5.27 on portal 1.16: no Registry, and the shortcuts CreateSession lists are the
// binding; a BindShortcuts would open System Settings at every start.
TEST_F(Portal, APortalWithoutRegistryThatBindsInCreateSessionGetsNoBindShortcuts)
{
    portal->hasRegistry = false;
    portal->bindsInCreateSession = true;
    LogCapture logs;
    start();
    ASSERT_TRUE(waitForCarrier(Kind::portal));
    EXPECT_EQ(shortcuts->carrier().trigger, QStringLiteral("Ctrl+J"));
    EXPECT_FALSE(portal->members().contains(QStringLiteral("BindShortcuts")));
    EXPECT_FALSE(logs.containsPrefix(QStringLiteral("⚠️"))) << logs.lines().join('\n').toStdString();
    EXPECT_TRUE(logs.contains(QStringLiteral("⌨️ Hotkey path: desktop portal, set by the desktop: Ctrl+J")));
    press();
    EXPECT_TRUE(waitForToggles(1));
}

struct Outcome {
    const char* name;
    uint createResponse;
    uint bindResponse;
    QString granted;  // what the user accepted for CTRL+j
    Kind kind;
    QString trigger;
};

class PortalOutcome : public Portal, public ::testing::WithParamInterface<Outcome> {};

TEST_P(PortalOutcome, TheCarrierSaysWhatTheDesktopGranted)
{
    const Outcome& o = GetParam();
    portal->createResponse = o.createResponse;
    portal->bindResponse = o.bindResponse;
    portal->grant = [&](const QString&, const QString&) { return o.granted; };
    LogCapture logs;
    start();
    ASSERT_TRUE(waitForCarrier(o.kind)) << int(shortcuts->carrier().kind);
    EXPECT_EQ(shortcuts->carrier().trigger, o.trigger);
    EXPECT_EQ(logs.containsPrefix(QStringLiteral("⚠️ The desktop portal refused")), o.kind == Kind::unavailable);
    EXPECT_EQ(shortcuts->getShortcut(name), kCtrlJ) << "the stored preference stays";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PortalOutcome,
    ::testing::Values(Outcome{"refused_session", 2, 0, QStringLiteral("Ctrl+J"), Kind::unavailable, {}},
                      Outcome{"dialog_dismissed", 0, 1, {}, Kind::declined, {}},
                      Outcome{"empty_grant", 0, 0, {}, Kind::declined, {}},
                      Outcome{"another_key_granted", 0, 0, QStringLiteral("Ctrl+Alt+N"), Kind::portal,
                              QStringLiteral("Ctrl+Alt+N")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Portal, OnlyOurSessionsActivationsCount)
{
    start();
    ASSERT_TRUE(waitForCarrier(Kind::portal));
    // Portal 1.16 sends every app's activations to every client.
    const QString other = QStringLiteral("/org/freedesktop/portal/desktop/session/1_99/flintly");
    portal->activate(QStringLiteral("showNote"), other);
    portal->deactivate(QStringLiteral("showNote"), other);
    ASSERT_TRUE(heard(1, 1));
    EXPECT_EQ(toggles, 0);
    press();
    EXPECT_TRUE(waitForToggles(1));
}

// Plasma repeats Activated while the key is held; a portal may send no Deactivated.
TEST_F(Portal, HeldKeysToggleOnceAndAMissingReleaseIsMadeUpThenNotWaitedFor)
{
    start();
    ASSERT_TRUE(waitForCarrier(Kind::portal));
    for (int i = 0; i < 3; ++i)
        portal->activate(QStringLiteral("showNote"), portal->session());
    portal->deactivate(QStringLiteral("showNote"), portal->session());
    ASSERT_TRUE(waitForToggles(1));

    // From here on, no releases.
    portal->activate(QStringLiteral("showNote"), portal->session());
    portal->activate(QStringLiteral("showNote"), portal->session());
    ASSERT_TRUE(heard(5, 1));
    EXPECT_EQ(toggles, 1) << "the release is awaited for a while";
    time.advance(PortalPresses::kQuietMs);
    EXPECT_EQ(toggles, 2) << "then made up";
    portal->activate(QStringLiteral("showNote"), portal->session());
    EXPECT_TRUE(waitForToggles(3)) << "and no longer awaited";
    portal->activate(QStringLiteral("showNote"), portal->session());
    ASSERT_TRUE(heard(7, 1));
    EXPECT_EQ(toggles, 3) << "a repeat of that press";
    time.advance(PortalPresses::kQuietMs);
    portal->activate(QStringLiteral("showNote"), portal->session());
    EXPECT_TRUE(waitForToggles(4));
}

TEST_F(Portal, ARestartedPortalIsBoundAgainWithoutHelp)
{
    start();
    ASSERT_TRUE(waitForCarrier(Kind::portal));
    portal.reset();
    ASSERT_TRUE(waitForCarrier(Kind::pending));
    portal = std::make_unique<StandInPortal>(bus);
    ASSERT_TRUE(waitForCarrier(Kind::portal));
    EXPECT_EQ(portal->members().first(), QStringLiteral("Register")) << "the new portal hears it again";
    EXPECT_TRUE(portal->members().contains(QStringLiteral("CreateSession")));
    press();
    EXPECT_TRUE(waitForToggles(1));
}

TEST_F(Portal, ABusActivatedPortalThatIsGoneIsAskedAgainAfterAWhile)
{
    start();
    ASSERT_TRUE(waitForCarrier(Kind::portal));
    portal.reset();
    ASSERT_TRUE(waitForCarrier(Kind::pending));
    time.advance(PortalKeyGrabBackend::kReconnectDelayMs);
    ASSERT_TRUE(waitForCarrier(Kind::unavailable)) << "nobody answers the retry";
    portal = std::make_unique<StandInPortal>(bus);
    EXPECT_TRUE(waitForCarrier(Kind::portal));
}

// A desktop keeps the key it first granted to an id (Plasma 5.27 does), so a new
// shortcut is a new session under an id of its own.
TEST_F(Portal, ANewShortcutClosesTheSessionAndBindsInANewOne)
{
    start();
    ASSERT_TRUE(waitForCarrier(Kind::portal));
    const QString first = portal->session();
    portal->calls.clear();
    shortcuts->setShortcut(kCtrlK, name);
    ASSERT_TRUE(waitFor([&] { return shortcuts->carrier().trigger == QLatin1String("CTRL+k"); }));
    const QStringList members = portal->members();
    ASSERT_EQ(members.count(QStringLiteral("CreateSession")), 1);
    ASSERT_LT(members.indexOf(QStringLiteral("Close")), members.indexOf(QStringLiteral("CreateSession")));
    EXPECT_EQ(portal->calls[members.indexOf(QStringLiteral("Close"))].session, first);
    const StandInPortal::Call bind = portal->calls[members.indexOf(QStringLiteral("BindShortcuts"))];
    EXPECT_EQ(bind.shortcutIds, QStringList{QStringLiteral("showNote-ctrl-k")});
    EXPECT_EQ(bind.preferredTriggers, QStringList{QStringLiteral("CTRL+k")});

    press(QStringLiteral("showNote"));
    ASSERT_TRUE(heard(1, 1));
    EXPECT_EQ(toggles, 0) << "the old id is no longer ours";
    press(QStringLiteral("showNote-ctrl-k"));
    EXPECT_TRUE(waitForToggles(1));

    portal->calls.clear();
    shortcuts->setShortcut(kCtrlJ, name);
    ASSERT_TRUE(waitFor([&] { return shortcuts->carrier().trigger == QLatin1String("Ctrl+J"); }));
    EXPECT_EQ(portal->calls.last().shortcutIds, QStringList{QStringLiteral("showNote")}) << "the default's own id";
}

TEST_F(Portal, VersionTwoOffersTheDesktopsSettingsFollowsTheirChangesAndPassesTheActivationToken)
{
    portal->version = 2;
    portal->sessionHandleAsPath = true;
    start();
    ASSERT_TRUE(waitFor([&] { return shortcuts->carrier().canConfigure; }));
    shortcuts->configureInDesktop();
    ASSERT_TRUE(waitFor([&] { return portal->members().contains(QStringLiteral("ConfigureShortcuts")); }));
    EXPECT_EQ(portal->calls.last().session, portal->session());
    portal->changeShortcut(QStringLiteral("showNote"), QStringLiteral("Meta+N"));
    EXPECT_TRUE(waitFor([&] { return shortcuts->carrier().trigger == QLatin1String("Meta+N"); }));

    QString token;
    shortcuts->onKeyUp(name, &context, [&] { token = shortcuts->activation().token; });
    portal->activate(QStringLiteral("showNote"), portal->session(), QStringLiteral("token-42"));
    portal->deactivate(QStringLiteral("showNote"), portal->session());
    ASSERT_TRUE(waitForToggles(1));
    EXPECT_EQ(token, QStringLiteral("token-42")) << "the press's token, at the release";
}

TEST(PortalTrigger, IsTheShortcutsFormatOfTheStoredKey)
{
    const UsKeyboardLayout us;
    EXPECT_EQ(portalTrigger(kCtrlJ, us), QStringLiteral("CTRL+j"));
    EXPECT_EQ(portalTrigger(
                  Shortcut(Key::f5,
                           ModifierFlag::command | ModifierFlag::option | ModifierFlag::shift | ModifierFlag::control),
                  us),
              QStringLiteral("CTRL+ALT+SHIFT+LOGO+F5"));
    EXPECT_EQ(portalTrigger(Shortcut(Key::space, ModifierFlag::option), us), QStringLiteral("ALT+space"));
    EXPECT_EQ(portalTrigger(Shortcut(Key::j, ModifierFlag::function), us), std::nullopt);
}

TEST(KeyGrabPath, WaylandSessionsUseThePortalOrNothingNeverAnX11Grab)
{
    QProcessEnvironment x11, wayland, waylandDisplay;
    x11.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("x11"));
    wayland.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    waylandDisplay.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
    EXPECT_EQ(chooseKeyGrabPath(wayland, true, true), KeyGrabPath::portal);
    EXPECT_EQ(chooseKeyGrabPath(waylandDisplay, true, true), KeyGrabPath::portal);
    EXPECT_EQ(chooseKeyGrabPath(wayland, false, true), KeyGrabPath::none);
    EXPECT_EQ(chooseKeyGrabPath(x11, true, true), KeyGrabPath::x11);
    EXPECT_EQ(chooseKeyGrabPath(x11, true, false), KeyGrabPath::none);
}

}  // namespace

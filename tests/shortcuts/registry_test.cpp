#include "FakeKeyGrabBackend.h"

#include "platform/SettingsStore.h"
#include "shortcuts/GlobalShortcuts.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace flintly;
using namespace flintly::shortcuts;
using flintly::test::FakeKeyGrabBackend;
using flintly::test::pressGrabbed;

namespace {

const Shortcut kCommandJ(Key::j, ModifierFlag::command);
const Shortcut kCommandK(Key::k, ModifierFlag::command);

class Registry : public ::testing::Test {
protected:
    Registry()
        : store(dir.filePath(QStringLiteral("Flintly.conf"))),
          shortcuts(store, std::make_unique<FakeKeyGrabBackend>(backend))
    {}

    bool press(const Shortcut& s) { return pressGrabbed(backend, s, true) && pressGrabbed(backend, s, false); }

    QTemporaryDir dir;
    SettingsStore store;
    FakeKeyGrabBackend::State backend;
    GlobalShortcuts shortcuts;
    QObject context;
    QStringList ran;
};

}  // namespace

TEST_F(Registry, PressRunsKeyDownAndReleaseRunsKeyUpInOrder)
{
    const Name name = shortcuts.declare(QStringLiteral("showNote"), kCommandJ);
    shortcuts.onKeyDown(name, &context, [&] { ran << "down1"; });
    shortcuts.onKeyDown(name, &context, [&] { ran << "down2"; });
    shortcuts.onKeyUp(name, &context, [&] { ran << "up"; });
    ASSERT_TRUE(press(kCommandJ));
    EXPECT_EQ(ran, (QStringList{"down1", "down2", "up"}));
}

TEST_F(Registry, ActionsFollowTheStoredShortcutNotTheOneBoundAtFirst)
{
    const Name name = shortcuts.bindKeyUp(QStringLiteral("showNote"), kCommandJ, &context, [&] { ran << "toggle"; });
    shortcuts.setShortcut(kCommandK, name);
    EXPECT_FALSE(press(kCommandJ)) << "the old hotkey is released";
    EXPECT_TRUE(press(kCommandK));
    EXPECT_EQ(ran, QStringList{"toggle"});
}

TEST_F(Registry, ActionDiesWithItsContextAndTheLastOneGoingReleasesTheKey)
{
    auto first = std::make_unique<QObject>();
    auto second = std::make_unique<QObject>();
    const Name name = shortcuts.bindKeyUp(QStringLiteral("showNote"), kCommandJ, first.get(), [&] { ran << "first"; });
    shortcuts.onKeyDown(name, second.get(), [&] { ran << "second"; });

    first.reset();
    ASSERT_TRUE(press(kCommandJ)) << "another listener is still there";
    EXPECT_EQ(ran, QStringList{"second"});

    second.reset();
    EXPECT_TRUE(backend.grabs.isEmpty()) << "nobody listens: the key goes back to the other programs";
    EXPECT_FALSE(press(kCommandJ));

    shortcuts.onKeyUp(name, &context, [&] { ran << "again"; });
    EXPECT_TRUE(press(kCommandJ));
    EXPECT_EQ(ran, (QStringList{"second", "again"}));
}

TEST_F(Registry, MenuOpenReleasesGrabsAndClosingRegrabsUnderTheOldIds)
{
    const Name name = shortcuts.bindKeyUp(QStringLiteral("showNote"), kCommandJ, &context, [&] { ran << "up"; });
    const QList<quint32> ids = backend.grabs.keys();
    ASSERT_EQ(ids.size(), 1);

    shortcuts.registry().setMenuOpen(true);
    EXPECT_TRUE(backend.grabs.isEmpty());
    EXPECT_EQ(shortcuts.registry().hotKeys().size(), 1u);
    // The menu's key events stand in for the grab.
    EXPECT_TRUE(shortcuts.registry().handleRawKey(Key::j.rawValue, CarbonModifier::command | 0x400, false));
    EXPECT_FALSE(shortcuts.registry().handleRawKey(Key::k.rawValue, CarbonModifier::command, false));
    EXPECT_EQ(ran, QStringList{"up"});

    shortcuts.registry().setMenuOpen(false);
    EXPECT_EQ(backend.grabs.keys(), ids);
    EXPECT_TRUE(press(kCommandJ));
    EXPECT_EQ(ran.size(), 2);
}

TEST_F(Registry, AHotkeyTakenWhileTheMenuWasOpenIsDroppedWithTheError)
{
    test::LogCapture logs;
    shortcuts.bindKeyUp(QStringLiteral("showNote"), kCommandJ, &context, [] {});
    shortcuts.registry().setMenuOpen(true);
    backend.heldElsewhere.insert(kCommandJ);
    shortcuts.registry().setMenuOpen(false);
    EXPECT_TRUE(logs.contains(QStringLiteral("Error registering hotkey ⌘J: 10")));
    EXPECT_TRUE(shortcuts.registry().hotKeys().empty());
}

TEST_F(Registry, DisabledHoldsNoKeysAndIgnoresEvents)
{
    const Name name = shortcuts.bindKeyUp(QStringLiteral("showNote"), kCommandJ, &context, [&] { ran << "up"; });
    const quint32 id = backend.grabs.firstKey();
    shortcuts.setEnabled(false);
    EXPECT_TRUE(backend.grabs.isEmpty());
    EXPECT_FALSE(backend.handler(id, false));

    // Registered while disabled: kept, but the key stays free for other programs.
    shortcuts.bindKeyUp(QStringLiteral("other"), kCommandK, &context, [&] { ran << "other"; });
    EXPECT_TRUE(backend.grabs.isEmpty());

    shortcuts.setEnabled(true);
    EXPECT_EQ(backend.grabs.size(), 2);
    EXPECT_TRUE(press(kCommandK));
    EXPECT_EQ(ran, QStringList{"other"});
}

TEST_F(Registry, DisableKeepsTheStoredShortcutAndEnableRegistersItAgain)
{
    const Name name = shortcuts.bindKeyUp(QStringLiteral("showNote"), kCommandJ, &context, [&] { ran << "up"; });
    shortcuts.disable({name});
    EXPECT_TRUE(backend.grabs.isEmpty());
    EXPECT_EQ(shortcuts.getShortcut(name), kCommandJ);
    shortcuts.enable({name});
    EXPECT_TRUE(press(kCommandJ));
    EXPECT_EQ(ran.size(), 1);
}

TEST_F(Registry, RemoveAllHandlersReleasesTheirHotkeys)
{
    const Name name = shortcuts.bindKeyUp(QStringLiteral("showNote"), kCommandJ, &context, [&] { ran << "up"; });
    shortcuts.removeAllHandlers();
    EXPECT_TRUE(backend.grabs.isEmpty());
    // Binding again works from scratch.
    shortcuts.onKeyUp(name, &context, [&] { ran << "again"; });
    EXPECT_TRUE(press(kCommandJ));
    EXPECT_EQ(ran, QStringList{"again"});
}

TEST_F(Registry, StreamsYieldTheirEventsAndTheLastOneEndingReleasesTheKey)
{
    const Name name = shortcuts.declare(QStringLiteral("stream"));
    shortcuts.setShortcut(kCommandK, name);
    shortcuts.removeAllHandlers();
    shortcuts.disable({name});
    ASSERT_TRUE(backend.grabs.isEmpty());

    auto all = shortcuts.events(name);
    auto upsOnly = shortcuts.events(EventType::keyUp, name);
    QList<EventType> seenAll, seenUps;
    QObject::connect(all.get(), &ShortcutEventStream::received, &context, [&](EventType t) { seenAll << t; });
    QObject::connect(upsOnly.get(), &ShortcutEventStream::received, &context, [&](EventType t) { seenUps << t; });
    ASSERT_TRUE(press(kCommandK));
    EXPECT_EQ(seenAll, (QList<EventType>{EventType::keyDown, EventType::keyUp}));
    EXPECT_EQ(seenUps, QList<EventType>{EventType::keyUp});

    all.reset();
    EXPECT_EQ(backend.grabs.size(), 1) << "one stream still listens";
    upsOnly.reset();
    EXPECT_TRUE(backend.grabs.isEmpty());
}

TEST_F(Registry, AStreamEndingKeepsTheHotkeyOfAClosureHandler)
{
    const Name name = shortcuts.bindKeyUp(QStringLiteral("showNote"), kCommandJ, &context, [&] { ran << "up"; });
    shortcuts.events(name).reset();
    EXPECT_TRUE(press(kCommandJ));
    EXPECT_EQ(ran.size(), 1);
}

TEST_F(Registry, AStreamMayOutliveItsShortcuts)
{
    FakeKeyGrabBackend::State grabs;
    auto owner = std::make_unique<GlobalShortcuts>(store, std::make_unique<FakeKeyGrabBackend>(grabs));
    const Name name = owner->declare(QStringLiteral("x"), kCommandK);
    auto stream = owner->events(name);
    int received = 0;
    QObject::connect(stream.get(), &ShortcutEventStream::received, [&] { ++received; });
    ASSERT_TRUE(pressGrabbed(grabs, kCommandK, true));
    EXPECT_EQ(received, 1);
    owner.reset();
    const auto grabsLeft = grabs.grabs;
    // A call back into the destroyed owner here is what the sanitizer run catches.
    stream.reset();
    EXPECT_EQ(grabs.grabs, grabsLeft) << "an orphaned stream touches no grab";
}

TEST(NoXServer, OneLineSaysSoAndEverythingElseWorks)
{
    // This program runs on the offscreen platform, as the app would with no X server.
    test::LogCapture logs;
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("Flintly.conf")));
    GlobalShortcuts shortcuts(store);
    EXPECT_EQ(logs.lines().size(), 1);
    EXPECT_TRUE(logs.containsPrefix(QStringLiteral("⚠️ Global shortcuts are unavailable: no X11 display")));

    QObject context;
    const Name name = shortcuts.bindKeyUp(QStringLiteral("showNote"), kCommandJ, &context, [] {});
    EXPECT_EQ(shortcuts.getShortcut(name), kCommandJ);
    EXPECT_FALSE(shortcuts.isTakenBySystem(kCommandK));
    EXPECT_EQ(logs.lines().size(), 1) << "registering prints no errors";
}

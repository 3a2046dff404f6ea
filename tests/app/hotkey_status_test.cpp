#include "app/HotkeyStatus.h"
#include "platform/SettingsStore.h"
#include "shortcuts/FakeKeyGrabBackend.h"
#include "shortcuts/GlobalShortcuts.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

using namespace flintly;
using flintly::shortcuts::HotkeyCarrier;
using Kind = HotkeyCarrier::Kind;

TEST(HotkeyStatus, FollowsTheCarrierAndOpensTheDesktopsSettingsWhereItCan)
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("Flintly.conf")));
    test::FakeKeyGrabBackend::State backend;
    shortcuts::GlobalShortcuts shortcuts(store, std::make_unique<test::FakeKeyGrabBackend>(backend));
    QWidget window;
    HotkeyStatus& status = *new HotkeyStatus(shortcuts, &window);
    window.show();
    EXPECT_FALSE(status.isVisible()) << "an X11 grab: the recorder says it all";

    backend.changeCarrier(HotkeyCarrier::of(Kind::portal, QStringLiteral("Ctrl+Alt+J")));
    EXPECT_TRUE(status.isVisible());
    EXPECT_EQ(status.text()->text(), QStringLiteral("Set by the desktop: Ctrl+Alt+J"));
    EXPECT_FALSE(status.configureButton()->isVisible()) << "version 1 cannot open them";

    backend.changeCarrier(HotkeyCarrier::of(Kind::declined, {}, true));
    EXPECT_EQ(status.text()->text(), QStringLiteral("Declined in the desktop's dialog"));
    ASSERT_TRUE(status.configureButton()->isVisible());
    status.configureButton()->click();
    EXPECT_EQ(backend.configures, 1);

    backend.changeCarrier(HotkeyCarrier::of(Kind::unavailable));
    EXPECT_EQ(status.text()->text(), QStringLiteral("Not available on this desktop"));
    EXPECT_FALSE(status.configureButton()->isVisible());
}

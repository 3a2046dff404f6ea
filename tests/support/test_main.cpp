#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>

#ifdef FLINTLY_TEST_GUI
#include "support/PrivateXServer.h"

#include <QApplication>
#include <optional>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

namespace flintly::test {
void setTemporaryRoot(const QString& root);
}

int main(int argc, char** argv)
{
    QTemporaryDir home(QDir::tempPath() + "/flintly-test-XXXXXX");
    const QByteArray root = home.path().toUtf8();
    setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
    setenv("XDG_CACHE_HOME", (root + "/cache").constData(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
    // GSettings (GNOME's keybindings) in memory only: a test run on a desktop never
    // reaches the user's dconf.
    setenv("GSETTINGS_BACKEND", "memory", 1);
    QDir().mkpath(home.path() + "/config");
    QDir().mkpath(home.path() + "/cache");
    flintly::test::setTemporaryRoot(home.path());
    // Windows and key grabs go to the test's own X server (xvfb-run); run from a Wayland
    // desktop, the tests must not send the hotkey to that desktop's portal. Tests of the
    // portal path inside a desktop of their own say so.
    if (!qEnvironmentVariableIsSet("FLINTLY_TEST_WAYLAND")) {
        unsetenv("WAYLAND_DISPLAY");
        setenv("XDG_SESSION_TYPE", "x11", 1);
    }

#ifdef FLINTLY_TEST_GUI
    std::optional<flintly::test::PrivateXServer> server;
    if (qEnvironmentVariableIsSet("FLINTLY_TEST_OWN_DISPLAY") && !server.emplace().isRunning())
        return 1;
#endif
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

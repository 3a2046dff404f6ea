// The built app on a real KDE Plasma desktop (KWin with XWayland, kglobalaccel, the
// desktop portal and its KDE backend), started headless by kde_portal_test.sh: real key
// presses through KWin reach Flintly only through the portal.
#include "support/RunningApp.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>

using namespace flintly::test;

namespace {

// evdev codes, as KWin's fake input takes them.
constexpr int kCtrl = 29;
constexpr int kJ = 36;
constexpr int kK = 37;

class KdePortal : public RunningApp {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("KDE_PORTAL_FAKEKEY"))
            GTEST_SKIP() << "runs inside the KDE desktop of kde_portal_test.sh";
        RunningApp::SetUp();
        // The app sees the desktop as a Wayland session, as on a real one.
        const QProcessEnvironment desktop = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "XDG_RUNTIME_DIR"})
            env.insert(QString::fromLatin1(name), desktop.value(QString::fromLatin1(name)));
    }

    // Presses keys through KWin, as a keyboard would: held together, released in reverse.
    void keys(std::initializer_list<int> codes, int holdMs = 150)
    {
        QStringList args{QStringLiteral("-h"), QString::number(holdMs)};
        for (int code : codes)
            args << QString::number(code);
        QProcess fake;
        fake.start(qEnvironmentVariable("KDE_PORTAL_FAKEKEY"), args);
        ASSERT_TRUE(fake.waitForFinished(10000));
        ASSERT_EQ(fake.exitCode(), 0) << fake.readAllStandardError().toStdString();
    }
    void type(const QList<int>& codes)
    {
        for (int code : codes)
            keys({code}, 20);
    }

    void startAndWaitForTheDesktopsKey(const QString& trigger)
    {
        log_.clear();
        start();
        ASSERT_TRUE(waitForPanel(true)) << output().right(3000).toStdString();
        ASSERT_TRUE(waitFor([&] { return output().contains(QStringLiteral("set by the desktop: ") + trigger); }, 30000))
            << output().right(3000).toStdString();
        ASSERT_TRUE(waitForPageText()) << "the editor is ready";
    }

    QString portalBackendLog() const
    {
        QFile f(qEnvironmentVariable("KDE_PORTAL_DIR") + QStringLiteral("/xdpk.log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QString storedShortcut() const
    {
        return QSettings(settingsPath(), QSettings::IniFormat)
            .value(QStringLiteral("GlobalShortcuts_showNote"))
            .toString();
    }
};

TEST_F(KdePortal, TheHotkeyTogglesThePanelWithTheFocusSurvivesARestartAndFollowsANewShortcut)
{
    startAndWaitForTheDesktopsKey(QStringLiteral("Ctrl+J"));
    const QString panel = visiblePanel();
    keys({kCtrl, kJ});
    ASSERT_TRUE(waitForPanel(false, 10000)) << "the shown panel hides";

    // Another program has the keyboard when the hotkey brings the panel back.
    const QString otherWindow = startOtherProgram(QStringLiteral("300x100+40+40"));
    ASSERT_FALSE(otherWindow.isEmpty());
    xdotool({QStringLiteral("windowactivate"), otherWindow});
    ASSERT_TRUE(waitFor([&] { return xdotool({QStringLiteral("getwindowfocus")}) == otherWindow; }, 5000));

    keys({kCtrl, kJ});
    ASSERT_TRUE(waitForPanel(true, 10000)) << "the next one shows it";
    ASSERT_TRUE(waitFor([&] { return xdotool({QStringLiteral("getwindowfocus")}) == panel; }, 5000))
        << "the keyboard is the panel's";
    type({35, 18, 38, 38, 24});  // h e l l o
    EXPECT_TRUE(waitFor([&] { return readFile(note(QStringLiteral("hello.md"))) == "hello"; }, 15000))
        << "typing lands in the note\n"
        << output().right(2000).toStdString();

    // Plasma 5.27 bound the key from CreateSession; BindShortcuts would have asked for
    // System Settings.
    EXPECT_FALSE(portalBackendLog().contains(QStringLiteral("BindShortcuts"))) << portalBackendLog().toStdString();
    EXPECT_FALSE(portalBackendLog().contains(QStringLiteral("kde-open"))) << portalBackendLog().toStdString();

    // Quit Flintly (Ctrl+Q in the note) and start it again: the fixed session token
    // finds the desktop's key again.
    keys({kCtrl, 16});
    ASSERT_TRUE(app.waitForFinished(15000)) << output().right(2000).toStdString();
    startAndWaitForTheDesktopsKey(QStringLiteral("Ctrl+J"));
    keys({kCtrl, kJ});
    ASSERT_TRUE(waitForPanel(false, 10000)) << "after a restart";
    keys({kCtrl, kJ});
    ASSERT_TRUE(waitForPanel(true, 10000));

    // A new shortcut from the recorder: Settings (Ctrl+,) opens with the theme picker
    // focused, the recorder is the second stop of Tab from there, then the new keys.
    keys({kCtrl, 51});
    ASSERT_TRUE(waitFor(
        [&] {
            return xdotool({QStringLiteral("getwindowfocus"), QStringLiteral("getwindowname")})
                == QLatin1String("Flintly Settings");
        },
        10000));
    for (int i = 0; i < 2; ++i)
        keys({15}, 20);
    keys({kCtrl, kK});
    ASSERT_TRUE(waitFor([&] { return storedShortcut().contains(QLatin1String("\"carbonKeyCode\":40")); }, 5000))
        << storedShortcut().toStdString();
    keys({kCtrl, 17});  // Ctrl+W closes the settings
    ASSERT_TRUE(waitFor([&] { return output().contains(QStringLiteral("set by the desktop: Ctrl+K")); }, 15000))
        << output().right(2000).toStdString();

    ASSERT_FALSE(visiblePanel().isEmpty());
    // Ctrl+J no longer toggles: had it hidden the panel, Ctrl+K would show it again.
    keys({kCtrl, kJ});
    keys({kCtrl, kK});
    EXPECT_TRUE(waitForPanel(false, 10000)) << "Ctrl+K toggles, Ctrl+J does not";
    keys({kCtrl, kK});
    EXPECT_TRUE(waitForPanel(true, 10000));
}

}  // namespace

// The built app, run as a person would run it, on the test's X server (or on one of its
// own, with a real window manager).
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <csignal>

namespace {

class RunningApp : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs an X server";
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "needs xdotool";
        QDir().mkpath(home.filePath(QStringLiteral("config/Flintly")));
        QDir().mkpath(notes());
        writeSettings(QStringLiteral("0.1.0"));
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        app.setProcessChannelMode(QProcess::MergedChannels);
    }

    void TearDown() override
    {
        for (QProcess* p : {&app, &other}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    void writeSettings(const QString& lastSeenVersion)
    {
        QFile conf(settingsPath());
        conf.open(QIODevice::WriteOnly);
        conf.write("[General]\nflintlyHasOnboarded=true\nflintlyLastSeenVersion=" + lastSeenVersion.toUtf8()
                   + "\ndidInsertQuickGuide=true\nflintlySaveFolder=" + QUrl::fromLocalFile(notes()).toEncoded()
                   + "\n");
    }
    QString settingsPath() const { return home.filePath(QStringLiteral("config/Flintly/Flintly.conf")); }
    QString notes() const { return home.filePath(QStringLiteral("Notes")); }

    void startApp()
    {
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(FLINTLY_BINARY), {});
    }

    // A later launch; its exit code, or -1 when it did not end by itself.
    int run(const QStringList& args, const QProcessEnvironment& environment)
    {
        QProcess p;
        p.setProcessEnvironment(environment);
        p.start(QStringLiteral(FLINTLY_BINARY), args);
        if (!p.waitForFinished(15000))
            return -1;
        return p.exitCode();
    }
    int run(const QStringList& args) { return run(args, env); }

    // A tool's output, run on the app's display.
    QString output(const QString& program, const QStringList& args)
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, args);
        p.waitForFinished(5000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    QString xdotool(const QStringList& args) { return output(QStringLiteral("xdotool"), args); }

    // The note panel's window id while it is mapped; empty otherwise. Only the app's
    // own: other test programs on the same display show windows of that name too.
    QString visiblePanel()
    {
        return xdotool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                        QStringLiteral("--pid"), QString::number(app.processId()), QStringLiteral("--name"),
                        QStringLiteral("^Flintly$")});
    }

    bool waitFor(const std::function<bool()>& done, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (done())
                return true;
            QThread::msleep(100);
        }
        return false;
    }
    bool waitForPanel(bool visible, int ms = 30000)
    {
        return waitFor([&] { return visiblePanel().isEmpty() != visible; }, ms);
    }

    QTemporaryDir home;
    QProcessEnvironment env;
    QProcess app;
    QProcess other;
};

TEST_F(RunningApp, OneInstanceTheHotkeyToggleAndQuittingWithPendingTyping)
{
    startApp();
    ASSERT_TRUE(app.waitForStarted());
    ASSERT_TRUE(waitForPanel(true)) << app.readAll().toStdString();

    // A second launch with --toggle hands over and leaves; the panel goes away. It comes
    // from a terminal with another environment: no runtime folder, another TMPDIR.
    QProcessEnvironment elsewhere = env;
    elsewhere.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    elsewhere.insert(QStringLiteral("TMPDIR"), home.filePath(QStringLiteral("cache")));
    EXPECT_EQ(run({QStringLiteral("--toggle")}, elsewhere), 0);
    EXPECT_TRUE(waitForPanel(false, 5000));
    // A plain second launch brings it forward.
    EXPECT_EQ(run({}), 0);
    EXPECT_TRUE(waitForPanel(true, 5000));

    // Ctrl+J from the X server, as from any other program.
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+j")});
    EXPECT_TRUE(waitForPanel(false, 5000));
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+j")});
    ASSERT_TRUE(waitForPanel(true, 5000));

    // Type, and end the app before the half-second pause is over: the typing is saved.
    const QString id = visiblePanel().section(QLatin1Char('\n'), 0, 0);
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id});
    QThread::msleep(500);
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), QStringLiteral("Quit test")});
    QThread::msleep(150);
    ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(10000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    const QString output = QString::fromUtf8(app.readAll());
    bool saved = false;
    for (const QString& f : QDir(notes()).entryList({QStringLiteral("*.md")})) {
        QFile file(QDir(notes()).filePath(f));
        file.open(QIODevice::ReadOnly);
        saved |= file.readAll().contains("Quit test");
    }
    EXPECT_TRUE(saved) << QDir(notes()).entryList().join(QLatin1Char(',')).toStdString() << "\n"
                       << output.right(3000).toStdString();
}

TEST_F(RunningApp, StartUpTellsItsStepsInTheirOrder)
{
    // The editor is made (and its page starts loading) ahead of the steps before it,
    // and what does not feed its first paint waits for it; the log tells the steps in
    // the order they have always had.
    startApp();
    ASSERT_TRUE(app.waitForStarted());
    QString output;
    const QStringList steps = {QStringLiteral("👉 SUFeedURL ="),
                               QStringLiteral("👉 ArbitraryLoads ="),
                               QStringLiteral("🚩 Analytics token:"),
                               QStringLiteral("🪵 saveFolder didSet →"),
                               QStringLiteral("🔍 loading:"),
                               QStringLiteral("🪵 NoteView sees →"),
                               QStringLiteral("🟢 SPUUpdater created ="),
                               QStringLiteral("🟢 canCheckForUpdates ="),
                               QStringLiteral("🟢 automaticallyChecksForUpdates =")};
    EXPECT_TRUE(waitFor(
        [&] {
            app.waitForReadyRead(50);
            output += QString::fromUtf8(app.readAll());
            return output.contains(steps.last());
        },
        30000));
    QStringList seen;
    const QString launch = output.mid(output.indexOf(steps.first()));
    for (const QString& line : launch.split(QLatin1Char('\n')))
        for (const QString& step : steps)
            if (line.startsWith(step))
                seen.append(step);
    EXPECT_EQ(seen.join(QLatin1Char('\n')).toStdString(), steps.join(QLatin1Char('\n')).toStdString())
        << output.toStdString();
}

TEST_F(RunningApp, QuittingUnderTheWhatsNewAlertQuitsAndTheAlertComesBackNextTime)
{
    writeSettings(QStringLiteral("0.0.1"));
    startApp();
    ASSERT_TRUE(app.waitForStarted());
    const QString pid = QString::number(app.processId());
    ASSERT_TRUE(waitFor(
        [&] {
            return !xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), pid})
                        .isEmpty();
        },
        30000))
        << "the alert is up";

    ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(10000)) << "SIGTERM under the alert quits";
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(
        QSettings(settingsPath(), QSettings::IniFormat).value(QStringLiteral("flintlyLastSeenVersion")).toString(),
        QStringLiteral("0.0.1"));
}

// Window managers with focus-stealing prevention give the focus to a newly shown window
// only for a user action newer than the last one in the focused window. The hotkey is
// such an action, but it reaches Flintly as a grabbed key the toolkit never sees.
TEST_F(RunningApp, UnderAWindowManagerTheHotkeyGivesTheShownPanelTheKeyboardFocus)
{
    for (const char* tool : {"Xvfb", "openbox", "xmessage"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            GTEST_SKIP() << "needs " << tool;
    // A server of its own: a window manager on the shared one would change how every
    // other test's windows are placed and focused. Both end with their QProcess.
    QProcess server, windowManager;
    const auto stop = qScopeGuard([&] {
        for (QProcess* p : {&windowManager, &server}) {
            p->kill();
            p->waitForFinished(3000);
        }
    });
    server.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                  QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    ASSERT_TRUE(server.waitForReadyRead(10000));
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":") + QString::fromLatin1(server.readLine()).trimmed());
    env.remove(QStringLiteral("XAUTHORITY"));
    windowManager.setProcessEnvironment(env);
    windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    ASSERT_TRUE(waitFor(
        [&] {
            return output(QStringLiteral("xprop"),
                          {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                .contains(QStringLiteral("window id"));
        },
        10000))
        << "openbox is up";

    startApp();
    QString panel;
    ASSERT_TRUE(waitFor(
        [&] {
            panel = visiblePanel();
            return !panel.isEmpty();
        },
        30000))
        << app.readAll().toStdString();
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+j")});
    ASSERT_TRUE(waitForPanel(false, 5000));

    // The user works in another program: it has the focus, from a click.
    other.setProcessEnvironment(env);
    other.start(QStringLiteral("xmessage"),
                {QStringLiteral("-geometry"), QStringLiteral("300x100+50+50"), QStringLiteral("another program")});
    QString otherWindow;
    ASSERT_TRUE(waitFor(
        [&] {
            otherWindow = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
                                   QStringLiteral("Xmessage")})
                              .section(QLatin1Char('\n'), 0, 0);
            return !otherWindow.isEmpty();
        },
        10000));
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), otherWindow, QStringLiteral("20"),
             QStringLiteral("20"), QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(waitFor([&] { return xdotool({QStringLiteral("getactivewindow")}) == otherWindow; }, 5000));

    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+j")});
    ASSERT_TRUE(waitForPanel(true, 5000));
    EXPECT_TRUE(waitFor([&] { return xdotool({QStringLiteral("getwindowfocus")}) == panel; }, 5000))
        << "focus is on " << xdotool({QStringLiteral("getwindowfocus")}).toStdString() << ", the panel is "
        << panel.toStdString();
    EXPECT_EQ(xdotool({QStringLiteral("getactivewindow")}), panel);
}

}  // namespace

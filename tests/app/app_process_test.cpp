// The built app, run as a person would run it, on the test's X server (or on one of its
// own, with a real window manager).
#include "support/RunningApp.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <csignal>

using namespace flintly::test;

namespace {

// The built app, and later launches of it fed on their standard input.
class AppProcess : public RunningApp {
protected:
    // A later launch fed `input` on its standard input; its exit code.
    int runWithInput(const QStringList& args, const QByteArray& input, QString* errors = nullptr)
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(FLINTLY_BINARY), args);
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(60000))
            return -1;
        if (errors)
            *errors = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    }
};

TEST_F(AppProcess, OneInstanceTheHotkeyToggleAndQuittingWithPendingTyping)
{
    start();
    ASSERT_TRUE(waitForPanel(true)) << output().right(3000).toStdString();

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
    pause(500);
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), QStringLiteral("Quit test")});
    pause(150);
    ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(10000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    const QString log = output();
    bool saved = false;
    for (const QString& f : QDir(notes()).entryList({QStringLiteral("*.md")})) {
        QFile file(QDir(notes()).filePath(f));
        file.open(QIODevice::ReadOnly);
        saved |= file.readAll().contains("Quit test");
    }
    EXPECT_TRUE(saved) << QDir(notes()).entryList().join(QLatin1Char(',')).toStdString() << "\n"
                       << log.right(3000).toStdString();
}

TEST_F(AppProcess, ASelectAllAndAKeystrokeCanBeUndoneFromTheHistoryEvenWithoutADisplay)
{
    start();
    ASSERT_TRUE(waitForPanel(true)) << output().right(3000).toStdString();
    ASSERT_TRUE(waitForPageText());
    focusPanel();
    type(QStringLiteral("Diary\n"), 20);
    const QString path = note(QStringLiteral("Diary.md"));
    ASSERT_TRUE(waitFor([&] { return readFile(path) == "Diary\n"; }, 10000));
    type(QStringLiteral("words worth keeping\n"), 20);
    ASSERT_TRUE(waitFor([&] { return readFile(path) == "Diary\nwords worth keeping\n"; }, 10000));
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")});
    type(QStringLiteral("Diary"), 20);
    ASSERT_TRUE(waitFor([&] { return readFile(path) == "Diary"; }, 10000)) << output().right(3000).toStdString();

    // With no display to reach, and beside the running app that holds the lock.
    QProcessEnvironment bare = env;
    bare.remove(QStringLiteral("DISPLAY"));
    bare.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    auto history = [&](const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(bare);
        p.start(QStringLiteral(FLINTLY_BINARY), QStringList{QStringLiteral("--history"), path} + args);
        p.waitForFinished(15000);
        return std::pair{p.exitCode(), p.readAllStandardOutput()};
    };
    QByteArray listing;
    ASSERT_TRUE(waitFor(
        [&] {
            listing = history({}).second;
            return listing.contains("\tbefore-deletion\n");
        },
        10000))
        << listing.constData();
    const QByteArray line = listing.split('\n')[0];
    ASSERT_TRUE(line.endsWith("\tbefore-deletion")) << listing.constData();
    const auto [code, text] = history({QStringLiteral("--print"), QString::fromLatin1(line.split('\t')[0])});
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text, QByteArray("Diary\nwords worth keeping\n"));

    // Ctrl+Shift+H shows the window of it.
    focusPanel();
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+shift+h")});
    EXPECT_TRUE(waitFor(
        [&] {
            return !toolOutput(QStringLiteral("xdotool"),
                               {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                QString::number(app.processId()), QStringLiteral("--name"),
                                QStringLiteral("^Flintly History$")})
                        .isEmpty();
        },
        10000));
}

TEST_F(AppProcess, AFileFromElsewhereOpensInTheRunningFlintlyAndIsEditedWhereItIs)
{
    const QString outside = home.filePath(QStringLiteral("Elsewhere/todo.md"));
    const QString first = home.filePath(QStringLiteral("Elsewhere/first.md"));
    QDir().mkpath(QFileInfo(outside).absolutePath());
    for (const QString& path : {outside, first}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("# " + QFileInfo(path).baseName().toUtf8() + "\n");
    }
    // The first launch opens its file too.
    start({first});
    ASSERT_TRUE(waitForPageText()) << output().right(3000).toStdString();
    EXPECT_TRUE(waitFor([&] { return output().contains(QStringLiteral("🪵 open() called for first.md")); }, 5000));
    EXPECT_EQ(run({QStringLiteral("--toggle")}), 0);
    ASSERT_TRUE(waitForPanel(false, 5000));
    const QStringList notesBefore = QDir(notes()).entryList(QDir::Files);

    // As a file manager's "Open With" runs it: the running Flintly opens it and shows it.
    const qsizetype shownBefore = output().count(QStringLiteral("flintly-trace text-set"));
    EXPECT_EQ(run({outside}), 0);
    EXPECT_TRUE(waitForPanel(true, 5000)) << "the note comes forward";
    ASSERT_TRUE(waitFor([&] { return output().count(QStringLiteral("flintly-trace text-set")) > shownBefore; }, 30000));
    EXPECT_TRUE(output().contains(QStringLiteral("🪵 open() called for todo.md")));

    // A path that is no text file: the later launch says why and fails, the note stays.
    QProcess later;
    later.setProcessEnvironment(env);
    later.start(QStringLiteral(FLINTLY_BINARY), {home.filePath(QStringLiteral("Elsewhere"))});
    ASSERT_TRUE(later.waitForFinished(15000));
    EXPECT_EQ(later.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(later.readAllStandardError()).contains(QStringLiteral("it is a folder, not a file")));

    focusPanel();
    type(QStringLiteral("typed here"), 15);
    EXPECT_TRUE(waitFor([&] { return readFile(outside).contains("typed here"); }, 10000))
        << "saved to its own path: " << readFile(outside).toStdString();
    EXPECT_EQ(QDir(notes()).entryList(QDir::Files), notesBefore) << "nothing new in the notes folder";
}

TEST_F(AppProcess, StartUpTellsItsStepsInTheirOrder)
{
    // The editor is made (and its page starts loading) ahead of the steps before it,
    // and what does not feed its first paint waits for it; the log tells the steps in
    // the order they have always had.
    start();
    const QStringList steps = {QStringLiteral("👉 SUFeedURL ="),
                               QStringLiteral("👉 ArbitraryLoads ="),
                               QStringLiteral("🚩 Analytics token:"),
                               QStringLiteral("🪵 saveFolder didSet →"),
                               QStringLiteral("🔍 loading:"),
                               QStringLiteral("🪵 NoteView sees →"),
                               QStringLiteral("🟢 SPUUpdater created ="),
                               QStringLiteral("🟢 canCheckForUpdates ="),
                               QStringLiteral("🟢 automaticallyChecksForUpdates =")};
    EXPECT_TRUE(waitFor([&] { return output().contains(steps.last()); }, 30000));
    QStringList seen;
    const QString log = output();
    const QString launch = log.mid(log.indexOf(steps.first()));
    for (const QString& line : launch.split(QLatin1Char('\n')))
        for (const QString& step : steps)
            if (line.startsWith(step))
                seen.append(step);
    EXPECT_EQ(seen.join(QLatin1Char('\n')).toStdString(), steps.join(QLatin1Char('\n')).toStdString())
        << log.toStdString();
}

TEST_F(AppProcess, QuittingUnderTheWhatsNewAlertQuitsAndTheAlertComesBackNextTime)
{
    writeSettings(QStringLiteral("0.0.1"));
    start();
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
TEST_F(AppProcess, UnderAWindowManagerTheHotkeyGivesTheShownPanelTheKeyboardFocus)
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
            return toolOutput(QStringLiteral("xprop"),
                              {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                .contains(QStringLiteral("window id"));
        },
        10000))
        << "openbox is up";

    start();
    QString panel;
    ASSERT_TRUE(waitFor(
        [&] {
            panel = visiblePanel();
            return !panel.isEmpty();
        },
        30000))
        << output().right(3000).toStdString();
    // The window manager may put the panel on screen before start-up has grabbed the
    // hotkey. The editor's page reports in a later turn of the event loop, after it.
    ASSERT_TRUE(waitFor([&] { return output().contains(QStringLiteral("flintly-trace editor-loaded")); }, 30000))
        << output().right(3000).toStdString();
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+j")});
    ASSERT_TRUE(waitForPanel(false, 5000)) << output().right(3000).toStdString();

    // The user works in another program: it has the focus, from a click.
    const QString otherWindow = startOtherProgram(QStringLiteral("300x100+50+50"));
    ASSERT_FALSE(otherWindow.isEmpty());
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

// Text from a script lands in the current note, on disk by the time the command ends,
// whether the note is on screen or not; what is not text changes nothing.
TEST_F(AppProcess, AppendedTextIsOnDiskWhenTheCommandEndsAndRefusedInputChangesNothing)
{
    start();
    ASSERT_TRUE(waitForPanel(true)) << output().right(3000).toStdString();
    ASSERT_TRUE(waitForPageText());
    const QString file = note(QStringLiteral("From a script.md"));
    EXPECT_EQ(run({QStringLiteral("--append"), QStringLiteral("From a script")}), 0);
    EXPECT_EQ(readFile(file), "From a script");

    EXPECT_EQ(run({QStringLiteral("--toggle")}), 0);
    ASSERT_TRUE(waitForPanel(false, 5000));
    EXPECT_EQ(runWithInput({QStringLiteral("--append"), QStringLiteral("-")}, "- [ ] piped in\nand more\n"), 0);
    const QByteArray both = "From a script\n\n- [ ] piped in\nand more";
    EXPECT_EQ(readFile(file), both);

    QString why;
    EXPECT_EQ(runWithInput({QStringLiteral("--append"), QStringLiteral("-")}, "caf\xe9 latin-1", &why), 1);
    EXPECT_TRUE(why.contains(QStringLiteral("not UTF-8"))) << why.toStdString();
    EXPECT_EQ(runWithInput({QStringLiteral("--append"), QStringLiteral("-")}, QByteArray(1024 * 1024 + 1, 'x'), &why),
              1);
    EXPECT_TRUE(why.contains(QStringLiteral("larger than"))) << why.toStdString();
    EXPECT_EQ(runWithInput({QStringLiteral("--append"), QStringLiteral("-")}, "\n"), 0) << "empty input does nothing";
    pause(700);  // past the autosave's pause: anything appended would be written by now
    EXPECT_EQ(readFile(file), both);
    EXPECT_TRUE(visiblePanel().isEmpty()) << "appending does not show the note";
    EXPECT_FALSE(output().contains(QStringLiteral("caf"))) << output().right(2000).toStdString();
}

TEST_F(AppProcess, AppendStartsFlintlyHiddenWhenItIsNotRunning)
{
    const QString lock = home.filePath(QStringLiteral("config/Flintly/Flintly.lock"));
    qint64 pid = 0;
    const auto stop = qScopeGuard([&] {
        if (pid <= 0)
            return;
        ::kill(static_cast<pid_t>(pid), SIGTERM);
        pollUntil([&] { return ::kill(static_cast<pid_t>(pid), 0) != 0; }, 10000);
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    });
    EXPECT_EQ(run({QStringLiteral("--append"), QStringLiteral("Caught while closed")}), 0);
    pid = readFile(lock).trimmed().toLongLong();
    ASSERT_GT(pid, 0) << "a Flintly runs and holds the lock";
    EXPECT_EQ(readFile(note(QStringLiteral("Caught while closed.md"))), "Caught while closed");

    // It started without its window: the next toggle is what shows it.
    auto shown = [&] {
        return !xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                         QString::number(pid), QStringLiteral("--name"), QStringLiteral("^Flintly$")})
                    .isEmpty();
    };
    EXPECT_FALSE(shown());
    EXPECT_EQ(run({QStringLiteral("--toggle")}), 0);
    EXPECT_TRUE(pollUntil(shown, 30000));
}

}  // namespace

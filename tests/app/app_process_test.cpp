// The built app, run as a person would run it, on the test's X server.
#include "RunningApp.h"

using namespace flintly::test;

namespace {

TEST_F(RunningApp, OneInstanceTheHotkeyToggleAndQuittingWithPendingTyping)
{
    start();
    ASSERT_TRUE(waitForPanel(true)) << output().toStdString();

    // A second launch with --toggle hands over and leaves; the panel goes away.
    EXPECT_EQ(run({QStringLiteral("--toggle")}), 0);
    EXPECT_TRUE(waitForPanel(false, 5000));
    // A plain second launch brings it forward.
    EXPECT_EQ(run({}), 0);
    EXPECT_TRUE(waitForPanel(true, 5000));

    // Ctrl+J from the X server, as from any other program.
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+j")});
    EXPECT_TRUE(waitForPanel(false, 5000));
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+j")});
    ASSERT_TRUE(waitForPanel(true, 5000));

    // Type, and end the app before the half-second pause is over: the typing is saved.
    const QString id = visiblePanel().section(QLatin1Char('\n'), 0, 0);
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), id});
    QThread::msleep(500);
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"),
                                                  QStringLiteral("Quit test")});
    QThread::msleep(150);
    ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(10000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    bool saved = false;
    for (const QString& f : QDir(notes()).entryList({QStringLiteral("*.md")})) {
        QFile file(QDir(notes()).filePath(f));
        file.open(QIODevice::ReadOnly);
        saved |= file.readAll().contains("Quit test");
    }
    EXPECT_TRUE(saved) << QDir(notes()).entryList().join(QLatin1Char(',')).toStdString() << "\n"
                       << output().right(3000).toStdString();
}

}  // namespace

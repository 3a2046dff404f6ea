// The built app, run as a person would run it, on the test's X server.
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
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
        if (QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("version")}) != 0)
            GTEST_SKIP() << "needs xdotool";
        QDir().mkpath(home.filePath(QStringLiteral("config/Flintly")));
        QDir().mkpath(notes());
        QFile conf(home.filePath(QStringLiteral("config/Flintly/Flintly.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write("[General]\nflintlyHasOnboarded=true\nflintlyLastSeenVersion=0.1.0\ndidInsertQuickGuide=true\n"
                   "flintlySaveFolder=" + QUrl::fromLocalFile(notes()).toEncoded() + "\n");
        conf.close();
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        app.setProcessEnvironment(env);
        app.setProcessChannelMode(QProcess::MergedChannels);
    }

    void TearDown() override
    {
        if (app.state() != QProcess::NotRunning) {
            app.kill();
            app.waitForFinished(5000);
        }
    }

    QString notes() const { return home.filePath(QStringLiteral("Notes")); }

    int run(const QStringList& args)
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(FLINTLY_BINARY), args);
        p.waitForFinished(15000);
        return p.exitCode();
    }

    // The note panel's window id while it is mapped; empty otherwise.
    QString visiblePanel()
    {
        QProcess p;
        p.start(QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), QStringLiteral("^Flintly$")});
        p.waitForFinished(5000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

    bool waitForPanel(bool visible, int ms = 30000)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (visiblePanel().isEmpty() != visible)
                return true;
            QThread::msleep(100);
        }
        return false;
    }

    QTemporaryDir home;
    QProcessEnvironment env;
    QProcess app;
};

TEST_F(RunningApp, OneInstanceTheHotkeyToggleAndQuittingWithPendingTyping)
{
    app.start(QStringLiteral(FLINTLY_BINARY), {});
    ASSERT_TRUE(app.waitForStarted());
    ASSERT_TRUE(waitForPanel(true)) << app.readAll().toStdString();

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

}  // namespace

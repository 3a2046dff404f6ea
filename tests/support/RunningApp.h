#pragma once

// The built app, run as a person would run it, on the test's X server.
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <csignal>

namespace flintly::test {

// Polls `done` (without an event loop) until it holds or `ms` have passed.
inline bool pollUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (done())
            return true;
        QThread::msleep(50);
    }
    return false;
}

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
        writeSettings(QStringLiteral("0.1.0"));
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("FLINTLY_TRACE"), QStringLiteral("1"));
        env.insert(QStringLiteral("FLINTLY_TRACE_STARTUP"), QStringLiteral("1"));
        app.setProcessEnvironment(env);
        app.setProcessChannelMode(QProcess::MergedChannels);
    }

    void TearDown() override
    {
        for (QProcess* p : {&other, &app}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    // Another program's window (xmessage) at `geometry` ("WxH+X+Y"); its window id, or
    // empty when it did not appear.
    QString startOtherProgram(const QString& geometry)
    {
        other.setProcessEnvironment(env);
        other.start(QStringLiteral("xmessage"),
                    {QStringLiteral("-geometry"), geometry, QStringLiteral("another program")});
        QString window;
        waitFor(
            [&] {
                window = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
                                  QStringLiteral("Xmessage")})
                             .section(QLatin1Char('\n'), 0, 0);
                return !window.isEmpty();
            },
            10000);
        return window;
    }

    // An onboarded user with a notes folder, who last saw `lastSeenVersion`.
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
    QString note(const QString& name) const { return QDir(notes()).filePath(name); }

    static QByteArray readFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void start(const QStringList& args = {})
    {
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(FLINTLY_BINARY), args);
        ASSERT_TRUE(app.waitForStarted());
    }

    // A later launch; its exit code, or -1 when it did not end by itself.
    int run(const QStringList& args, const QProcessEnvironment& environment) const
    {
        QProcess p;
        p.setProcessEnvironment(environment);
        p.start(QStringLiteral(FLINTLY_BINARY), args);
        if (!p.waitForFinished(15000))
            return -1;
        return p.exitCode();
    }
    int run(const QStringList& args) const { return run(args, env); }

    // What a tool run on the app's display prints.
    QString toolOutput(const QString& program, const QStringList& args, int ms = 30000) const
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, args);
        p.waitForFinished(ms);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    QString xdotool(const QStringList& args) const { return toolOutput(QStringLiteral("xdotool"), args); }

    // The note panel's window id while it is mapped; empty otherwise. Only the app's
    // own: other test programs on the same display show windows of that name too.
    QString visiblePanel() const
    {
        return toolOutput(QStringLiteral("xdotool"),
                          {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                           QStringLiteral("--pid"), QString::number(app.processId()), QStringLiteral("--name"),
                           QStringLiteral("^Flintly$")},
                          5000);
    }

    bool waitForPanel(bool visible, int ms = 30000)
    {
        return waitFor([&] { return visiblePanel().isEmpty() != visible; }, ms);
    }

    // Waits for `done`, reading the app's output meanwhile: an app whose output pipe is
    // full stops at its next log line.
    bool waitFor(const std::function<bool()>& done, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            output();
            if (done())
                return true;
            if (app.state() == QProcess::Running)
                app.waitForReadyRead(50);
            else
                QThread::msleep(50);
        }
        return false;
    }

    // Lets `ms` pass while the app's output is read.
    void pause(int ms)
    {
        waitFor([] { return false; }, ms);
    }

    // Standard output and error of the app so far (kept, so later reads see all of it).
    QString output()
    {
        pending_ += app.readAll();
        // Only whole lines: a multi-byte character may be cut at the end of a read.
        const qsizetype end = pending_.lastIndexOf('\n');
        if (end >= 0) {
            log_ += QString::fromUtf8(pending_.left(end + 1));
            pending_.remove(0, end + 1);
        }
        return log_;
    }

    // Waits until the editor page holds the text of the given generation or a later one.
    bool waitForPageText(int ms = 60000)
    {
        return waitFor([&] { return output().contains(QStringLiteral("flintly-trace text-set")); }, ms);
    }

    void focusPanel()
    {
        const QString id = visiblePanel().section(QLatin1Char('\n'), 0, 0);
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id});
        pause(300);
    }

    // Types as a person does, a key every `delayMs`. (xdotool types a line feed as the
    // Linefeed key, which editors do not take for Return, so lines are ended with Return.)
    void type(const QString& text, int delayMs)
    {
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                xdotool({QStringLiteral("key"), QStringLiteral("Return")});
            if (!lines[i].isEmpty())
                xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QString::number(delayMs), lines[i]});
        }
    }

    QTemporaryDir home;
    QProcessEnvironment env;
    QProcess app;
    QProcess other;  // another program beside the app, for focus and clicks
    QString log_;
    QByteArray pending_;
};

}  // namespace flintly::test

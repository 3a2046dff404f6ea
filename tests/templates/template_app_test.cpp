// The built app as a person uses it, with real key presses on the test's X server: a
// folder of templates, Ctrl+T, a few letters, Down and Return, and the note on disk
// holds the template.
#include "platform/Bookmark.h"
#include "platform/SettingsStore.h"
#include "templates/TemplateTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

namespace {

QString xdotool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Polls an outcome of the other process; the app's own timers are its business.
bool eventually(const std::function<bool()>& done, int ms = 15000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QThread::msleep(50);
    }
    return true;
}

class TemplateInApp : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs an X server";
        if (QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("version")}) != 0)
            GTEST_SKIP() << "needs xdotool";
        QDir().mkpath(notes());
        QDir().mkpath(templates());
        flintly::test::writeFile(QDir(templates()).filePath(QStringLiteral("Agenda.md")), "## Agenda\n");
        flintly::test::writeFile(QDir(templates()).filePath(QStringLiteral("Retro.md")),
                                 "## Retro\n- went well\n- to change\n");
        flintly::test::writeFile(QDir(templates()).filePath(QStringLiteral("Standup.md")), "## Standup\n");

        flintly::SettingsStore settings(home.filePath(QStringLiteral("config/Flintly/Flintly.conf")));
        settings.setValue(QStringLiteral("flintlyHasOnboarded"), true);
        settings.setValue(QStringLiteral("flintlyLastSeenVersion"), QStringLiteral(FLINTLY_VERSION));
        settings.setValue(QStringLiteral("didInsertQuickGuide"), true);
        settings.setFileUrl(QStringLiteral("flintlySaveFolder"), QUrl::fromLocalFile(notes()));
        settings.setValue(QStringLiteral("TemplateFolderBookmark"), *flintly::Bookmark::create(templates()));
        settings.sync();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("FLINTLY_TRACE_STARTUP"), QStringLiteral("1"));
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
    QString templates() const { return home.filePath(QStringLiteral("Templates")); }

    QString visibleWindow(const QString& title)
    {
        return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                        QLatin1Char('^') + title + QLatin1Char('$')})
            .section(QLatin1Char('\n'), 0, 0);
    }

    // What the notes folder holds, every note's text.
    QStringList noteTexts()
    {
        QStringList texts;
        for (const QString& name : QDir(notes()).entryList({QStringLiteral("*.md")}, QDir::Files)) {
            QFile f(QDir(notes()).filePath(name));
            f.open(QIODevice::ReadOnly);
            texts.append(QString::fromUtf8(f.readAll()));
        }
        return texts;
    }

    std::string output() { return (seen += QString::fromUtf8(app.readAll())).right(3000).toStdString(); }

    QTemporaryDir home;
    QProcess app;
    QString seen;
};

TEST_F(TemplateInApp, CtrlTTypeDownReturnPutsTheTemplateIntoTheNoteOnDisk)
{
    app.start(QStringLiteral(FLINTLY_BINARY), {});
    ASSERT_TRUE(app.waitForStarted());
    ASSERT_TRUE(eventually([&] { return !visibleWindow(QStringLiteral("Flintly")).isEmpty(); })) << output();
    ASSERT_TRUE(eventually([&] {
        app.waitForReadyRead(50);
        return (seen += QString::fromUtf8(app.readAll())).contains(QStringLiteral("flintly-trace editor-loaded"));
    })) << output();
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), visibleWindow(QStringLiteral("Flintly"))});
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), QStringLiteral("Friday")});

    // Ctrl+T while the editor has the keyboard.
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+t")});
    ASSERT_TRUE(eventually([&] { return !visibleWindow(QStringLiteral("Templates")).isEmpty(); }, 5000)) << output();
    ASSERT_TRUE(eventually(
        [&] { return xdotool({QStringLiteral("getwindowfocus")}) == visibleWindow(QStringLiteral("Templates")); },
        5000));

    // "ret" narrows the list to Retro, which is not its first entry; Down, Return.
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), QStringLiteral("ret")});
    xdotool({QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Return")});
    EXPECT_TRUE(eventually([&] { return visibleWindow(QStringLiteral("Templates")).isEmpty(); }, 5000)) << output();
    const QString expected = QStringLiteral("Friday\n\n## Retro\n- went well\n- to change\n");
    EXPECT_TRUE(eventually([&] { return noteTexts().contains(expected); }))
        << noteTexts().join(u'|').toStdString() << "\n"
        << output();

    // Ctrl+T again, and Escape dismisses. (The note is focused anew: other tests on this
    // X server may have taken the keyboard meanwhile.)
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), visibleWindow(QStringLiteral("Flintly"))});
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+t")});
    ASSERT_TRUE(eventually([&] { return !visibleWindow(QStringLiteral("Templates")).isEmpty(); }, 5000)) << output();
    ASSERT_TRUE(eventually(
        [&] { return xdotool({QStringLiteral("getwindowfocus")}) == visibleWindow(QStringLiteral("Templates")); },
        5000));
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    EXPECT_TRUE(eventually([&] { return visibleWindow(QStringLiteral("Templates")).isEmpty(); }, 5000)) << output();
}

}  // namespace

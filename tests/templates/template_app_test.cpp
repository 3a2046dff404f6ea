// The built app as a person uses it, with real key presses on the test's X server: a
// folder of templates, Ctrl+T, a few letters, Down and Return, and the note on disk
// holds the template.
#include "platform/Bookmark.h"
#include "platform/SettingsStore.h"
#include "support/RunningApp.h"
#include "templates/TemplateTestSupport.h"

using namespace flintly::test;

namespace {

class TemplateInApp : public RunningApp {
protected:
    void SetUp() override
    {
        RunningApp::SetUp();
        if (IsSkipped())
            return;
        QDir().mkpath(templates());
        writeFile(QDir(templates()).filePath(QStringLiteral("Agenda.md")), "## Agenda\n");
        writeFile(QDir(templates()).filePath(QStringLiteral("Retro.md")), "## Retro\n- went well\n- to change\n");
        writeFile(QDir(templates()).filePath(QStringLiteral("Standup.md")), "## Standup\n");
        flintly::SettingsStore settings(settingsPath());
        settings.set(flintly::settingskeys::templateFolderBookmark, *flintly::Bookmark::create(templates()));
        settings.sync();
    }

    QString templates() const { return home.filePath(QStringLiteral("Templates")); }

    QString visibleWindow(const QString& title) const
    {
        return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                        QLatin1Char('^') + title + QLatin1Char('$')})
            .section(QLatin1Char('\n'), 0, 0);
    }
    bool eventually(const std::function<bool()>& done, int ms = 15000) { return waitFor(done, ms); }

    // What the notes folder holds, every note's text.
    QStringList noteTexts() const
    {
        QStringList texts;
        for (const QString& name : QDir(notes()).entryList({QStringLiteral("*.md")}, QDir::Files))
            texts.append(QString::fromUtf8(readFile(note(name))));
        return texts;
    }
};

TEST_F(TemplateInApp, CtrlTTypeDownReturnPutsTheTemplateIntoTheNoteOnDisk)
{
    start();
    ASSERT_TRUE(eventually([&] { return !visibleWindow(QStringLiteral("Flintly")).isEmpty(); }))
        << output().right(3000).toStdString();
    ASSERT_TRUE(eventually([&] { return output().contains(QStringLiteral("flintly-trace editor-loaded")); }))
        << output().right(3000).toStdString();
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), visibleWindow(QStringLiteral("Flintly"))});
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), QStringLiteral("Friday")});

    // Ctrl+T while the editor has the keyboard.
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+t")});
    ASSERT_TRUE(eventually([&] { return !visibleWindow(QStringLiteral("Templates")).isEmpty(); }, 5000))
        << output().right(3000).toStdString();
    ASSERT_TRUE(eventually(
        [&] { return xdotool({QStringLiteral("getwindowfocus")}) == visibleWindow(QStringLiteral("Templates")); },
        5000));

    // "ret" narrows the list to Retro, which is not its first entry; Down, Return.
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), QStringLiteral("ret")});
    xdotool({QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Return")});
    EXPECT_TRUE(eventually([&] { return visibleWindow(QStringLiteral("Templates")).isEmpty(); }, 5000))
        << output().right(3000).toStdString();
    const QString expected = QStringLiteral("Friday\n\n## Retro\n- went well\n- to change\n");
    EXPECT_TRUE(eventually([&] { return noteTexts().contains(expected); }))
        << noteTexts().join(u'|').toStdString() << "\n"
        << output().right(3000).toStdString();

    // Ctrl+T again, and Escape dismisses. (The note is focused anew: other tests on this
    // X server may have taken the keyboard meanwhile.)
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), visibleWindow(QStringLiteral("Flintly"))});
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+t")});
    ASSERT_TRUE(eventually([&] { return !visibleWindow(QStringLiteral("Templates")).isEmpty(); }, 5000))
        << output().right(3000).toStdString();
    ASSERT_TRUE(eventually(
        [&] { return xdotool({QStringLiteral("getwindowfocus")}) == visibleWindow(QStringLiteral("Templates")); },
        5000));
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    EXPECT_TRUE(eventually([&] { return visibleWindow(QStringLiteral("Templates")).isEmpty(); }, 5000))
        << output().right(3000).toStdString();
}

}  // namespace

// The built app loses nothing that is typed into it or written into its note by others:
// real typing through the X server, real outside writes, real signals.
#include "support/RunningApp.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <functional>
#include <thread>
#include <utility>

using namespace flintly::test;

namespace {

class TextSafetyApp : public RunningApp {
protected:
    // Replaces the file the way sync tools and editors do: a temporary, renamed over.
    static void replaceFile(const QString& path, const QByteArray& bytes)
    {
        const QString temp = path + QStringLiteral(".sync~");
        QFile f(temp);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        ASSERT_EQ(std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()), 0);
    }

    QStringList conflictCopies() const { return QDir(notes()).entryList({QStringLiteral("* (conflict *).md")}); }

    // Types in the background (xdotool runs on its own), so the test can act meanwhile.
    std::unique_ptr<QProcess> typeInBackground(const QString& text, int delayMs)
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->start(QStringLiteral("xdotool"),
                 {QStringLiteral("type"), QStringLiteral("--delay"), QString::number(delayMs), text});
        p->waitForStarted();
        return p;
    }

    QString diagnostics()
    {
        return QDir(notes()).entryList(QDir::Files).join(QStringLiteral(", ")) + QStringLiteral("\n")
            + output().right(4000);
    }
};

// A sync tool changes a word at the start of the note, then one at the start of the
// paragraph being typed at its end, while the user types: both edits end up in the note
// and on disk, and no conflict copy is made.
TEST_F(TextSafetyApp, TypingAtTheEndWhileASyncToolChangesAWordAtTheStartKeepsBoth)
{
    const QString path = note(QStringLiteral("Shared.md"));
    replaceFile(path, "Hello world, the first paragraph.\n\nThe second paragraph");
    start({path});
    ASSERT_TRUE(waitForPanel(true)) << diagnostics().toStdString();
    ASSERT_TRUE(waitForPageText());
    focusPanel();
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+End")});

    struct Sync {
        QByteArray from, to;
    };
    const QString typed(40, QLatin1Char('w'));
    for (const Sync& sync : {Sync{"Hello", "Howdy"}, Sync{"second", "2nd"}}) {
        auto typist = typeInBackground(typed, 70);  // a key every 70 ms for almost 3 s
        pause(1000);
        QByteArray theirs = readFile(path);
        theirs.replace(sync.from, sync.to);
        replaceFile(path, theirs);
        ASSERT_TRUE(waitFor([&] { return typist->waitForFinished(10); }, 30000));
    }
    const QByteArray expected =
        "Howdy world, the first paragraph.\n\nThe 2nd paragraph" + typed.toUtf8() + typed.toUtf8();
    EXPECT_TRUE(waitFor([&] { return readFile(path) == expected; }, 10000)) << diagnostics().toStdString();
    EXPECT_TRUE(conflictCopies().isEmpty()) << diagnostics().toStdString();
}

TEST_F(TextSafetyApp, TypingWithoutAPauseIsOnDiskWhenTheAppIsKilled)
{
    start();
    ASSERT_TRUE(waitForPanel(true));
    ASSERT_TRUE(waitForPageText());
    focusPanel();
    type(QStringLiteral("Ceiling\n"), 20);
    auto typist = typeInBackground(QString(110, QLatin1Char('c')), 70);  // about 8 s without a half-second pause
    pause(6500);
    ::kill(static_cast<pid_t>(app.processId()), SIGKILL);
    typist->waitForFinished(10000);
    app.waitForFinished(5000);
    output();
    const QByteArray onDisk = readFile(note(QStringLiteral("Ceiling.md")));
    EXPECT_TRUE(onDisk.startsWith("Ceiling\n" + QByteArray(50, 'c'))) << onDisk.constData() << "\n"
                                                                      << diagnostics().toStdString();
}

TEST_F(TextSafetyApp, QuittingRightAfterTypingInAThirtyMegabyteNoteKeepsTheTyping)
{
    const QString path = note(QStringLiteral("Big.md"));
    {
        QFile big(path);
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        const QByteArray line = "A paragraph of plain words, a [link](https://example.com) and a - [x] done task.\n\n";
        for (qint64 written = 0; written < 30 * 1024 * 1024; written += line.size())
            big.write(line);
    }
    const qint64 before = QFileInfo(path).size();
    start({path});
    ASSERT_TRUE(waitForPanel(true));
    ASSERT_TRUE(waitForPageText(120000)) << diagnostics().toStdString();
    focusPanel();
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+End")});
    type(QStringLiteral("THE END"), 30);
    pause(300);
    ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
    ASSERT_TRUE(waitFor([&] { return app.state() == QProcess::NotRunning; }, 30000));
    const QByteArray tail = [&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        f.seek(std::max<qint64>(0, f.size() - 64));
        return f.readAll();
    }();
    EXPECT_TRUE(tail.endsWith("THE END")) << tail.constData() << "\n" << diagnostics().toStdString();
    EXPECT_EQ(QFileInfo(path).size(), before + 7);
}

TEST_F(TextSafetyApp, ASyncToolWritingEverySixHundredMillisecondsIsFollowedToTheEnd)
{
    const QString path = note(QStringLiteral("Synced.md"));
    replaceFile(path, "version 0\n");
    start({path});
    ASSERT_TRUE(waitForPanel(true));
    ASSERT_TRUE(waitForPageText());
    for (int v = 1; v <= 20; ++v) {
        replaceFile(path, "version " + QByteArray::number(v) + "\n");
        pause(600);
    }
    pause(3000);
    EXPECT_EQ(readFile(path), QByteArray("version 20\n"));
    EXPECT_EQ(output().count(QStringLiteral("✅ 외부 변경사항 반영 완료")), 20) << diagnostics().toStdString();
    EXPECT_TRUE(conflictCopies().isEmpty());
}

TEST_F(TextSafetyApp, TextThatCannotBeSavedAtQuitIsRecoveredAndAnnouncedOnceAtTheNextStart)
{
    // Immutable: even root cannot write in it.
    if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), notes()}) != 0)
        GTEST_SKIP() << "chattr is not available here";
    bool locked = true;
    auto unlock = [&] {
        if (std::exchange(locked, false))
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), notes()});
    };
    struct Guard {
        std::function<void()> f;
        ~Guard() { f(); }
    } guard{unlock};

    start();
    ASSERT_TRUE(waitForPanel(true));
    ASSERT_TRUE(waitForPageText());
    focusPanel();
    type(QStringLiteral("Kept anyway\nin a recovery file"), 20);
    pause(1500);
    ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
    ASSERT_TRUE(waitFor([&] { return app.state() == QProcess::NotRunning; }, 30000));
    const QDir recovery(home.filePath(QStringLiteral("data/Flintly/Recovery")));
    const QStringList kept = recovery.entryList({QStringLiteral("Kept anyway *.md")});
    ASSERT_EQ(kept.size(), 1) << diagnostics().toStdString();
    EXPECT_EQ(readFile(recovery.filePath(kept[0])), QByteArray("Kept anyway\nin a recovery file"));
    unlock();

    const QString announcement =
        QStringLiteral("🛟 지난번에 저장하지 못한 내용이 복구 파일에 있습니다: ")
        + recovery.filePath(kept[0]);
    for (const bool expected : {true, false}) {
        log_.clear();
        start();
        ASSERT_TRUE(waitForPanel(true));
        EXPECT_EQ(output().contains(announcement), expected) << diagnostics().toStdString();
        ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
        ASSERT_TRUE(waitFor([&] { return app.state() == QProcess::NotRunning; }, 30000));
    }
}

// An X server of the test's own, which it can pull out from under the app.
class PrivateDisplay {
public:
    // The server picks a free display itself and says which (other test programs start
    // servers of their own at the same time; guessing a free number races with them).
    // It never resets: by default a server resets when its last client goes, and the
    // test's own probes (xdotool) come and go while the app is still connecting, which
    // then found nobody there ("could not connect to display").
    bool start()
    {
        server_.start(QStringLiteral("Xvfb"),
                      {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                       QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                       QStringLiteral("tcp"), QStringLiteral("-noreset")});
        if (!server_.waitForStarted())
            return false;
        QByteArray said;
        const bool named = pollUntil(
            [&] {
                server_.waitForReadyRead(50);
                said += server_.readAllStandardOutput();
                return said.contains('\n');
            },
            10000);
        if (!named)
            return false;
        name_ = QStringLiteral(":") + QString::fromLatin1(said.trimmed());
        // Named is not yet reachable: under a loaded machine with other servers coming
        // and going, a client has found nobody at a display the server had just named.
        return pollUntil([&] { return server_.state() == QProcess::Running && answers(); }, 10000);
    }
    void kill()
    {
        server_.kill();
        server_.waitForFinished(5000);
    }
    ~PrivateDisplay() { kill(); }
    QString name() const { return name_; }

private:
    bool answers() const
    {
        QProcess client;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), name_);
        client.setProcessEnvironment(env);
        client.start(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")});
        return client.waitForFinished(5000) && client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0;
    }

    QProcess server_;
    QString name_;
};

TEST_F(TextSafetyApp, TypingIsWrittenWhenTheXServerGoesAway)
{
    PrivateDisplay display;
    ASSERT_TRUE(display.start());
    env.insert(QStringLiteral("DISPLAY"), display.name());
    app.setProcessEnvironment(env);
    start();
    ASSERT_TRUE(waitForPanel(true)) << diagnostics().toStdString();
    ASSERT_TRUE(waitForPageText());
    focusPanel();
    type(QStringLiteral("Display gone\nlast words"), 20);
    // Long enough for the last keys to reach the page on a loaded machine, short of the
    // autosave's pause: what reaches the disk is what the lost display made the app save.
    pause(300);
    display.kill();
    ASSERT_TRUE(waitFor([&] { return app.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(readFile(note(QStringLiteral("Display gone.md"))), QByteArray("Display gone\nlast words"))
        << diagnostics().toStdString();
}

}  // namespace

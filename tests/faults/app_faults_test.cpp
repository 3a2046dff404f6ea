// The built app killed in the middle of a save by the fault shim (README.md): the note
// is the old text or the new one, whole, and the text of a save that never finished is
// found again at the next start.
#include "support/RunningApp.h"

using namespace flintly::test;

namespace {

class KilledSave : public RunningApp {
protected:
    void SetUp() override
    {
        RunningApp::SetUp();
        if (IsSkipped())
            return;
        rules = home.filePath(QStringLiteral("faults.rules"));
        env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(FLINTLY_FAULT_SHIM));
        env.insert(QStringLiteral("FLINTLY_FAULTS_FILE"), rules);
        path = note(QStringLiteral("Killed.md"));
        write(path, "old text\n");
    }

    static void write(const QString& file, const QByteArray& bytes)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    // Types at the end of the note; the save after the pause meets the rule.
    void typeUntilKilled(const QByteArray& rule)
    {
        write(rules, rule);
        start({path});
        ASSERT_TRUE(waitForPanel(true)) << output().toStdString();
        ASSERT_TRUE(waitForPageText());
        focusPanel();
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+End")});
        type(QStringLiteral("new words"), 20);
        ASSERT_TRUE(waitFor([&] { return app.state() == QProcess::NotRunning; }, 30000)) << output().toStdString();
        EXPECT_EQ(app.exitStatus(), QProcess::CrashExit);
        EXPECT_TRUE(readFile(rules + QStringLiteral(".log")).contains("kill"));
    }

    void startAgain()
    {
        QFile::remove(rules);
        log_.clear();
        start({path});
        ASSERT_TRUE(waitForPanel(true)) << output().toStdString();
        ASSERT_TRUE(waitForPageText());
    }

    QStringList hiddenLeftovers() const
    {
        return QDir(notes()).entryList({QStringLiteral(".Killed.md.*")}, QDir::Hidden | QDir::Files);
    }
    QStringList recovered() const
    {
        return QDir(home.filePath(QStringLiteral("data/Flintly/Recovery"))).entryList({QStringLiteral("Killed *.md")});
    }

    QString rules, path;
};

}  // namespace

TEST_F(KilledSave, BeforeTheRenameTheNoteKeepsTheOldTextAndTheNewIsRecovered)
{
    typeUntilKilled("rename */Notes/Killed.md kill\n");
    EXPECT_EQ(readFile(path), QByteArray("old text\n"));
    EXPECT_EQ(hiddenLeftovers().size(), 1) << "the flushed temporary is all that holds the new text";

    startAgain();
    ASSERT_TRUE(waitFor(
        [&] {
            return output().contains(
                QStringLiteral("🛟 지난번에 마치지 못한 저장의 내용을 복구 파일에 보관:"));
        },
        10000))
        << output().toStdString();
    const QStringList kept = recovered();
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(readFile(home.filePath(QStringLiteral("data/Flintly/Recovery/")) + kept[0]),
              QByteArray("old text\nnew words"));
    EXPECT_TRUE(hiddenLeftovers().isEmpty()) << "nothing hidden is left for a sync tool to spread";
    EXPECT_EQ(readFile(path), QByteArray("old text\n"));
}

TEST_F(KilledSave, RightAfterTheRenameTheNoteHoldsTheNewText)
{
    typeUntilKilled("rename */Notes/Killed.md kill-after\n");
    EXPECT_EQ(readFile(path), QByteArray("old text\nnew words"));

    startAgain();
    pause(1000);
    EXPECT_TRUE(recovered().isEmpty()) << "the version the save replaced is not unsaved text";
    EXPECT_TRUE(hiddenLeftovers().isEmpty());
    EXPECT_EQ(readFile(path), QByteArray("old text\nnew words"));
}

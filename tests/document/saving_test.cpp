#include "ModelFixture.h"

#include "document/DocumentErrors.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace flintly;
using namespace flintly::test;

using Naming = ModelFixture;

TEST_F(Naming, EmptyNotesAreUntitledThenCountedUp)
{
    auto& m = makeModel();
    settle();  // the pipeline writes the empty scratch note on its own
    EXPECT_EQ(filesIn(notes), QStringList{QStringLiteral("Untitled.md")});
    m.newNote();
    m.save();
    m.newNote();
    m.save();
    EXPECT_EQ(
        filesIn(notes),
        (QStringList{QStringLiteral("Untitled-1.md"), QStringLiteral("Untitled-2.md"), QStringLiteral("Untitled.md")}));
}

TEST_F(Naming, TheFileFollowsTheFirstLineWhileTheNoteIsNew)
{
    auto& m = makeModel();
    m.setText(QStringLiteral("\n\n   Quarterly planning meeting notes  \nbody"));
    EXPECT_EQ(m.currentFileName(), QStringLiteral("Quarterly planning m")) << "the shown name follows at once";
    m.save();
    EXPECT_EQ(QFileInfo(m.filePath()).fileName(), QStringLiteral("Quarterly planning m.md"));
    m.setText(QStringLiteral("a/b: c\nbody"));
    m.save();
    EXPECT_EQ(filesIn(notes), QStringList{QStringLiteral("ab c.md")});
    m.setText(QStringLiteral("/::/\nbody"));
    m.save();
    EXPECT_EQ(filesIn(notes), QStringList{QStringLiteral("Untitled.md")});
}

TEST_F(Naming, ACountedNameIsKeptWhileTheLineIsUnchanged)
{
    writeBytes(note(QStringLiteral("Plan.md")), "someone else's plan");
    auto& m = makeModel();
    m.setText(QStringLiteral("Plan\nv1"));
    m.save();
    EXPECT_EQ(QFileInfo(m.filePath()).fileName(), QStringLiteral("Plan-1.md"));
    m.setText(QStringLiteral("Plan\nv2"));
    m.save();
    EXPECT_EQ(QFileInfo(m.filePath()).fileName(), QStringLiteral("Plan-1.md"));
    m.setText(QStringLiteral("Plans\nv3"));
    m.save();
    EXPECT_EQ(filesIn(notes), (QStringList{QStringLiteral("Plan.md"), QStringLiteral("Plans.md")}));
    EXPECT_EQ(readBytes(note(QStringLiteral("Plan.md"))), QByteArray("someone else's plan"));
}

TEST_F(Naming, ADateTitleIsRenamedOnceMoreThenStable)
{
    auto& m = makeModel();
    m.setText(QStringLiteral("2026-03-01"));
    m.save();
    EXPECT_EQ(QFileInfo(m.filePath()).fileName(), QStringLiteral("2026-03-01.md"));
    m.save();
    EXPECT_EQ(QFileInfo(m.filePath()).fileName(), QStringLiteral("2026-03-01-1.md"));
    m.save();
    EXPECT_EQ(QFileInfo(m.filePath()).fileName(), QStringLiteral("2026-03-01-1.md"));
    EXPECT_EQ(filesIn(notes).size(), 1);
}

TEST_F(Naming, NotesFromDiskAreNeverRenamedBySaving)
{
    const QString path = note(QStringLiteral("Keep me.md"));
    writeBytes(path, "Keep me");
    auto& m = makeModel();
    m.open(QUrl::fromLocalFile(path));
    m.setText(QStringLiteral("A different first line"));
    m.save();
    EXPECT_EQ(m.filePath(), path);
    EXPECT_EQ(m.currentFileName(), QStringLiteral("Keep me.md"));
}

TEST_F(Naming, RenamingMovesTheFileButASaveOfAScratchNoteFollowsTheLineAgain)
{
    auto& m = makeModel();
    m.setText(QStringLiteral("Idea"));
    m.save();
    m.rename(QStringLiteral("  My: idea  "));
    EXPECT_EQ(m.currentFileName(), QStringLiteral("My idea"));
    EXPECT_EQ(filesIn(notes), QStringList{QStringLiteral("My idea.md")});
    m.save();
    EXPECT_EQ(filesIn(notes), QStringList{QStringLiteral("Idea.md")});
    m.setText(QStringLiteral("Idea\nmore"));
    EXPECT_EQ(m.currentFileName(), QStringLiteral("Idea"));
}

TEST_F(Naming, RenamingANoteWithoutAFileOnlyChangesTheShownName)
{
    auto& m = makeModel();
    m.setText(QStringLiteral("First line"));
    m.rename(QStringLiteral("Custom"));
    EXPECT_EQ(m.currentFileName(), QStringLiteral("Custom"));
    EXPECT_TRUE(filesIn(notes).isEmpty());
    m.setText(QStringLiteral("First line!"));
    EXPECT_EQ(m.currentFileName(), QStringLiteral("First line!"));
    m.save();
    EXPECT_EQ(filesIn(notes), QStringList{QStringLiteral("First line!.md")});
}

TEST_F(Naming, AFailedMoveKeepsTheNoteInItsFile)
{
    auto& m = makeModel();
    m.setText(QStringLiteral("Stay"));
    m.save();
    const QString before = m.filePath();
    if (!setImmutable(notes, true))
        GTEST_SKIP() << "chattr is not available here";
    LogCapture logs;
    m.rename(QStringLiteral("Elsewhere"));
    setImmutable(notes, false);
    EXPECT_EQ(m.filePath(), before);
    EXPECT_TRUE(logs.containsPrefix(QStringLiteral("❌ 파일 이름 변경 실패:")));
    m.save();
    EXPECT_EQ(filesIn(notes), QStringList{QStringLiteral("Stay.md")}) << "no second copy";
}

TEST_F(Naming, FirstSaveIsTrackedOnceWithTheCharacterCount)
{
    auto& m = makeModel();
    m.setText(QStringLiteral("한글 👍🏽\nabc"));
    m.save();
    m.setText(QStringLiteral("Renamed now"));
    m.save();
    m.rename(QStringLiteral("Other"));
    const auto events = tracker.named("first_save");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(std::get<std::int64_t>(events[0].properties.at("chars")), 8);
    EXPECT_EQ(toString(events[0].properties.at("noteId")), m.debugIDString().toStdString());
}

TEST_F(Naming, AFirstSaveThatWroteNothingLeavesTheNoteNewForTheNextTry)
{
    auto& m = makeModel();
    if (!setImmutable(notes, true))
        GTEST_SKIP() << "chattr is not available here";
    m.setText(QStringLiteral("Draft"));
    EXPECT_THROW(m.save(), FileError);
    setImmutable(notes, false);
    EXPECT_TRUE(m.filePath().isEmpty());
    m.save();
    EXPECT_EQ(tracker.named("first_save").size(), 1u) << "the save that landed is the note's first";
}

using SavePipeline = ModelFixture;

TEST_F(SavePipeline, SavesHalfASecondAfterTypingPauses)
{
    auto& m = makeModel();
    settle();
    const QDateTime firstSave = m.lastSaveTime();
    for (const char* t : {"H", "He", "Hel", "Hell", "Hello"}) {
        m.setText(QString::fromLatin1(t));
        advance(100);
        EXPECT_EQ(m.lastSaveTime(), firstSave) << "nothing is written while typing goes on";
    }
    const QDateTime lastKey = clockNow().addMSecs(-100);
    advance(399);
    EXPECT_FALSE(QFile::exists(note(QStringLiteral("Hello.md"))));
    advance(1);
    EXPECT_EQ(readBytes(note(QStringLiteral("Hello.md"))), QByteArray("Hello"));
    EXPECT_EQ(m.lastSaveTime(), lastKey.addMSecs(500));
    EXPECT_EQ(m.lastUserEditTime(), clockNow());
}

TEST_F(SavePipeline, SavingFlagCoversTheWriteAndATenthOfASecondAfter)
{
    auto& m = makeModel();
    LogCapture logs;
    m.setText(QStringLiteral("flag"));
    m.save();
    EXPECT_TRUE(m.isSaving());
    EXPECT_EQ(m.lastSaveTime(), clockNow());
    advance(99);
    EXPECT_TRUE(m.isSaving());
    advance(1);
    EXPECT_FALSE(m.isSaving());
    EXPECT_TRUE(logs.contains(QStringLiteral("🔓 저장 완료 - 플래그 해제")));
    EXPECT_TRUE(logs.contains(QStringLiteral("💾 save() start — current url: nil  | saveFolder: ") + notes));
}

TEST_F(SavePipeline, WithoutAFolderSaveThrowsAndTheTextWaitsForOne)
{
    auto& m = makeModel(false);
    m.setText(QStringLiteral("nowhere"));
    try {
        m.save();
        FAIL();
    } catch (const ModelError& e) {
        EXPECT_EQ(e.code(), ModelError::Code::noFolder);
    }
    EXPECT_FALSE(m.isSaving());

    settle();  // the pause's save found no folder either
    m.setSaveFolder(QUrl::fromLocalFile(notes));
    settle();
    EXPECT_EQ(readBytes(note(QStringLiteral("nowhere.md"))), QByteArray("nowhere"))
        << "a folder chosen later takes the text without another keystroke";
}

using DurableSaving = ModelFixture;

TEST_F(DurableSaving, KeepsPermissionsAndLeavesNoTemporaryFiles)
{
    auto& m = makeModel();
    m.setText(QStringLiteral("perm"));
    m.save();
    ::chmod(QFile::encodeName(m.filePath()).constData(), 0640);
    m.setText(QStringLiteral("perm\nagain"));
    m.save();
    struct stat st {};
    ::stat(QFile::encodeName(m.filePath()).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(filesIn(notes), QStringList{QStringLiteral("perm.md")});
}

TEST_F(DurableSaving, AFullDiskThrowsKeepsTheTextAndTheOldFile)
{
    auto& m = makeModel();
    m.setText(QStringLiteral("small"));
    m.save();
    // A file-size limit makes writes fail like a full disk, without filling one.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tiny = old;
    tiny.rlim_cur = 1024;
    setrlimit(RLIMIT_FSIZE, &tiny);
    const QString big = QStringLiteral("small\n") + QString(5000, QLatin1Char('x'));
    m.setText(big);
    EXPECT_THROW(m.save(), FileError);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(m.text(), big);
    EXPECT_FALSE(m.isSaving());
    EXPECT_EQ(readBytes(m.filePath()), QByteArray("small"));
    EXPECT_EQ(filesIn(notes), QStringList{QStringLiteral("small.md")});
    m.save();
    EXPECT_EQ(readBytes(m.filePath()), big.toUtf8());
}

TEST_F(DurableSaving, AReadOnlyFolderThrowsAndTheNextPauseTriesAgain)
{
    auto& m = makeModel();
    m.setText(QStringLiteral("ro"));
    m.save();
    if (!setImmutable(notes, true))
        GTEST_SKIP() << "chattr is not available here";
    m.setText(QStringLiteral("ro\nchanged"));
    try {
        m.save();
        ADD_FAILURE() << "save succeeded in a read-only folder";
    } catch (const FileError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Operation not permitted"))) << e.what();
    }
    setImmutable(notes, false);
    m.setText(QStringLiteral("ro\nchanged twice"));
    settle();
    EXPECT_EQ(readBytes(note(QStringLiteral("ro.md"))), QByteArray("ro\nchanged twice"));
}

TEST_F(DurableSaving, AVanishedFolderIsRecreatedByTheNextSave)
{
    auto& m = makeModel();
    m.setText(QStringLiteral("survivor"));
    m.save();
    QDir(notes).removeRecursively();
    m.setText(QStringLiteral("survivor\nstill here"));
    m.save();
    EXPECT_EQ(readBytes(note(QStringLiteral("survivor.md"))), QByteArray("survivor\nstill here"));
}

TEST_F(DurableSaving, AnOutsideVersionAboutToBeOverwrittenIsKeptAsAConflictCopy)
{
    auto& m = makeModel();
    m.setText(QStringLiteral("Shared\nmine"));
    m.save();
    writeBytes(m.filePath(), "Shared\ntheirs, synced in");
    LogCapture logs;
    m.setText(QStringLiteral("Shared\nours, more"));  // the same word changed on both sides
    m.save();
    const QString copy = QStringLiteral("Shared (conflict %1).md")
                             .arg(clockNow().toLocalTime().toString(QStringLiteral("yyyy-MM-dd HHmmss")));
    EXPECT_EQ(readBytes(note(copy)), QByteArray("Shared\ntheirs, synced in"));
    EXPECT_EQ(readBytes(note(QStringLiteral("Shared.md"))), QByteArray("Shared\nours, more"));
    EXPECT_TRUE(logs.containsPrefix(QStringLiteral("⚠️ 외부 변경과 충돌 - 사본 보관:")));

    // Our own saves never produce copies.
    m.setText(QStringLiteral("Shared\nmine, again"));
    m.save();
    EXPECT_EQ(filesIn(notes).size(), 2);
}

TEST_F(Naming, HostileTitlesNeverWriteOutsideTheNotesFolder)
{
    auto& m = makeModel();
    const QStringList titles = {QStringLiteral("../../escaped"),
                                QStringLiteral("/etc/passwd"),
                                QStringLiteral("a:b"),
                                QStringLiteral("..\\..\\win"),
                                QStringLiteral(".hidden"),
                                QStringLiteral("👩‍👩‍👧‍👦 가족 مرحبا"),
                                QStringLiteral("e\u0301\u0301\u0301 accents"),
                                QStringLiteral("\u202Eevil.md")};
    for (const QString& title : titles) {
        m.newNote();
        m.setText(title + QStringLiteral("\nbody"));
        m.save();
        EXPECT_EQ(QFileInfo(m.filePath()).absolutePath(), notes) << title.toStdString();
        EXPECT_FALSE(QFileInfo(m.filePath()).fileName().startsWith(QLatin1Char('.'))) << title.toStdString();
    }
    EXPECT_EQ(filesIn(notes).size(), titles.size());
    QStringList outside = QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    outside.removeAll(QStringLiteral("Notes"));
    outside.removeAll(QStringLiteral("Flintly.conf"));
    EXPECT_TRUE(outside.isEmpty()) << outside.join(QLatin1Char(',')).toStdString();
}

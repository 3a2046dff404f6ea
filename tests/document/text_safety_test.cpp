// Nothing the user types and nothing another program writes into the open note is ever
// lost: every interleaving of keystrokes, the save debounce, outside writes, reloads
// and late reports from the editor page ends with both versions on disk; failed saves
// are retried until they land or the text is in a recovery file; every name the app
// creates can be written.
#include "SharedNoteFixture.h"

#include "document/DocumentErrors.h"
#include "document/DurableWrite.h"
#include "document/RecoveryStore.h"

#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <variant>

using namespace flintly;
using namespace flintly::test;

namespace {

struct Key {  // the page reports the whole text after a keystroke
    QString text;
};
struct StaleKey {  // a report the page built before the model's last replacement reached it
    QString text;
};
struct Wait {
    int ms;
};
struct Outside {  // another program replaces the file (write to a temporary, rename over)
    QByteArray bytes;
};
using Step = std::variant<Key, StaleKey, Wait, Outside>;

struct Row {
    const char* name;
    std::vector<Step> steps;
    QString text;              // the editor's text at the end
    QByteArray file;           // the note's file at the end
    QList<QByteArray> copies;  // conflict copies beside it
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class TextSafety : public SharedNoteFixture {
protected:
    void run(const Step& step)
    {
        std::visit(
            [&](const auto& s) {
                using T = std::decay_t<decltype(s)>;
                if constexpr (std::is_same_v<T, Key>)
                    model->setTextFromEditor(s.text, model->generation());
                else if constexpr (std::is_same_v<T, StaleKey>)
                    model->setTextFromEditor(s.text, model->generation() - 1);
                else if constexpr (std::is_same_v<T, Wait>)
                    wait(s.ms);
                else
                    outside(s.bytes);
            },
            step);
    }
};

std::vector<Step> typing(const QString& prefix, int keys, int everyMs, int outsideAtKey, const QByteArray& theirs)
{
    std::vector<Step> steps;
    for (int i = 1; i <= keys; ++i) {
        steps.push_back(Key{prefix + QString(i, QLatin1Char('x'))});
        steps.push_back(Wait{everyMs});
        if (i == outsideAtKey)
            steps.push_back(Outside{theirs});
    }
    steps.push_back(Wait{2000});
    return steps;
}

const Row kRows[] = {
    {"IdleNoteTakesTheOutsideVersion", {Outside{"theirs\n"}, Wait{2000}}, "theirs\n", "theirs\n", {}},
    {"OutsideWriteBeforeThePauseIsMergedIn",
     {Key{"base\nmine"}, Wait{100}, Outside{"theirs\n"}, Wait{2000}},
     "theirs\nmine",
     "theirs\nmine",
     {}},
    {"TheSameWordsChangedOnBothSidesKeepBoth",
     {Key{"bass\n"}, Wait{100}, Outside{"bash\n"}, Wait{2000}},
     "bass\n",
     "bass\n",
     {"bash\n"}},
    {"OutsideWriteAfterTheSaveInsideTheCoolDownIsReloadedLater",
     {Key{"base\nmine"}, Wait{600}, Outside{"theirs\n"}, Wait{2000}},
     "theirs\n",
     "theirs\n",
     {}},
    {"OutsideWriteOneSecondAfterTheLastKeyIsReloaded",
     {Key{"base\nmine"}, Wait{1000}, Outside{"theirs\n"}, Wait{2000}},
     "theirs\n",
     "theirs\n",
     {}},
    {"ContinuousTypingAcrossAnOutsideWriteIsMergedIn",
     typing(QStringLiteral("base\n"), 40, 70, 15, "theirs\n"),
     QStringLiteral("theirs\n") + QString(40, QLatin1Char('x')),
     "theirs\n" + QByteArray(40, 'x'),
     {}},
    {"ContinuousTypingAcrossAConflictingWriteKeepsBoth",
     typing(QStringLiteral("base"), 40, 70, 15, "bash\n"),
     QStringLiteral("base") + QString(40, QLatin1Char('x')),
     "base" + QByteArray(40, 'x'),
     {"bash\n"}},
    {"AKeystrokeReportedAfterAReloadIsMergedIn",
     {Outside{"theirs\n"}, StaleKey{"base\nmine"}, Wait{2000}},
     "theirs\nmine",
     "theirs\nmine",
     {}},
    {"AConflictingKeystrokeReportedAfterAReloadKeepsBoth",
     {Outside{"bash\n"}, StaleKey{"bass\n"}, Wait{2000}},
     "bass\n",
     "bass\n",
     {"bash\n"}},
    {"AnOutsideWriteOfTheUsersOwnTextIsNoConflict",
     {Key{"base\nsame"}, Wait{100}, Outside{"base\nsame"}, Wait{2000}},
     "base\nsame",
     "base\nsame",
     {}},
};

class Interleavings : public TextSafety, public ::testing::WithParamInterface<Row> {};

}  // namespace

TEST_P(Interleavings, NeitherVersionIsLost)
{
    const Row& row = GetParam();
    openShared();
    for (const Step& step : row.steps)
        run(step);
    EXPECT_EQ(model->text(), row.text);
    EXPECT_EQ(readBytes(path), row.file);
    EXPECT_EQ(conflictCopies(), row.copies);
    if (!row.copies.isEmpty()) {
        ASSERT_FALSE(notices.isEmpty()) << "the user is told where the other version went";
        EXPECT_TRUE(notices.last().contains(QStringLiteral("Shared (conflict "))) << notices.last().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, Interleavings, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TextSafety, EveryVersionOfASyncToolReachesTheEditorAndTheFileIsNeverReverted)
{
    for (const int spacing : {300, 600}) {
        openShared();
        seen.clear();
        for (int v = 1; v <= 20; ++v) {
            outside("version " + QByteArray::number(v) + "\n");
            wait(spacing);
        }
        wait(3000);
        QStringList expected;
        for (int v = 1; v <= 20; ++v)
            expected.append(QStringLiteral("version %1\n").arg(v));
        EXPECT_EQ(seen, expected) << "spacing " << spacing;
        EXPECT_EQ(readBytes(path), QByteArray("version 20\n"));
        EXPECT_EQ(count(QStringLiteral("💾 저장 시간 업데이트")), 0) << "nothing of ours was written";
        EXPECT_TRUE(conflictCopies().isEmpty());
        model.reset();
        logs->clear();
    }
}

TEST_F(TextSafety, AReportAboutTheNoteOpenBeforeIsDropped)
{
    auto& m = openShared();
    const quint64 sharedGeneration = m.generation();
    const QString other = note(QStringLiteral("Other.md"));
    writeBytes(other, "other\n");
    m.open(QUrl::fromLocalFile(other));
    EXPECT_FALSE(m.setTextFromEditor(QStringLiteral("base\ntyped into Shared"), sharedGeneration));
    wait(2000);
    EXPECT_EQ(m.text(), QStringLiteral("other\n"));
    EXPECT_EQ(readBytes(other), QByteArray("other\n"));
    EXPECT_EQ(readBytes(path), QByteArray("base\n"));
}

// --- Saves that fail -------------------------------------------------------------------

TEST_F(TextSafety, AReadOnlyFolderIsRetriedUntilTheSaveLands)
{
    auto& m = openShared();
    if (!setImmutable(notes, true))
        GTEST_SKIP() << "chattr is not available here";
    m.setText(QStringLiteral("base\nwritten while read-only"));
    wait(600);
    EXPECT_TRUE(m.saveFailing());
    EXPECT_TRUE(logs->containsPrefix(QStringLiteral("❌ 저장 실패 - 1초 후 다시 시도:")));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].startsWith(QStringLiteral("Not saved:")));
    wait(1000);  // the first retry fails too; the next waits 2 s
    EXPECT_TRUE(logs->containsPrefix(QStringLiteral("❌ 저장 실패 - 2초 후 다시 시도:")));
    setImmutable(notes, false);
    wait(2100);
    EXPECT_EQ(readBytes(path), QByteArray("base\nwritten while read-only"));
    EXPECT_FALSE(m.saveFailing());
    EXPECT_EQ(notices.size(), 1) << "one notice, not one per try";
}

TEST_F(TextSafety, AFullDiskIsRetriedOnceSpaceIsBack)
{
    auto& m = openShared();
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tiny = old;
    tiny.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &tiny);
    const QString big = QStringLiteral("base\n") + QString(500, QLatin1Char('y'));
    m.setText(big);
    wait(600);
    EXPECT_TRUE(m.saveFailing());
    EXPECT_EQ(readBytes(path), QByteArray("base\n"));
    setrlimit(RLIMIT_FSIZE, &old);
    wait(1100);
    EXPECT_EQ(readBytes(path), big.toUtf8());
    EXPECT_FALSE(m.saveFailing());
    EXPECT_EQ(filesIn(notes), QStringList{QStringLiteral("Shared.md")}) << "no temporary file is left";
}

TEST_F(TextSafety, BackOffDoublesUpToThirtySeconds)
{
    const QString notAFolder = home.filePath(QStringLiteral("not-a-folder"));
    writeBytes(notAFolder, "a regular file");
    settings->setFileUrl(QStringLiteral("flintlySaveFolder"), QUrl::fromLocalFile(notAFolder));
    auto& m = makeModel(false);
    m.setText(QStringLiteral("typed with a broken folder setting"));
    wait(600);
    auto retryIn = [&](int seconds) { return count(QStringLiteral("❌ 저장 실패 - %1초 후 다시 시도:").arg(seconds)); };
    EXPECT_EQ(retryIn(1), 1);
    int delay = 1;
    for (const int next : {2, 4, 8, 16, 30}) {
        wait(delay * 1000 + 10);
        EXPECT_EQ(retryIn(next), 1) << next;
        delay = next;
    }
    wait(30'010);
    EXPECT_EQ(retryIn(30), 2) << "the wait stops growing at 30 s";
    EXPECT_EQ(readBytes(notAFolder), QByteArray("a regular file"));
}

TEST_F(TextSafety, TextThatCannotBeSavedAtQuitGoesToARecoveryFileAnnouncedOnce)
{
    const QString notAFolder = home.filePath(QStringLiteral("not-a-folder"));
    writeBytes(notAFolder, "a regular file");
    settings->setFileUrl(QStringLiteral("flintlySaveFolder"), QUrl::fromLocalFile(notAFolder));
    auto& m = makeModel(false);
    m.setText(QStringLiteral("Lost thoughts\nnowhere to go"));
    m.flushPendingEdits();  // what quitting does
    RecoveryStore store(home.filePath(QStringLiteral("Recovery")));
    const QStringList recovered = store.takeUnannounced();
    ASSERT_EQ(recovered.size(), 1);
    EXPECT_TRUE(QFileInfo(recovered[0]).fileName().startsWith(QStringLiteral("Lost thoughts ")));
    EXPECT_EQ(readBytes(recovered[0]), QByteArray("Lost thoughts\nnowhere to go"));
    EXPECT_TRUE(logs->containsPrefix(QStringLiteral("🛟 저장하지 못한 내용을 복구 파일에 보관: ")
                                     + recovered[0]));
    EXPECT_TRUE(store.takeUnannounced().isEmpty()) << "announced once";
    EXPECT_EQ(readBytes(notAFolder), QByteArray("a regular file"));
}

TEST_F(TextSafety, AFailedFolderFlushIsAFailureAndIsRetried)
{
    auto& m = openShared();
    durable_write_testing::failFolderSyncWith(EIO);
    m.setText(QStringLiteral("base\nnot yet durable"));
    wait(600);
    durable_write_testing::failFolderSyncWith(0);
    EXPECT_TRUE(m.saveFailing());
    EXPECT_TRUE(conflictCopies().isEmpty()) << "our own bytes are no outside change";
    wait(1100);
    EXPECT_FALSE(m.saveFailing());
    EXPECT_EQ(readBytes(path), QByteArray("base\nnot yet durable"));
    EXPECT_TRUE(conflictCopies().isEmpty());
}

// --- Text that has not reached the disk ----------------------------------------------

TEST_F(TextSafety, TypingWithoutAPauseIsWrittenAtLeastEveryFiveSeconds)
{
    auto& m = openShared();
    QString typed = QStringLiteral("base\n");
    for (int key = 1; key <= 80; ++key) {  // 8 s, a key every 100 ms, never a half-second pause
        typed += QLatin1Char('k');
        m.setText(typed);
        advance(100);
        if (key == 50) {
            EXPECT_TRUE(readBytes(path).startsWith("base\n" + QByteArray(49, 'k'))) << "written by the fifth second";
        }
    }
    EXPECT_EQ(count(QStringLiteral("💾 저장 시간 업데이트")), 1);
}

// --- Names --------------------------------------------------------------------------------

TEST_F(TextSafety, EveryNameNearTheLimitCanBeWrittenAndStaysPut)
{
    auto& m = makeModel();
    // One character with a long tail of accents, then ASCII: exact byte lengths.
    for (int bytes = 248; bytes <= 255; ++bytes) {
        const int stemBytes = bytes - 3;                                   // ".md"
        QString stem = QStringLiteral("a") + QString(120, QChar(0x0301));  // 241 bytes, one character
        stem += QString(stemBytes - 241, QLatin1Char('b'));
        ASSERT_EQ(stem.toUtf8().size(), stemBytes);
        m.newNote();
        m.setText(stem + QStringLiteral("\nbody"));
        ASSERT_NO_THROW(m.save()) << bytes;
        EXPECT_EQ(QFileInfo(m.filePath()).fileName().toUtf8().size(), bytes);
        const QString first = m.filePath();
        m.setText(stem + QStringLiteral("\nbody, again"));
        ASSERT_NO_THROW(m.save()) << bytes;
        EXPECT_EQ(m.filePath(), first) << "the name does not flip between saves";
        EXPECT_EQ(readBytes(first), (stem + QStringLiteral("\nbody, again")).toUtf8());

        // A conflict copy of such a note fits too.
        writeBytes(first, "theirs");
        m.setText(stem + QStringLiteral("\nbody, third"));
        ASSERT_NO_THROW(m.save()) << bytes;
    }
    for (const QString& f : filesIn(notes))
        EXPECT_LE(f.toUtf8().size(), 255);
    EXPECT_EQ(conflictCopies().size(), 8);
}

TEST_F(TextSafety, TwentyFamilyEmojiNameANoteThatIsSavedOnceAndKeepsItsName)
{
    auto& m = makeModel();
    QString family;
    for (int i = 0; i < 20; ++i)
        family += QStringLiteral("👨‍👩‍👧‍👦");
    m.setText(family + QStringLiteral("\nwho is coming"));
    m.save();
    const QString first = m.filePath();
    for (int i = 0; i < 3; ++i) {
        m.setText(family + QStringLiteral("\nwho is coming ") + QString::number(i));
        m.save();
        EXPECT_EQ(m.filePath(), first);
    }
    EXPECT_EQ(filesIn(notes).size(), 1);
}

// --- The watcher and the file itself ----------------------------------------------------------

TEST_F(TextSafety, AfterTheFolderIsDeletedAndRecreatedOutsideChangesAreSeenAgain)
{
    auto& m = makeModel();
    m.setText(QStringLiteral("Shared\nfirst"));
    m.save();
    path = m.filePath();
    advance(2000);
    QDir(notes).removeRecursively();
    wait(200);
    m.setText(QStringLiteral("Shared\nsecond"));
    wait(600);
    EXPECT_TRUE(logs->contains(QStringLiteral("📁 노트 폴더가 없어서 다시 만듦: ") + notes));
    EXPECT_EQ(readBytes(path), QByteArray("Shared\nsecond"));
    wait(2000);
    outside("Shared\nfrom elsewhere");
    wait(200);
    EXPECT_EQ(m.text(), QStringLiteral("Shared\nfrom elsewhere"));
}

TEST_F(TextSafety, ANoteNobodyEditedIsNeverRewrittenAndKeepsItsByteOrderMark)
{
    auto& m = openShared("\xEF\xBB\xBF# With a mark\n");
    const auto stamp = stampOfFile(path);
    wait(5000);
    EXPECT_EQ(stampOfFile(path), stamp) << "opening a note does not touch it";
    m.setText(QStringLiteral("# With a mark\nedited\n"));
    wait(600);
    EXPECT_EQ(readBytes(path), QByteArray("\xEF\xBB\xBF# With a mark\nedited\n"));
}

TEST_F(TextSafety, ANoteThatIsNotUtf8IsLeftByteForByte)
{
    auto& m = openShared();
    outside("caf\xe9 latin-1\n");
    wait(3000);
    EXPECT_EQ(readBytes(path), QByteArray("caf\xe9 latin-1\n"));
    m.setText(QStringLiteral("base\nmine"));
    wait(600);
    EXPECT_EQ(conflictCopies(), QList<QByteArray>{"caf\xe9 latin-1\n"}) << "kept byte for byte before ours is written";
}

TEST_F(TextSafety, ASymlinkedNoteIsSavedThroughTheLink)
{
    const QString elsewhere = home.filePath(QStringLiteral("Elsewhere"));
    QDir().mkpath(elsewhere);
    const QString target = elsewhere + QStringLiteral("/Target.md");
    writeBytes(target, "target\n");
    path = note(QStringLiteral("Link.md"));
    ASSERT_TRUE(QFile::link(target, path));
    auto& m = makeModel();
    m.open(QUrl::fromLocalFile(path));
    m.setText(QStringLiteral("target\nedited through the link\n"));
    wait(600);
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    EXPECT_EQ(readBytes(target), QByteArray("target\nedited through the link\n"));
}

TEST_F(TextSafety, ReopeningTheCurrentFileKeepsThePendingEdits)
{
    auto& m = openShared();
    m.setText(QStringLiteral("base\njust typed"));
    m.loadNote(QUrl::fromLocalFile(path));
    EXPECT_EQ(m.text(), QStringLiteral("base\njust typed"));
    EXPECT_EQ(readBytes(path), QByteArray("base\njust typed"));
}

// The note on disk under system calls that fail: run with the fault shim preloaded
// (see README.md). After every fault the file holds the old text or the new one, whole,
// and once the fault is gone the new text reaches it without another keystroke.
#include "SharedNoteFixture.h"

#include <thread>

using namespace flintly;
using namespace flintly::test;

namespace {

class Faults : public SharedNoteFixture {
protected:
    void SetUp() override
    {
        rules = qEnvironmentVariable("FLINTLY_FAULTS_FILE");
        if (rules.isEmpty() || !qEnvironmentVariable("LD_PRELOAD").contains(QStringLiteral("fault_shim")))
            GTEST_SKIP() << "needs the fault shim preloaded";
        clearFaults();
        QFile::remove(rules + QStringLiteral(".log"));
        SharedNoteFixture::SetUp();
    }
    void TearDown() override
    {
        clearFaults();
        SharedNoteFixture::TearDown();
    }

    // Swapped in whole, so the shim never reads half a file.
    void inject(const QByteArray& text)
    {
        writeBytes(rules + QStringLiteral(".new"), text);
        ASSERT_EQ(std::rename(QFile::encodeName(rules + QStringLiteral(".new")).constData(),
                              QFile::encodeName(rules).constData()),
                  0);
    }
    void clearFaults() { QFile::remove(rules); }
    QByteArray injected() const { return readBytes(rules + QStringLiteral(".log")); }
    bool holding() const { return QFileInfo::exists(rules + QStringLiteral(".held")); }

    QString rules;
};

struct FaultRow {
    const char* name;
    const char* rule;
};

void PrintTo(const FaultRow& row, std::ostream* os) { *os << row.name; }

const FaultRow kFaults[] = {
    {"FsyncOfTheTemporaryFailsWithEIO", "fsync */Notes/.Shared.md.* EIO"},
    {"OpeningTheTemporaryFailsWithEDQUOT", "open */Notes/.Shared.md.* EDQUOT"},
    {"WritingTheTemporaryFailsWithENOSPC", "write */Notes/.Shared.md.* ENOSPC"},
    {"RenameFailsWithEIO", "rename */Notes/Shared.md EIO"},
    {"FlushingTheFolderFailsWithEIO", "fsync */Notes EIO"},
};

class FailingCall : public Faults, public ::testing::WithParamInterface<FaultRow> {};

}  // namespace

TEST_P(FailingCall, TheFileHoldsTheOldTextUntilTheFaultIsGoneThenTheNew)
{
    auto& m = openShared("old text\n");
    inject(GetParam().rule);
    m.setTextFromEditor(QStringLiteral("old text\nnew text\n"), m.generation());
    const QByteArray newText = "old text\nnew text\n";
    for (int tries = 0; tries < 2; ++tries) {  // the save, then its first retry
        wait(tries == 0 ? 600 : 1100);
        const QByteArray onDisk = readBytes(path);
        EXPECT_TRUE(onDisk == "old text\n" || onDisk == newText) << onDisk.constData();
        EXPECT_TRUE(m.saveFailing());
    }
    EXPECT_FALSE(injected().isEmpty()) << "the fault was injected";
    EXPECT_EQ(filesIn(notes), QStringList{QStringLiteral("Shared.md")}) << "no temporary is left behind";

    clearFaults();
    wait(2100);  // the next retry, with no keystroke in between
    EXPECT_EQ(readBytes(path), newText);
    EXPECT_FALSE(m.saveFailing());
    EXPECT_EQ(filesIn(notes), QStringList{QStringLiteral("Shared.md")});
    EXPECT_TRUE(conflictCopies().isEmpty()) << "our own failed writes are no outside change";
}

INSTANTIATE_TEST_SUITE_P(Faults, FailingCall, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// A sync tool writes the note while the merge of its previous write is being flushed
// to disk: the save takes the place of that newer version, which comes back displaced
// and is merged in too, instead of being overwritten.
TEST_F(Faults, AMergeThatRacesASecondOutsideWriteKeepsAllThree)
{
    auto& m = openShared("Hello world, one paragraph.\n\nSecond paragraph.\n");
    m.setTextFromEditor(QStringLiteral("Hello world, one paragraph.\n\nSecond paragraph, mine.\n"), m.generation());
    wait(100);
    outside("Howdy world, one paragraph.\n\nSecond paragraph.\n");
    inject("fsync */Notes/.Shared.md.* hold");
    std::thread phone([&] {
        // Once the save is flushing, the second version lands and the flush goes on.
        for (int i = 0; i < 1000 && !holding(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        replaceFile("Howdy world, one paragraph.\n\nSecond paragraph.\n\nThird, from the phone.\n");
        clearFaults();
    });
    wait(600);  // the save: merges the first write and is held in its flush
    phone.join();
    wait(2000);
    const QString all =
        QStringLiteral("Howdy world, one paragraph.\n\nSecond paragraph, mine.\n\nThird, from the phone.\n");
    EXPECT_EQ(m.text(), all);
    EXPECT_EQ(readBytes(path), all.toUtf8());
    EXPECT_TRUE(conflictCopies().isEmpty());
    EXPECT_EQ(filesIn(notes), QStringList{QStringLiteral("Shared.md")});
    EXPECT_TRUE(logs->containsPrefix(QStringLiteral("🔀 저장하는 사이 파일이 다시 바뀜: Shared.md")));
}

#include "document/OutsideChange.h"

#include <gtest/gtest.h>

using namespace flintly;
using namespace flintly::OutsideChange;

namespace {

const QDateTime t0(QDate(2026, 3, 1), QTime(9, 0), Qt::UTC);

struct DecideRow {
    const char* name;
    bool isSaving;
    bool exists;
    int sinceSaveMs;  // how long ago we last wrote the file
    int sinceEditMs;  // how long ago the user last typed
    Verdict verdict;
    int lookAgainInMs;  // -1: no second look
};

void PrintTo(const DecideRow& row, std::ostream* os) { *os << row.name; }

class Decide : public ::testing::TestWithParam<DecideRow> {};

const DecideRow kDecideRows[] = {
    {"OurWriteInProgressIsLookedAtOnceItSettles", true, true, 0, 5000, Verdict::ownSaveInProgress, kSavingSettleMs},
    {"ADeletedFileIsLeftAlone", false, false, 5000, 5000, Verdict::fileDeleted, -1},
    {"JustAfterOurWriteIsLookedAtWhenTheWindowEnds", false, true, 100, 5000, Verdict::ownSaveWindow, 400},
    {"TheSelfSaveWindowEndsAtHalfASecond", false, true, 500, 5000, Verdict::read, -1},
    {"TypingDefersUntilTheCoolDownHasPassed", false, true, 5000, 300, Verdict::userTyping, 500},
    {"TheCoolDownEndsAtEightTenths", false, true, 5000, 800, Verdict::read, -1},
    {"AnIdleNoteReadsAtOnce", false, true, 60000, 60000, Verdict::read, -1},
};

}  // namespace

TEST_P(Decide, Rows)
{
    const DecideRow& row = GetParam();
    Snapshot s;
    s.hasFile = true;
    s.isSaving = row.isSaving;
    s.fileExists = row.exists;
    s.now = t0;
    s.lastSaveTime = t0.addMSecs(-row.sinceSaveMs);
    s.lastUserEditTime = t0.addMSecs(-row.sinceEditMs);
    const Decision d = decide(s);
    EXPECT_EQ(d.verdict, row.verdict);
    if (row.lookAgainInMs < 0)
        EXPECT_FALSE(d.lookAgainAt);
    else
        EXPECT_EQ(d.lookAgainAt, t0.addMSecs(row.lookAgainInMs));
}

INSTANTIATE_TEST_SUITE_P(OutsideChange, Decide, ::testing::ValuesIn(kDecideRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OutsideChangeResolve, TypingWaitsUnsavedEditsMergeOtherwiseReload)
{
    EXPECT_EQ(resolve(true, true, true), Outcome::same);
    EXPECT_EQ(resolve(false, true, false), Outcome::wait);
    EXPECT_EQ(resolve(false, false, true), Outcome::merge);
    EXPECT_EQ(resolve(false, false, false), Outcome::reload);
}

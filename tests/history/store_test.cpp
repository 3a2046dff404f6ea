// What the store keeps: equal texts once, ninety days of versions, no more than its cap,
// and always every note's newest ten.
#include "HistoryFixture.h"

#include "history/VersionRules.h"

#include <QTemporaryDir>

using namespace flintly;
using namespace flintly::history;
using namespace flintly::test;

namespace {
const QDateTime t0(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC);

QByteArray randomBytes(qsizetype n, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray out(n, Qt::Uninitialized);
    for (char& c : out)
        c = static_cast<char>(random.bounded(256));
    return out;
}

class Store : public ::testing::Test {
protected:
    void SetUp() override
    {
        options.folder = dir.path();
        store = std::make_unique<HistoryStore>(options);
        store->open();
    }
    QString notePath(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    HistoryStore::Options options;
    std::unique_ptr<HistoryStore> store;
};
}  // namespace

TEST_F(Store, EqualTextsAreStoredOnceWhateverNoteTheyBelongTo)
{
    const Content text(noise(200'000, 7));
    const qint64 empty = store->usedBytes();
    const qint64 first = store->noteAt(notePath("0.md"), {});
    ASSERT_TRUE(store->addVersion(first, text, reason::firstSave, t0));
    const qint64 oneCopy = store->usedBytes() - empty;
    for (int i = 1; i < 10; ++i) {
        const qint64 note = store->noteAt(notePath(QByteArray::number(i).constData()), {});
        ASSERT_TRUE(store->addVersion(note, text, reason::firstSave, t0.addSecs(i)));
    }
    EXPECT_FALSE(store->addVersion(first, text, reason::interval, t0.addDays(1))) << "the same as its newest";
    EXPECT_EQ(store->versions(first).size(), 1u);
    EXPECT_LT(store->usedBytes() - empty, oneCopy + 16 * 1024) << "ten notes, one copy";
    EXPECT_LT(oneCopy, 200'000) << "compressed";
}

TEST_F(Store, VersionsOlderThanNinetyDaysGoButEveryNoteKeepsItsNewestTen)
{
    const qint64 busy = store->noteAt(notePath("busy.md"), {});
    const qint64 quiet = store->noteAt(notePath("quiet.md"), {});
    for (int day = 0; day < 30; ++day)
        store->addVersion(busy, Content(noise(100, day)), reason::interval, t0.addDays(day));
    for (int day = 100; day < 115; ++day)
        store->addVersion(busy, Content(noise(100, day)), reason::interval, t0.addDays(day));
    for (int day = 0; day < 5; ++day)
        store->addVersion(quiet, Content(noise(100, 1000 + day)), reason::interval, t0.addDays(day));

    store->prune(t0.addDays(120));
    const auto kept = store->versions(busy);
    ASSERT_EQ(kept.size(), 15u) << "days 100 to 114; older than 90 days, and not among its newest ten";
    EXPECT_EQ(kept.back().time, t0.addDays(100));
    EXPECT_EQ(store->versions(quiet).size(), 5u) << "its newest ten, however old";

    // A clock once set years ahead and then put right: the age rule does not wait for
    // that date to come round again.
    store->prune(t0.addYears(10));
    for (int day = 200; day < 215; ++day)
        store->addVersion(quiet, Content(noise(100, 2000 + day)), reason::interval, t0.addDays(day));
    store->prune(t0.addDays(300));
    EXPECT_EQ(store->versions(quiet).size(), 10u);
}

TEST_F(Store, OverTheCapTheOldestGoFirstAndEveryNoteKeepsItsNewestTen)
{
    options.capBytes = 1024 * 1024;
    store = std::make_unique<HistoryStore>(options);
    store->open();
    const qint64 a = store->noteAt(notePath("a.md"), {});
    const qint64 b = store->noteAt(notePath("b.md"), {});
    // 80 versions of 30 KB that do not compress: more than twice the cap.
    for (int i = 0; i < 80; ++i) {
        store->addVersion(i % 2 ? b : a, Content(randomBytes(30'000, i)), reason::interval, t0.addSecs(60 * i));
        store->prune(t0.addSecs(60 * i));
        ASSERT_LE(store->usedBytes(), options.capBytes) << "after version " << i;
    }
    const auto keptA = store->versions(a);
    const auto keptB = store->versions(b);
    EXPECT_GE(keptA.size(), 10u);
    EXPECT_GE(keptB.size(), 10u);
    EXPECT_GT(keptA.size() + keptB.size(), 25u) << "the cap is filled, not emptied";
    // What stays of each note is its newest run of versions: nothing newer went first.
    for (const auto* kept : {&keptA, &keptB})
        for (size_t i = 1; i < kept->size(); ++i)
            EXPECT_EQ((*kept)[i - 1].time.secsTo((*kept)[i].time), -120);
    EXPECT_EQ(keptA.front().time, t0.addSecs(60 * 78));
    EXPECT_EQ(keptB.front().time, t0.addSecs(60 * 79));

    // However small the cap, the newest ten of each note stay.
    options.capBytes = 1;
    store = std::make_unique<HistoryStore>(options);
    store->open();
    store->prune(t0.addSecs(60 * 80));
    EXPECT_EQ(store->versions(a).size(), 10u);
    EXPECT_EQ(store->versions(b).size(), 10u);
}

TEST(VersionRules, ALargeDeletionIsMoreThanHalfOrMoreThanAKilobyte)
{
    const QByteArray text = noise(3000, 3);
    EXPECT_FALSE(rules::removesMuch(text, text + "added"));
    EXPECT_FALSE(rules::removesMuch(text, text.left(2000)));            // 1000 bytes
    EXPECT_TRUE(rules::removesMuch(text, text.left(1900)));             // 1100 bytes
    EXPECT_TRUE(rules::removesMuch("a short note", "x"));               // all of it
    EXPECT_FALSE(rules::removesMuch("a short note", "a short note!"));  // nothing
    EXPECT_TRUE(rules::removesMuch(text, text.left(10) + "pasted over" + text.right(10)));
}

#include "BrowserTestSupport.h"
#include "browser/NoteIndex.h"
#include "browser/NoteListModel.h"

#include <gtest/gtest.h>

using namespace flintly;
using namespace flintly::test;

namespace {

FileInfo note(const QString& name, qint64 size = 0, qint64 modifiedSecs = 0, qint64 createdSecs = 0)
{
    FileInfo f;
    f.id = FileInfo::newId();
    f.name = name;
    f.path = QStringLiteral("/notes/%1-%2.md").arg(name).arg(f.id.toString(QUuid::Id128));
    f.size = size;
    f.modifiedDate = QDateTime::fromSecsSinceEpoch(modifiedSecs, Qt::UTC);
    f.createdDate = QDateTime::fromSecsSinceEpoch(createdSecs, Qt::UTC);
    return f;
}

QStringList listed(const NoteIndex& index, const NoteIndex::Rows& rows)
{
    QStringList out;
    for (quint32 r : rows)
        out.append(index.files()[r].name + QLatin1Char('/') + QString::number(index.files()[r].size));
    return out;
}

}  // namespace

TEST(SortModes, RawValuesLabelsAndUnknownNames)
{
    QStringList raw, chips;
    for (SortMode m : sortmode::all()) {
        raw.append(sortmode::rawValue(m));
        chips.append(sortmode::chipLabel(m));
        EXPECT_EQ(sortmode::fromRawValue(sortmode::rawValue(m)), m);
    }
    EXPECT_EQ(raw,
              (QStringList{"modifiedDesc", "modifiedAsc", "nameAZ", "nameZA", "createdDesc", "createdAsc", "sizeDesc",
                           "sizeAsc"}));
    EXPECT_EQ(chips, (QStringList{"Latest ↓", "Oldest ↑", "A-Z", "Z-A", "Created ↓", "Created ↑", "Size ↓", "Size ↑"}));
    EXPECT_EQ(sortmode::menuLabel(SortMode::modifiedDesc), QStringLiteral("Latest"));
    EXPECT_EQ(sortmode::arrowSymbol(SortMode::nameAZ), QStringLiteral("arrow.down"));
    EXPECT_FALSE(sortmode::fromRawValue(QStringLiteral("ModifiedDesc")));
    EXPECT_FALSE(sortmode::fromRawValue(QString()));
}

// Every mode sorts stably: records equal under it keep their input order, whatever
// order the other keys would give.
TEST(SortModes, EqualKeysKeepTheirOrderInEveryMode)
{
    const NoteIndex index({note("beta", 5, 100, 7), note("Alpha", 5, 100, 7), note("alpha", 5, 100, 7),
                           note("gamma", 9, 300, 1), note("ALPHA", 1, 50, 9)});
    EXPECT_EQ(listed(index, index.order(SortMode::nameAZ)),
              (QStringList{"Alpha/5", "alpha/5", "ALPHA/1", "beta/5", "gamma/9"}));
    EXPECT_EQ(listed(index, index.order(SortMode::nameZA)),
              (QStringList{"gamma/9", "beta/5", "Alpha/5", "alpha/5", "ALPHA/1"}));
    EXPECT_EQ(listed(index, index.order(SortMode::modifiedDesc)),
              (QStringList{"gamma/9", "beta/5", "Alpha/5", "alpha/5", "ALPHA/1"}));
    EXPECT_EQ(listed(index, index.order(SortMode::modifiedAsc)),
              (QStringList{"ALPHA/1", "beta/5", "Alpha/5", "alpha/5", "gamma/9"}));
    EXPECT_EQ(listed(index, index.order(SortMode::sizeDesc)),
              (QStringList{"gamma/9", "beta/5", "Alpha/5", "alpha/5", "ALPHA/1"}));
    EXPECT_EQ(listed(index, index.order(SortMode::sizeAsc)),
              (QStringList{"ALPHA/1", "beta/5", "Alpha/5", "alpha/5", "gamma/9"}));
    EXPECT_EQ(listed(index, index.order(SortMode::createdDesc)),
              (QStringList{"ALPHA/1", "beta/5", "Alpha/5", "alpha/5", "gamma/9"}));
    EXPECT_EQ(listed(index, index.order(SortMode::createdAsc)),
              (QStringList{"gamma/9", "beta/5", "Alpha/5", "alpha/5", "ALPHA/1"}));

    // Published sorted, as a finished scan is: sorting again by that mode changes nothing.
    const auto sorted = NoteIndex::sortedBy({note("b", 1), note("a", 2), note("c", 1)}, SortMode::sizeAsc);
    EXPECT_EQ(listed(*sorted, sorted->order(SortMode::sizeAsc)), (QStringList{"b/1", "c/1", "a/2"}));
    EXPECT_EQ(listed(*sorted, sorted->order(SortMode::nameAZ)), (QStringList{"a/2", "b/1", "c/1"}));
}

TEST(Filter, ShortQueriesMatchTheStartLongerOnesAnywhereInAnyCase)
{
    const NoteIndex index(
        {note("lab"), note("Abstract"), note("ABC"), note("cabcd"), note("xyz ABC"), note("Über"), note("über-uns")});
    auto matches = [&](const QString& q) {
        QStringList out;
        for (quint32 r : index.filter(q, SortMode::nameAZ))
            out.append(index.files()[r].name);
        return out;
    };
    EXPECT_EQ(matches(QStringLiteral("ab")), (QStringList{"ABC", "Abstract"}));
    EXPECT_EQ(matches(QStringLiteral("abc")), (QStringList{"ABC", "cabcd", "xyz ABC"}));
    EXPECT_EQ(matches(QStringLiteral("ÜB")), (QStringList{"Über", "über-uns"}));
    EXPECT_EQ(matches(QStringLiteral("r-u")), (QStringList{"über-uns"}));
    EXPECT_EQ(matches(QStringLiteral("zzz")), QStringList());
    EXPECT_EQ(matches(QString()).size(), 7);
    // Characters as a reader counts them: "e" with a combining accent is one, so
    // "e\u0301b" (two characters, three code units) still only matches starts.
    const NoteIndex accents({note(QStringLiteral("e\u0301bx")), note(QStringLiteral("xe\u0301b"))});
    EXPECT_EQ(accents.filter(QStringLiteral("e\u0301b"), SortMode::nameAZ).size(), 1u);
    EXPECT_EQ(accents.filter(QStringLiteral("e\u0301bx"), SortMode::nameAZ).size(), 1u);
}

TEST(Filter, NamesNeverMatchAcrossTheirNeighbours)
{
    // The names lie end to end in one buffer: "ab" + "cd" must not make "abcd".
    const NoteIndex index({note("xab"), note("cdx"), note("abcd")});
    const auto rows = index.filter(QStringLiteral("abcd"), SortMode::nameAZ);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(index.files()[rows[0]].name, QStringLiteral("abcd"));
}

TEST(NoteRows, ShowTheMediumDateAndASizeInKilobytesOrMegabytes)
{
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(mediumDate(QDate(2024, 3, 4), en), QStringLiteral("Mar 4, 2024"));
    EXPECT_EQ(mediumDate(QDate(2024, 3, 4), QLocale(QLocale::German, QLocale::Germany)),
              QStringLiteral("4. März 2024"));
    EXPECT_EQ(byteCount(0, en), QStringLiteral("0 KB"));
    EXPECT_EQ(byteCount(12, en), QStringLiteral("1 KB"));
    EXPECT_EQ(byteCount(2600, en), QStringLiteral("3 KB"));
    EXPECT_EQ(byteCount(999'400, en), QStringLiteral("999 KB"));
    EXPECT_EQ(byteCount(1'250'000, en), QStringLiteral("1.3 MB"));
    FileInfo f = note(QStringLiteral("n"), 2048);
    f.modifiedDate = QDateTime(QDate(2024, 3, 4), QTime(12, 0), Qt::UTC);
    EXPECT_EQ(noteDetail(f, en), QStringLiteral("Mar 4, 2024 • 2 KB"));
}

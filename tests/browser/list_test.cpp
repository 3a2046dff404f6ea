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

// Names are ranked by how they match, and within a rank by the sort mode: typing
// "git" must put the note named git above legit, however recently legit changed.
TEST(NameMatches, RankedByHowTheyMatchThenBySortMode)
{
    const NoteIndex index({note("legit", 1, 900), note("git", 1, 100), note("git-rebase", 1, 500),
                           note("Using Git", 1, 700), note("GIT", 1, 50), note("digital", 1, 800),
                           note(QStringLiteral("Gît tips"), 1, 600), note("notes", 1, 999)});
    auto ranked = [&](const QString& q, SortMode mode = SortMode::modifiedDesc) {
        QStringList out;
        for (quint32 r : index.matchNames(search::SearchQuery::parse(q), mode).ranked)
            out.append(index.files()[r].name);
        return out;
    };
    EXPECT_EQ(ranked(QStringLiteral("git")),
              (QStringList{"git", "GIT", QStringLiteral("Gît tips"), "git-rebase", "Using Git", "legit", "digital"}))
        << "exact (newest first), prefix, word start, anywhere";
    EXPECT_EQ(ranked(QStringLiteral("git"), SortMode::modifiedAsc).mid(0, 2), (QStringList{"GIT", "git"}))
        << "ties follow the sort mode";
    EXPECT_EQ(ranked(QStringLiteral("tips git")), QStringList{QStringLiteral("Gît tips")}) << "words in any order";
    EXPECT_EQ(ranked(QStringLiteral("it")).size(), 7);
    EXPECT_EQ(index.matchNames(search::SearchQuery::parse(QStringLiteral("GIT")), SortMode::nameAZ).exact, 2u);

    // The names lie end to end in one buffer: "ab" + "cd" must not make "abcd".
    const NoteIndex neighbours({note("xab"), note("cdx"), note("abcd")});
    EXPECT_EQ(neighbours.matchNames(search::SearchQuery::parse(QStringLiteral("abcd")), SortMode::nameAZ).ranked.size(),
              1u);
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

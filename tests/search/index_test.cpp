#include "search/ContentIndex.h"
#include "search/SearchEngine.h"
#include "support/LogCapture.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <future>

using namespace flintly;
using namespace flintly::search;
using namespace flintly::test;

namespace {

void write(const QString& path, const QByteArray& bytes, qint64 modifiedMs = 0)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    if (modifiedMs) {
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.setFileTime(QDateTime::fromMSecsSinceEpoch(modifiedMs, Qt::UTC), QFileDevice::FileModificationTime);
    }
}

Listing listFolder(const QString& folder)
{
    auto notes = std::make_shared<std::vector<ListedNote>>();
    QStringList paths;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files, QDir::Name))
        notes->push_back({f.absoluteFilePath(), {f.size(), f.lastModified().toMSecsSinceEpoch()}});
    return notes;
}

// The notes (by file name) whose text holds all of the query's words.
QStringList found(SearchEngine& engine, const Listing& listing, const QString& query)
{
    std::promise<WordHits> answer;
    engine.search(listing, SearchQuery::parse(query), [&answer](WordHits hits) { answer.set_value(std::move(hits)); });
    const WordHits hits = answer.get_future().get();
    QStringList out;
    for (std::size_t i = 0; i < listing->size(); ++i) {
        bool all = !hits.empty();
        for (const auto& word : hits)
            all = all && word[i];
        if (all)
            out.append(QFileInfo((*listing)[i].path).fileName());
    }
    return out;
}

const QStringList kQueries = {"tent", "cafe", "CAFÉ lake", "git-rebase", "--rebase", "ss",
                              "日本", "e",    "zzz",       "pull git",   "strasse",  "notes-12"};

}  // namespace

class Index : public ::testing::Test {
protected:
    void SetUp() override
    {
        notes = dir.filePath(QStringLiteral("notes"));
        for (int i = 0; i < 40; ++i)
            write(QStringLiteral("%1/n%2.md").arg(notes).arg(i, 2, 10, QLatin1Char('0')),
                  QStringLiteral("# Note %1\nsome tent text %2 notes-%1\n")
                      .arg(i)
                      .arg(i % 3 ? "lake" : "git pull --rebase")
                      .toUtf8());
        write(notes + QStringLiteral("/cafe.md"), QStringLiteral("Le Cafe\u0301 by the lake\nStraße\n").toUtf8());
        write(notes + QStringLiteral("/japan.md"), QStringLiteral("東京 日本語\n").toUtf8());
        write(notes + QStringLiteral("/binary.md"), QByteArray("tent\0cafe", 9));
        write(notes + QStringLiteral("/latin1.md"), QByteArray("tent caf\xe9"));
    }

    std::unique_ptr<SearchEngine> make(const QString& file = QString())
    {
        SearchEngine::Options options;
        options.indexFile = file;
        options.idlePriority = false;
        options.saveDelayMs = 0;
        options.beforeReading = [this](const QString&) { ++reads; };
        return std::make_unique<SearchEngine>(std::move(options));
    }

    QTemporaryDir dir;
    QString notes;
    std::atomic<int> reads{0};
};

// The index is a shortcut only: with none, with half of it and with all of it the
// same notes are found, by the same rules as reading every text.
TEST_F(Index, DirectSearchHalfAnIndexAndAFullIndexFindTheSameNotes)
{
    const Listing all = listFolder(notes);
    auto direct = make();
    auto half = make();
    auto full = make();
    half->keepCurrent(notes, std::make_shared<std::vector<ListedNote>>(all->begin(), all->begin() + all->size() / 2));
    full->keepCurrent(notes, all);
    half->waitUntilIdle();
    full->waitUntilIdle();
    EXPECT_EQ(half->indexedCount(), static_cast<qsizetype>(all->size() / 2));
    EXPECT_EQ(full->indexedCount(), static_cast<qsizetype>(all->size()));

    for (const QString& q : kQueries) {
        const QStringList expected = found(*direct, all, q);
        EXPECT_EQ(found(*half, all, q), expected) << q.toStdString();
        EXPECT_EQ(found(*full, all, q), expected) << q.toStdString();
    }
    EXPECT_EQ(found(*full, all, QStringLiteral("cafe")), (QStringList{"cafe.md"}))
        << "binary and non-UTF-8 by name only";
    EXPECT_EQ(found(*full, all, QStringLiteral("strasse lake")), (QStringList{"cafe.md"}));
    EXPECT_EQ(found(*full, all, QStringLiteral("--rebase")).size(), 14);
}

TEST_F(Index, FollowsOutsideEditsRenamesAndDeletions)
{
    auto engine = make();
    engine->keepCurrent(notes, listFolder(notes));
    engine->waitUntilIdle();
    ASSERT_EQ(found(*engine, listFolder(notes), QStringLiteral("japan")), QStringList());

    const qint64 later = QDateTime::currentMSecsSinceEpoch() + 60'000;
    write(notes + QStringLiteral("/n00.md"), "now about japan", later);
    ASSERT_TRUE(QFile::rename(notes + QStringLiteral("/japan.md"), notes + QStringLiteral("/tokyo.md")));
    ASSERT_TRUE(QFile::remove(notes + QStringLiteral("/cafe.md")));
    const Listing now = listFolder(notes);
    // Before the index has caught up, the changed notes are read directly.
    EXPECT_EQ(found(*engine, now, QStringLiteral("japan")), QStringList{"n00.md"});
    EXPECT_EQ(found(*engine, now, QStringLiteral("日本")), QStringList{"tokyo.md"});

    reads = 0;
    engine->keepCurrent(notes, now);
    engine->waitUntilIdle();
    EXPECT_EQ(reads, 2) << "only the edited and the renamed note are read again";
    EXPECT_EQ(engine->indexedCount(), static_cast<qsizetype>(now->size())) << "the deleted note is gone";
    EXPECT_EQ(found(*engine, now, QStringLiteral("japan")), QStringList{"n00.md"});
    EXPECT_EQ(found(*engine, now, QStringLiteral("日本")), QStringList{"tokyo.md"});
    EXPECT_EQ(found(*engine, now, QStringLiteral("lake")).size(), 26);

    // A note we saved is taken in at once, without a scan.
    write(notes + QStringLiteral("/n01.md"), "saved by us: japan", later + 1000);
    engine->noteChanged(notes + QStringLiteral("/n01.md"));
    engine->waitUntilIdle();
    reads = 0;
    EXPECT_EQ(found(*engine, listFolder(notes), QStringLiteral("japan")), (QStringList{"n00.md", "n01.md"}));
    EXPECT_EQ(reads, 0);
}

TEST_F(Index, IsKeptAcrossRunsAndADamagedOrForeignOneIsRebuiltWithOneLogLine)
{
    const QString file = dir.filePath(QStringLiteral("cache/SearchIndex"));
    const Listing all = listFolder(notes);
    {
        auto first = make(file);
        first->keepCurrent(notes, all);
        first->waitUntilIdle();
        first->saveNow();
    }
    ASSERT_TRUE(QFile::exists(file));
    {
        reads = 0;
        auto second = make(file);
        second->keepCurrent(notes, all);
        second->waitUntilIdle();
        EXPECT_EQ(reads, 0) << "nothing read again";
        EXPECT_EQ(found(*second, all, QStringLiteral("tent")).size(), 40);
    }
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(f.size() / 2);
    f.write("garbage");
    f.close();
    for (const QByteArray& foreign : {QByteArray(), QByteArray("SQLite format 3")}) {
        LogCapture logs;
        reads = 0;
        auto again = make(file);
        again->keepCurrent(notes, all);
        again->waitUntilIdle();
        EXPECT_EQ(reads, static_cast<int>(all->size()));
        EXPECT_EQ(found(*again, all, QStringLiteral("tent")).size(), 40);
        int lines = 0;
        for (const QString& line : logs.lines())
            lines += line.startsWith(QStringLiteral("🔎 Search index could not be used"));
        EXPECT_EQ(lines, 1);
        write(file, foreign + QByteArray(64, 'x'));
    }
}

// A note typed for an hour is put again at every save. Once the retired numbers
// outnumber the live ones the notes are numbered afresh, and every word must follow.
TEST(ContentIndexNumbers, ANoteSavedOverAndOverLeavesEveryNoteFindable)
{
    ContentIndex index;
    const std::vector<std::string> draft{"draft"}, kept{"kept"};
    const QString draftPath = QStringLiteral("/notes/draft.md"), keptPath = QStringLiteral("/notes/kept.md");
    for (qint64 save = 0; save < 1500; ++save) {
        index.put(draftPath, {save, save}, &draft);
        if (save == 700)
            index.put(keptPath, {1, 1}, &kept);
    }
    ASSERT_LT(index.numberLimit(), 1500u) << "numbered afresh";
    for (const auto& [word, path] : {std::pair{"kept", keptPath}, std::pair{"draft", draftPath}}) {
        std::vector<char> hits(index.numberLimit(), 0);
        index.markNotesContaining(word, hits);
        ASSERT_NE(index.noteAt(path), ContentIndex::kNone);
        EXPECT_TRUE(hits[index.noteAt(path)]) << word;
        EXPECT_EQ(std::count(hits.begin(), hits.end(), 1), 1) << word;
    }
}

// When the note's saves and replacements leave a version behind, and that nothing the
// history does (a damaged store, a full disk) stops a save.
#include "HistoryFixture.h"

#include "document/EditorBridge.h"

#include <cstdio>

using namespace flintly;
using namespace flintly::test;

namespace {
constexpr int kMinute = 60'000;

struct RecordingBridge : EditorBridge {
    QStringList replacements;
    void appendBlock(const QString&, std::optional<qsizetype>) override {}
    void replaceAll(const QString& text) override { replacements.append(text); }
};

QStringList linesStartingWith(const QStringList& lines, const QString& prefix)
{
    QStringList found;
    for (const QString& l : lines)
        if (l.startsWith(prefix))
            found.append(l);
    return found;
}

using Versions = HistoryFixture;
}  // namespace

TEST_F(Versions, ASaveKeepsAVersionOnceTheNewestIsFiveMinutesOld)
{
    auto& m = makeModelWithHistory();
    m.setText(QStringLiteral("Plan\nv1"));
    m.save();
    const QString path = m.filePath();
    EXPECT_EQ(reasons(versionsOf(path)), QStringList{history::reason::firstSave});

    advance(kMinute);
    m.setText(QStringLiteral("Plan\nv2"));
    m.save();
    advance(4 * kMinute - 1000);
    m.setText(QStringLiteral("Plan\nv3"));
    m.save();
    EXPECT_EQ(versionsOf(path).size(), 1u) << "4 min 59 s after the newest version";

    advance(1000);
    m.setText(QStringLiteral("Plan\nv4"));
    m.save();
    const auto v = versionsOf(path);
    ASSERT_EQ(reasons(v), (QStringList{history::reason::interval, history::reason::firstSave}));
    EXPECT_EQ(bytesOf(v[0].id), QByteArray("Plan\nv4"));
    EXPECT_EQ(v[0].time, clockNow());
    EXPECT_EQ(bytesOf(v[1].id), QByteArray("Plan\nv1"));
}

TEST_F(Versions, ASaveThatRemovesMuchKeepsTheSavedTextFirst)
{
    auto& m = makeModelWithHistory();
    const QString first = QStringLiteral("Notes\n") + QString::fromLatin1(noise(4000, 1));
    m.setText(first);
    m.save();
    const QString path = m.filePath();

    advance(10'000);
    const QString added = first + QStringLiteral("\none more line");
    m.setText(added);
    m.save();
    advance(10'000);
    QString trimmed = added;
    trimmed.remove(100, 1500);  // more than a kilobyte, less than half
    m.setText(trimmed);
    m.save();
    advance(10'000);
    m.setText(QStringLiteral("Notes\nx"));  // select all, type
    m.save();
    advance(10'000);
    m.setText(QStringLiteral("Notes\n"));  // a small deletion
    m.save();

    const auto v = versionsOf(path);
    ASSERT_EQ(
        reasons(v),
        (QStringList{history::reason::beforeDeletion, history::reason::beforeDeletion, history::reason::firstSave}));
    EXPECT_EQ(bytesOf(v[0].id), trimmed.toUtf8());
    EXPECT_EQ(bytesOf(v[1].id), added.toUtf8());
    EXPECT_EQ(bytesOf(v[2].id), first.toUtf8());
}

TEST_F(Versions, AnotherProgramsVersionReplacesTheTextOnlyOnceTheOldOneIsKept)
{
    const QString path = note(QStringLiteral("Shared.md"));
    writeBytes(path, "# Shared\nmine\n");
    auto& m = makeModelWithHistory();
    m.open(QUrl::fromLocalFile(path));
    advance(2000);
    writeBytes(path, "# Shared\ntheirs\n");
    ASSERT_TRUE(waitUntil([&] { return m.text() == QStringLiteral("# Shared\ntheirs\n"); }));
    const auto v = versionsOf(path);
    ASSERT_EQ(reasons(v), QStringList{history::reason::beforeOutsideChange});
    EXPECT_EQ(bytesOf(v[0].id), QByteArray("# Shared\nmine\n"));
}

TEST_F(Versions, ARestoreKeepsTheCurrentTextAndReachesThePageAsAnEdit)
{
    RecordingBridge bridge;
    auto& m = makeModelWithHistory();
    m.setEditorBridge(&bridge);
    m.setText(QStringLiteral("Draft\nfirst"));
    m.save();
    const QString path = m.filePath();
    advance(6 * kMinute);
    m.setText(QStringLiteral("Draft\nsecond, unsaved"));

    const quint64 generation = m.generation();
    m.restoreText(QStringLiteral("Draft\nfirst"));
    EXPECT_EQ(m.text(), QStringLiteral("Draft\nfirst"));
    EXPECT_EQ(bridge.replacements, QStringList{QStringLiteral("Draft\nfirst")});
    EXPECT_EQ(m.generation(), generation) << "the page edits its text; it is not handed a new one";
    settle();
    EXPECT_EQ(readBytes(path), QByteArray("Draft\nfirst"));

    const auto v = versionsOf(path);
    ASSERT_EQ(reasons(v), (QStringList{history::reason::beforeRestore, history::reason::firstSave}));
    EXPECT_EQ(bytesOf(v[0].id), QByteArray("Draft\nsecond, unsaved"));
}

TEST_F(Versions, ANoteKeepsItsHistoryWhenRenamedHereOrElsewhereAndWhenDeleted)
{
    auto& m = makeModelWithHistory();
    m.setText(QStringLiteral("Groceries\nmilk"));
    m.save();
    advance(6 * kMinute);
    m.setText(QStringLiteral("Shopping\nmilk\neggs"));
    m.save();  // a scratch note follows its first line
    const QString shopping = note(QStringLiteral("Shopping.md"));
    ASSERT_EQ(m.filePath(), shopping);
    EXPECT_EQ(versionsOf(shopping).size(), 2u);

    // Renamed in a file manager while another note is open.
    m.newNote();
    const QString errands = note(QStringLiteral("Errands.md"));
    ASSERT_EQ(std::rename(QFile::encodeName(shopping).constData(), QFile::encodeName(errands).constData()), 0);
    std::optional<history::NoteHistory::NoteVersions> asked;
    QObject context;
    history->versionsOf(errands, &context, [&](history::NoteHistory::NoteVersions found) { asked = found; });
    ASSERT_TRUE(waitUntil([&] { return asked.has_value(); }));
    EXPECT_EQ(asked->versions.size(), 2u) << "found by what the file holds";

    // Its next save there goes on with the same history.
    m.open(QUrl::fromLocalFile(errands));
    advance(6 * kMinute);
    m.setText(QStringLiteral("Shopping\nmilk\neggs\nbread"));
    m.save();
    EXPECT_EQ(reasons(versionsOf(errands)),
              (QStringList{history::reason::interval, history::reason::interval, history::reason::firstSave}));

    // Deleted outside: its history stays, as a deleted note.
    m.newNote();
    ASSERT_TRUE(QFile::remove(errands));
    history->drain();
    history::HistoryStore store(options);
    store.open();
    const auto gone = store.deletedNotes();
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0].path, errands);
    EXPECT_EQ(gone[0].versions, 3);
    EXPECT_EQ(versionsOf(errands).size(), 3u);
}

TEST_F(Versions, ADamagedStoreIsSetAsideWithOneLineAndASaveNeverWaitsForIt)
{
    QDir().mkpath(options.folder);
    const QByteArray garbage(8192, 'x');
    writeBytes(options.folder + QStringLiteral("/history.sqlite"), garbage);
    LogCapture logs;
    auto& m = makeModelWithHistory();
    m.setText(QStringLiteral("Safe\ntext"));
    m.save();
    EXPECT_EQ(readBytes(m.filePath()), QByteArray("Safe\ntext"));
    EXPECT_EQ(reasons(versionsOf(m.filePath())), QStringList{history::reason::firstSave}) << "a new store";

    const QStringList aside = QDir(options.folder).entryList({QStringLiteral("history.sqlite.damaged-*")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readBytes(QDir(options.folder).filePath(aside[0])), garbage) << "kept as it was";
    EXPECT_EQ(linesStartingWith(logs.lines(), QStringLiteral("🗄️ 노트 기록 저장소가 손상되어")).size(),
              1);
}

TEST_F(Versions, AFullDiskCostsVersionsNeverASaveAndIsLoggedOnceUntilItWorksAgain)
{
    // The store may not grow past a few pages: the schema and a small text fit, a large
    // text does not, and SQLite says so as it says of a full disk.
    options.maxPageCount = 16;
    LogCapture logs;
    auto& m = makeModelWithHistory();
    m.setText(QStringLiteral("Journal\nsmall"));
    m.save();
    const QString path = m.filePath();
    for (int i = 0; i < 8; ++i) {
        advance(6 * kMinute);
        const QString text = QStringLiteral("Journal\n") + QString::fromLatin1(noise(200'000, i));
        m.setText(text);
        m.save();
        ASSERT_EQ(readBytes(path), text.toUtf8()) << "save " << i;
    }
    history->drain();
    const QString full = QStringLiteral("🚨 디스크가 가득 차서 노트 기록을 남기지 못함");
    EXPECT_EQ(linesStartingWith(logs.lines(), full).size(), 1);

    // The large text the next save deletes does not fit either, but the small one it
    // writes does; a save that meets no full disk at all says the store works again.
    advance(6 * kMinute);
    m.setText(QStringLiteral("Journal\nsmall again"));
    m.save();
    advance(6 * kMinute);
    m.setText(QStringLiteral("Journal\nsmall again, and more"));
    m.save();
    history->drain();
    EXPECT_EQ(linesStartingWith(logs.lines(), full).size(), 1);
    EXPECT_EQ(linesStartingWith(logs.lines(), QStringLiteral("✅ 노트 기록 저장소를 다시 쓸 수 있음")).size(), 1);
    EXPECT_EQ(reasons(versionsOf(path)),
              (QStringList{history::reason::interval, history::reason::interval, history::reason::firstSave}));
}

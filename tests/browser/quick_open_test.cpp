#include "BrowserTestSupport.h"
#include "browser/NoteListModel.h"
#include "browser/QuickOpenModel.h"
#include "browser/RecentFileManager.h"
#include "browser/Workspace.h"
#include "document/EditorBridge.h"
#include "document/MarkdownModel.h"
#include "platform/Bookmark.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsStore.h"
#include "search/SearchEngine.h"
#include "search/Snippet.h"
#include "support/FakeDialogs.h"
#include "support/LogCapture.h"
#include "support/RecordingUsageTracker.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

using namespace flintly;
using namespace flintly::test;

namespace {
// Stands in for the page: remembers where the caret was sent.
struct RevealRecorder final : EditorBridge {
    void appendBlock(const QString&, std::optional<qsizetype>) override {}
    void replaceAll(const QString&) override {}
    void revealRange(quint64, qsizetype line, qsizetype column, qsizetype length) override
    {
        reveals.append({line, column, length});
    }
    QList<std::tuple<qsizetype, qsizetype, qsizetype>> reveals;
};
}  // namespace

class QuickOpen : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf")));
        notes = home.filePath(QStringLiteral("Notes"));
        QDir().mkpath(notes);
    }
    void TearDown() override
    {
        browser.reset();
        model.reset();
    }

    search::SearchEngine::Options memoryOnly()
    {
        search::SearchEngine::Options o;
        o.idlePriority = false;
        return o;
    }

    QuickOpenModel& make(bool withNotesFolder = true, bool manualScans = false)
    {
        model = std::make_unique<MarkdownModel>(MarkdownModel::Dependencies(settings.get(), &chooser, &tracker));
        if (withNotesFolder)
            model->setSaveFolder(QUrl::fromLocalFile(notes));
        model->setEditorBridge(&page);
        recents = std::make_unique<RecentFileManager>(*settings);
        QuickOpenModel::Dependencies deps;
        deps.settings = settings.get();
        deps.model = model.get();
        deps.chooser = &chooser;
        deps.tracker = &tracker;
        auto t = std::make_unique<ManualQueryTimer>();
        timer = t.get();
        deps.queryTimer = std::move(t);
        if (manualScans)
            deps.background = scans.runner();
        deps.search = &engine;
        deps.recents = recents.get();
        browser = std::make_unique<QuickOpenModel>(std::move(deps));
        return *browser;
    }

    void finishScan()
    {
        ASSERT_TRUE(waitUntil([&] { return !browser->isScanning(); }));
    }

    // The debounce fires, and the text search answers.
    void type(const QString& text)
    {
        browser->setQuery(text);
        ASSERT_TRUE(timer->pending);
        std::exchange(timer->pending, nullptr)();
        ASSERT_TRUE(waitUntil([&] { return !browser->isSearchingText(); }));
    }

    QStringList shown() const { return names(browser->filteredFiles()); }

    QTemporaryDir home;
    QString notes;
    std::unique_ptr<SettingsStore> settings;
    RecordingUsageTracker tracker;
    FakeFileChooser chooser;
    search::SearchEngine engine{memoryOnly()};
    RevealRecorder page;
    std::unique_ptr<MarkdownModel> model;
    std::unique_ptr<RecentFileManager> recents;
    std::unique_ptr<QuickOpenModel> browser;
    ManualQueryTimer* timer = nullptr;
    ManualBackground scans;
};

// The notes folder is never stored with the pinned folders, so it must join the chips
// before the first chip is browsed, or the first Ctrl+P shows an empty list.
TEST_F(QuickOpen, TheFirstAppearanceBrowsesTheNotesFolder)
{
    writeNote(notes + QStringLiteral("/older.md"), 10, QDateTime::currentDateTimeUtc().addDays(-2));
    writeNote(notes + QStringLiteral("/sub/newer.md"), 10, QDateTime::currentDateTimeUtc().addDays(-1));
    auto& b = make();
    LogCapture logs;
    b.appeared();
    EXPECT_EQ(b.workspace().vaultURL(), QUrl::fromLocalFile(notes));
    EXPECT_EQ(b.workspace().pinned(), QList<QUrl>{QUrl::fromLocalFile(notes)});
    EXPECT_TRUE(settings->bytesListValue(QStringLiteral("pinnedBookmarks")).isEmpty())
        << "the notes folder is not stored";
    EXPECT_TRUE(logs.contains(QStringLiteral("🔄 syncDefaultFolder old: %1 → new: %1").arg(notes)));
    EXPECT_TRUE(logs.contains(QStringLiteral("   pinned BEFORE: []")));
    EXPECT_TRUE(logs.contains(QStringLiteral("   pinned AFTER : [\"Notes\"]")));
    EXPECT_TRUE(logs.contains(QStringLiteral("🪵 QuickOpenView sees → ") + model->debugIDString()));
    EXPECT_TRUE(b.isScanning());
    finishScan();
    EXPECT_EQ(shown(), (QStringList{"newer", "older"}));
    ASSERT_TRUE(b.selection());
    EXPECT_EQ(b.selection()->name, QStringLiteral("newer"));
    const auto events = tracker.named("import_scan_complete");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(std::get<std::string>(events[0].properties.at("folderPath")), notes.toStdString());
    EXPECT_EQ(std::get<std::int64_t>(events[0].properties.at("noteCount")), 2);

    // Appearing again browses nothing new.
    b.appeared();
    EXPECT_FALSE(b.isScanning());
}

TEST_F(QuickOpen, AnEmptyFolderCompletesWithNoSelectionAndACountOfZero)
{
    auto& b = make();
    b.workspace().browse(QUrl::fromLocalFile(notes));
    finishScan();
    EXPECT_EQ(b.rowCount(), 0u);
    EXPECT_FALSE(b.selection());
    const auto events = tracker.named("import_scan_complete");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(std::get<std::int64_t>(events[0].properties.at("noteCount")), 0);
}

// Scans are not cancelled in time by the user: the one that ends last must not put
// one folder's notes under another folder's chip.
TEST_F(QuickOpen, OnlyTheScanOfTheChosenFolderIsShown)
{
    const QString a = home.filePath(QStringLiteral("A"));
    const QString bFolder = home.filePath(QStringLiteral("B"));
    writeNote(a + QStringLiteral("/from-a.md"));
    writeNote(bFolder + QStringLiteral("/from-b.md"));
    auto& b = make(false, true);
    NoteListModel rows(&b);

    b.workspace().browse(QUrl::fromLocalFile(a));
    b.workspace().browse(QUrl::fromLocalFile(bFolder));
    ASSERT_EQ(scans.jobs.size(), 2u);
    EXPECT_EQ(rows.rowCount(), 1) << "only the progress row while the chosen folder is scanned";
    EXPECT_EQ(rows.data(rows.index(0), Qt::DisplayRole).toString(), QStringLiteral("Scanning files..."));

    scans.runLast();  // B, the chosen one
    spin(20);
    EXPECT_FALSE(b.isScanning());
    EXPECT_EQ(shown(), QStringList{"from-b"});
    scans.runFirst();  // A, finishing late
    spin(20);
    EXPECT_EQ(shown(), QStringList{"from-b"});
    EXPECT_EQ(tracker.named("import_scan_complete").size(), 1u);

    // The other way round: the first folder's scan in first changes nothing shown.
    b.workspace().browse(QUrl::fromLocalFile(a));
    b.workspace().browse(QUrl::fromLocalFile(bFolder));
    scans.runFirst();
    spin(20);
    EXPECT_TRUE(b.isScanning()) << "still waiting for the chosen folder";
    EXPECT_EQ(rows.rowCount(), 1) << "never A's notes under B's chip";
    scans.runFirst();
    spin(20);
    EXPECT_FALSE(b.isScanning());
    EXPECT_EQ(shown(), QStringList{"from-b"});
}

TEST_F(QuickOpen, AnUnreadableFolderListsNothingAndForgetsTheLastFoldersResults)
{
    writeNote(notes + QStringLiteral("/plan.md"));
    auto& b = make();
    b.workspace().browse(QUrl::fromLocalFile(notes));
    finishScan();
    type(QStringLiteral("plan"));
    EXPECT_EQ(shown(), QStringList{"plan"});

    b.workspace().browse(QUrl::fromLocalFile(home.filePath(QStringLiteral("missing"))));
    EXPECT_FALSE(b.isScanning());
    EXPECT_EQ(b.rowCount(), 0u) << "no cached list of the previous folder";
    EXPECT_EQ(tracker.named("import_scan_complete").size(), 1u);
}

TEST_F(QuickOpen, TypingFiltersOnlyTheLastTextAndCachesPerQueryAndSortMode)
{
    for (const char* n : {"plan", "Planet", "airplane", "lab", "Abstract", "ABC"})
        writeNote(notes + QLatin1Char('/') + QLatin1String(n) + QStringLiteral(".md"));
    auto& b = make();
    b.workspace().setSortMode(SortMode::nameAZ);
    b.workspace().browse(QUrl::fromLocalFile(notes));
    finishScan();

    b.setQuery(QStringLiteral("p"));
    b.setQuery(QStringLiteral("pl"));
    b.setQuery(QStringLiteral("pla"));
    EXPECT_EQ(b.debouncedQuery(), QString()) << "nothing is filtered before the pause";
    EXPECT_EQ(shown().size(), 6);
    std::exchange(timer->pending, nullptr)();
    EXPECT_EQ(b.debouncedQuery(), QStringLiteral("pla"));
    EXPECT_EQ(shown(), (QStringList{"plan", "Planet", "airplane"})) << "names beginning with it first";
    ASSERT_TRUE(waitUntil([&] { return !b.isSearchingText(); }));
    EXPECT_TRUE(b.isCached(QStringLiteral("pla_nameAZ"))) << "cached once the text search has answered";

    type(QStringLiteral("ab"));
    EXPECT_EQ(shown(), (QStringList{"ABC", "Abstract", "lab"}));
    type(QStringLiteral("   "));
    EXPECT_EQ(shown().size(), 6) << "only spaces is no query";
    EXPECT_FALSE(b.isCached(QStringLiteral("_nameAZ")));

    // A sort change with a query active re-sorts at once, under a new key.
    type(QStringLiteral(" pla "));
    b.workspace().setSortMode(SortMode::nameZA);
    EXPECT_EQ(settings->stringValue(QStringLiteral("quickOpen.sortMode")), QStringLiteral("nameZA"));
    EXPECT_EQ(shown(), (QStringList{"Planet", "plan", "airplane"}));
    ASSERT_TRUE(waitUntil([&] { return !b.isSearchingText(); }));
    EXPECT_EQ(b.cachedQueryCount(), 1);
    EXPECT_TRUE(b.isCached(QStringLiteral("pla_nameZA")));

    // The cache stays small: past ten entries, applying a query drops one.
    for (int i = 0; i < 15; ++i) {
        type(QStringLiteral("q%1").arg(i));
        EXPECT_LE(b.cachedQueryCount(), QuickOpenModel::kCacheLimit + 1);
    }
}

TEST_F(QuickOpen, KeysOpenTheSelectedNoteAndNothingWithoutOne)
{
    writeNote(notes + QStringLiteral("/alpha.md"));
    writeNote(notes + QStringLiteral("/beta.md"));
    auto& b = make();
    b.workspace().setSortMode(SortMode::nameAZ);
    b.workspace().browse(QUrl::fromLocalFile(notes));
    finishScan();
    QSignalSpy opened(&b, &QuickOpenModel::noteOpened);

    type(QStringLiteral("zz"));
    b.selectFirst();
    EXPECT_FALSE(b.selection()) << "Down with nothing listed selects nothing";
    b.openSelection();
    EXPECT_EQ(opened.count(), 0);

    type(QString());
    b.select(notes + QStringLiteral("/beta.md"));
    ASSERT_TRUE(b.selection());
    b.openSelection();
    EXPECT_EQ(model->filePath(), notes + QStringLiteral("/beta.md"));
    EXPECT_EQ(model->currentFileName(), QStringLiteral("beta.md"));
    EXPECT_EQ(opened.count(), 1);
    b.openSelection();
    EXPECT_EQ(opened.count(), 2) << "choosing the open note again still counts as a choice";
}

TEST_F(QuickOpen, ANameThatIsNotUtf8SaysWhyItCannotOpenAndChoosingItSaysSoToo)
{
    writeNote(notes + QStringLiteral("/plain.md"));
    const QByteArray raw = QFile::encodeName(notes) + "/caf\xe9.md";
    const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    auto& b = make();
    b.workspace().setSortMode(SortMode::nameAZ);
    b.workspace().browse(QUrl::fromLocalFile(notes));
    finishScan();
    NoteListModel rows(&b);
    ASSERT_EQ(rows.rowCount(), 2);
    const QString lossy = QFile::decodeName(raw);
    const QModelIndex row = rows.index(rows.rowOf(lossy));
    EXPECT_EQ(row.data(NoteListModel::DetailRole).toString(),
              QStringLiteral("Cannot open: its name is not valid UTF-8; rename the file to open it"));
    EXPECT_NE(rows.index(rows.rowOf(notes + QStringLiteral("/plain.md"))).data(NoteListModel::DetailRole).toString(),
              row.data(NoteListModel::DetailRole).toString());

    QStringList notices;
    QObject::connect(model.get(), &MarkdownModel::notice, [&](const QString& n) { notices.append(n); });
    QSignalSpy opened(&b, &QuickOpenModel::noteOpened);
    b.select(lossy);
    b.openSelection();
    EXPECT_EQ(opened.count(), 0);
    ASSERT_EQ(notices.size(), 1) << "choosing it never fails silently";
    EXPECT_TRUE(notices.first().contains(QStringLiteral("not valid UTF-8")));
}

TEST_F(QuickOpen, RecentNotesComeFirstAndAreTheListWithoutAFolder)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < 4; ++i)
        writeNote(notes + QStringLiteral("/n%1.md").arg(i), 10, now.addSecs(-i));
    const QString outside = writeNote(home.filePath(QStringLiteral("elsewhere/kept.md")));
    auto& b = make();
    b.workspace().browse(QUrl::fromLocalFile(notes));
    finishScan();
    EXPECT_EQ(shown(), (QStringList{"n0", "n1", "n2", "n3"}));
    b.open(QUrl::fromLocalFile(notes + QStringLiteral("/n3.md")));
    b.open(QUrl::fromLocalFile(notes + QStringLiteral("/n2.md")));
    recents->addRecent(QUrl::fromLocalFile(outside), *Bookmark::create(outside));  // "Open…"
    EXPECT_EQ(shown(), (QStringList{"n2", "n3", "n0", "n1"})) << "the most recent first, then the sort order";
    type(QStringLiteral("n"));
    EXPECT_EQ(shown(), (QStringList{"n0", "n1", "n2", "n3"})) << "a query ranks by the match";

    // No folder browsed: the recent notes are the list, wherever they are.
    RecentFileManager reread(*settings);
    EXPECT_EQ(reread.files().size(), 3) << "stored, for the next run";
    auto& alone = make(false);
    model->setSaveFolder(QUrl());
    alone.appeared();
    EXPECT_EQ(names(alone.filteredFiles()), (QStringList{"kept", "n2", "n3"}));
}

// Typing "git" must list the note named git first, then names that begin with it or
// hold it, then the notes that only mention it; Return on one of those opens it at
// the mention.
TEST_F(QuickOpen, TextMatchesFollowNameMatchesAndOpenAtTheMatch)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QDir().mkpath(notes + QStringLiteral("/ops"));
    QFile deploy(notes + QStringLiteral("/ops/deploy.md"));
    ASSERT_TRUE(deploy.open(QIODevice::WriteOnly));
    deploy.write("# Deploy\n\nThen run Git push to the café.\n");
    deploy.close();
    QFile apart(notes + QStringLiteral("/errand.md"));
    ASSERT_TRUE(apart.open(QIODevice::ReadWrite));
    apart.write("Push it. The dog went to bed.\n");
    apart.setFileTime(now.addSecs(3600), QFileDevice::FileModificationTime);
    apart.close();
    writeNote(notes + QStringLiteral("/legit.md"), 10, now);
    writeNote(notes + QStringLiteral("/git.md"), 10, now.addDays(-3));
    auto& b = make();
    b.workspace().browse(QUrl::fromLocalFile(notes));
    finishScan();

    type(QStringLiteral("git"));
    EXPECT_EQ(shown(), (QStringList{"git", "legit", "deploy"}));
    EXPECT_FALSE(b.isContentRow(1));
    EXPECT_TRUE(b.isContentRow(2));
    EXPECT_EQ(b.folderOf(b.fileAt(2)), QStringLiteral("ops"));
    EXPECT_EQ(b.folderOf(b.fileAt(0)), QString());
    EXPECT_FALSE(b.hasCreateRow()) << "a note has this name";
    EXPECT_FALSE(b.snippetAt(2)) << "read in the background";
    ASSERT_TRUE(waitUntil([&] { return b.snippetAt(2).has_value(); }));
    EXPECT_EQ(b.snippetAt(2)->text, QStringLiteral("Then run Git push to the café."));

    // One word in the name and the other in the text is a match too.
    type(QStringLiteral("git xxxx"));
    EXPECT_EQ(shown(), (QStringList{"legit", "git"}));

    // The words as typed come first, though a note holding them apart is newer.
    type(QStringLiteral("push to the"));
    EXPECT_EQ(shown(), (QStringList{"deploy", "errand"}));

    type(QStringLiteral("CAFE push"));
    EXPECT_EQ(shown(), QStringList{"deploy"});
    b.selectFirst();
    b.openSelection();
    EXPECT_EQ(model->filePath(), notes + QStringLiteral("/ops/deploy.md"));
    ASSERT_EQ(page.reveals.size(), 1);
    EXPECT_EQ(page.reveals[0], std::make_tuple(qsizetype(2), qsizetype(13), qsizetype(4)));
}

TEST_F(QuickOpen, TheCreateRowMakesTheNoteOnceAndReturnOpensOnlyAShownRow)
{
    writeNote(notes + QStringLiteral("/alpha.md"));
    writeNote(notes + QStringLiteral("/beta.md"));
    auto& b = make();
    b.workspace().browse(QUrl::fromLocalFile(notes));
    finishScan();
    QSignalSpy opened(&b, &QuickOpenModel::noteOpened);

    b.select(notes + QStringLiteral("/beta.md"));
    type(QStringLiteral("alp"));
    b.openSelection();
    EXPECT_EQ(opened.count(), 0) << "beta is selected but no longer shown";

    type(QStringLiteral(" Trip: plan "));
    ASSERT_TRUE(b.hasCreateRow());
    EXPECT_EQ(b.createRowText(), QStringLiteral("Create “Trip: plan”"));
    b.createFromQuery();
    const QString made = notes + QStringLiteral("/Trip plan.md");
    EXPECT_EQ(model->filePath(), made) << "named by the rules of every new note";
    QFile file(made);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("Trip: plan\n"));
    EXPECT_EQ(page.reveals.last(), std::make_tuple(qsizetype(1), qsizetype(0), qsizetype(0)));
    EXPECT_EQ(opened.count(), 1);

    // Again: the note is opened, not made twice.
    b.createFromQuery();
    EXPECT_EQ(QDir(notes).entryList({QStringLiteral("*.md")}).size(), 3);
    EXPECT_EQ(model->filePath(), made);
}

// Shown again, the list takes in what changed outside meanwhile, quietly: no progress
// row, no second scan event, the selection kept.
TEST_F(QuickOpen, ShowingAgainTakesInOutsideChangesAndWritesNoSettings)
{
    writeNote(notes + QStringLiteral("/alpha.md"));
    writeNote(notes + QStringLiteral("/beta.md"));
    auto& b = make();
    b.appeared();
    finishScan();
    b.select(notes + QStringLiteral("/beta.md"));
    writeNote(notes + QStringLiteral("/gamma.md"));
    QFile::remove(notes + QStringLiteral("/alpha.md"));

    QSignalSpy writes(settings.get(), &SettingsStore::changed);
    b.appeared();
    EXPECT_FALSE(b.isScanning());
    ASSERT_TRUE(waitUntil([&] { return shown().contains(QStringLiteral("gamma")); }));
    QStringList listed = shown();
    listed.sort();
    EXPECT_EQ(listed, (QStringList{"beta", "gamma"}));
    EXPECT_EQ(b.selection()->name, QStringLiteral("beta"));
    EXPECT_EQ(tracker.named("import_scan_complete").size(), 1u);
    EXPECT_EQ(writes.count(), 0) << "showing quick open stores nothing";
}

TEST_F(QuickOpen, OpenPinnedBrowsesTheNthChipAndGivesTheListTheKeyboard)
{
    QList<QUrl> folders;
    for (int i = 0; i < 5; ++i) {
        const QString f = home.filePath(QStringLiteral("pin%1").arg(i));
        writeNote(f + QStringLiteral("/in-%1.md").arg(i));
        folders.append(QUrl::fromLocalFile(f));
    }
    Workspace::savePinned(*settings, folders);
    auto& b = make(false);
    QSignalSpy focus(&b, &QuickOpenModel::listFocusRequested);

    NotificationCenter::defaultCenter().post(QStringLiteral("OpenPinned"), 4);
    EXPECT_EQ(b.workspace().vaultURL(), folders[4]);
    EXPECT_EQ(focus.count(), 0) << "the focus moves on the next turn";
    finishScan();
    EXPECT_EQ(focus.count(), 1);
    EXPECT_EQ(shown(), QStringList{"in-4"});

    for (const QVariant& ignored : {QVariant(5), QVariant(-1), QVariant(QStringLiteral("2")), QVariant()}) {
        NotificationCenter::defaultCenter().post(QStringLiteral("OpenPinned"), ignored);
        EXPECT_EQ(b.workspace().vaultURL(), folders[4]);
    }
}

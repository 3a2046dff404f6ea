#include "BrowserTestSupport.h"
#include "browser/NoteListModel.h"
#include "browser/QuickOpenModel.h"
#include "browser/Workspace.h"
#include "document/MarkdownModel.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsStore.h"
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

    QuickOpenModel& make(bool withNotesFolder = true, bool manualScans = false)
    {
        model = std::make_unique<MarkdownModel>(MarkdownModel::Dependencies(settings.get(), &chooser, &tracker));
        if (withNotesFolder)
            model->setSaveFolder(QUrl::fromLocalFile(notes));
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
        browser = std::make_unique<QuickOpenModel>(std::move(deps));
        return *browser;
    }

    void finishScan()
    {
        ASSERT_TRUE(waitUntil([&] { return !browser->isScanning(); }));
    }

    void type(const QString& text)
    {
        browser->setQuery(text);
        ASSERT_TRUE(timer->pending);
        std::exchange(timer->pending, nullptr)();
    }

    QStringList shown() const { return names(browser->filteredFiles()); }

    QTemporaryDir home;
    QString notes;
    std::unique_ptr<SettingsStore> settings;
    RecordingUsageTracker tracker;
    FakeFileChooser chooser;
    std::unique_ptr<MarkdownModel> model;
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
    EXPECT_EQ(shown(), (QStringList{"airplane", "plan", "Planet"}));
    EXPECT_TRUE(b.isCached(QStringLiteral("pla_nameAZ")));

    type(QStringLiteral("ab"));
    EXPECT_EQ(shown(), (QStringList{"ABC", "Abstract"}));
    type(QStringLiteral("   "));
    EXPECT_EQ(shown().size(), 6) << "only spaces is no query";
    EXPECT_FALSE(b.isCached(QStringLiteral("_nameAZ")));

    // A sort change with a query active re-sorts at once, under a new key.
    type(QStringLiteral(" pla "));
    b.workspace().setSortMode(SortMode::nameZA);
    EXPECT_EQ(settings->stringValue(QStringLiteral("quickOpen.sortMode")), QStringLiteral("nameZA"));
    EXPECT_EQ(shown(), (QStringList{"Planet", "plan", "airplane"}));
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

TEST_F(QuickOpen, WithoutAFolderTheListShowsTheStoredRecentFiles)
{
    const QString kept = writeNote(home.filePath(QStringLiteral("elsewhere/kept.md")), 2048);
    QStringList recent{kept, home.filePath(QStringLiteral("gone.md"))};
    for (int i = 0; i < 5; ++i)
        recent.append(writeNote(home.filePath(QStringLiteral("r%1.md").arg(i))));
    settings->setValue(QStringLiteral("recentFiles"), recent);
    auto& b = make(false);
    b.appeared();
    EXPECT_TRUE(b.workspace().vaultURL().isEmpty());
    EXPECT_EQ(b.recent().size(), 5);
    const QList<FileInfo> files = b.filteredFiles();
    ASSERT_EQ(files.size(), 5);
    const auto gone = std::find_if(files.begin(), files.end(), [](const FileInfo& f) { return f.name == u"gone"; });
    ASSERT_NE(gone, files.end()) << "a missing file is still listed";
    EXPECT_EQ(gone->size, 0);
    EXPECT_EQ(gone->modifiedDate, FileInfo::distantPast());
    QStringList listed = names(files);
    listed.sort();
    EXPECT_EQ(listed, (QStringList{"gone", "kept", "r0", "r1", "r2"})) << "the first five stored";
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

    for (const QVariant& ignored : {QVariant(9), QVariant(-1), QVariant(QStringLiteral("2")), QVariant()}) {
        NotificationCenter::defaultCenter().post(QStringLiteral("OpenPinned"), ignored);
        EXPECT_EQ(b.workspace().vaultURL(), folders[4]);
    }
}

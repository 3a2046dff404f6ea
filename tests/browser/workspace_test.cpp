#include "browser/QuickOpenModel.h"
#include "browser/Workspace.h"
#include "document/MarkdownModel.h"
#include "platform/Bookmark.h"
#include "platform/SettingsStore.h"
#include "support/FakeDialogs.h"
#include "support/LogCapture.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

using namespace flintly;
using namespace flintly::test;

class Pinned : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf")));
        model = std::make_unique<MarkdownModel>(MarkdownModel::Dependencies(settings.get()));
    }

    QUrl folder(const QString& name)
    {
        QDir().mkpath(home.filePath(name));
        return QUrl::fromLocalFile(home.filePath(name));
    }

    Workspace& make()
    {
        workspace = std::make_unique<Workspace>(*settings, model.get(), &chooser);
        return *workspace;
    }

    QList<QUrl> stored() const { return Workspace::loadPinned(*settings); }

    QTemporaryDir home;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<MarkdownModel> model;
    FakeFileChooser chooser;
    std::unique_ptr<Workspace> workspace;
};

TEST_F(Pinned, LoadingDropsStaleAndCaseDuplicateFoldersAndKeepsMissingOnesUnavailable)
{
    const QUrl work = folder(QStringLiteral("Work"));
    const QUrl workLower = folder(QStringLiteral("work"));
    const QUrl replaced = folder(QStringLiteral("Replaced"));
    const QUrl gone = folder(QStringLiteral("Gone"));
    QVariantList bookmarks;
    for (const QUrl& u : {work, replaced, gone, workLower})
        bookmarks.append(*Bookmark::create(u.toLocalFile()));
    bookmarks.insert(1, QByteArray("not a bookmark"));
    settings->setValue(QStringLiteral("pinnedBookmarks"), bookmarks);
    QDir(gone.toLocalFile()).removeRecursively();
    // Moved aside, not deleted: a deleted folder's inode may be given straight to the new
    // one, which would then look like the very folder that was pinned.
    ASSERT_TRUE(QDir().rename(replaced.toLocalFile(), replaced.toLocalFile() + QStringLiteral("-old")));
    folder(QStringLiteral("Replaced"));

    EXPECT_EQ(stored(), QList<QUrl>{work});
    // A folder that is not there (an unmounted drive) stays pinned, unavailable, and
    // stays stored when the list is saved; it comes back with the drive.
    auto& w = make();
    EXPECT_EQ(w.pinned(), (QList<QUrl>{work, gone}));
    EXPECT_FALSE(w.isAvailable(gone));
    EXPECT_TRUE(w.isAvailable(work));
    EXPECT_EQ(settings->bytesListValue(QStringLiteral("pinnedBookmarks")).size(), 5)
        << "nothing changed, nothing written";
    w.removePinned(work);
    EXPECT_EQ(Workspace::loadPins(*settings).folders, QList<QUrl>{gone}) << "the stale one went, the missing one stays";
    // Stored again when it is back, and the notes folder, first chip, still is not.
    const QUrl notes = folder(QStringLiteral("Notes"));
    w.syncDefaultFolder(notes);
    folder(QStringLiteral("Gone"));
    w.reloadUnavailable();
    EXPECT_TRUE(w.isAvailable(gone));
    EXPECT_EQ(w.pinned(), (QList<QUrl>{notes, gone}));
    EXPECT_EQ(stored(), QList<QUrl>{gone});
}

TEST_F(Pinned, TheNotesFolderIsTheFirstChipButIsNeverStoredBySync)
{
    const QUrl a = folder(QStringLiteral("A"));
    const QUrl b = folder(QStringLiteral("B"));
    const QUrl extra = folder(QStringLiteral("Extra"));
    Workspace::savePinned(*settings, {extra, a});
    auto& w = make();
    LogCapture logs;

    w.syncDefaultFolder(a);
    EXPECT_EQ(w.pinned(), (QList<QUrl>{a, extra}));
    EXPECT_EQ(stored(), QList<QUrl>{extra});
    EXPECT_TRUE(w.isProtected(a));
    EXPECT_TRUE(logs.contains(QStringLiteral("🔄 syncDefaultFolder old: nil → new: ") + a.toLocalFile()));

    // The notes folder moves from A to B: every A chip goes, B comes first.
    model->setSaveFolder(b);
    EXPECT_TRUE(logs.contains(QStringLiteral("💡 QuickOpenView got new saveFolder → ") + b.toLocalFile()));
    EXPECT_TRUE(logs.contains(QStringLiteral("   pinned AFTER : [\"B\", \"Extra\"]")));
    EXPECT_EQ(w.pinned(), (QList<QUrl>{b, extra}));
    EXPECT_EQ(w.currentCore(), b);

    // The switch off unpins the notes folder; on again puts it first and stores it.
    w.setShowDefaultFolder(false);
    EXPECT_EQ(w.pinned(), QList<QUrl>{extra});
    EXPECT_FALSE(w.isProtected(b));
    settings->setValue(QStringLiteral("showDefaultFolder"), true);  // as the settings window writes it
    EXPECT_EQ(w.pinned(), (QList<QUrl>{b, extra}));
    EXPECT_EQ(stored(), (QList<QUrl>{b, extra}));

    // With the switch off, a change of notes folder removes the old one and adds nothing.
    w.setShowDefaultFolder(false);
    w.syncDefaultFolder(a);
    EXPECT_EQ(w.pinned(), QList<QUrl>{extra});
    w.syncDefaultFolder(QUrl());
    EXPECT_TRUE(
        logs.contains(QStringLiteral("🔄 syncDefaultFolder old: ") + a.toLocalFile() + QStringLiteral(" → new: nil")));
}

TEST_F(Pinned, AddingRemovingAndChoosingChips)
{
    const QUrl a = folder(QStringLiteral("A"));
    const QUrl b = folder(QStringLiteral("B"));
    auto& w = make();
    QList<QUrl> browsed;
    int resets = 0;
    QObject::connect(&w, &Workspace::browseRequested, &w, [&](const QUrl& u) { browsed.append(u); });
    QObject::connect(&w, &Workspace::searchResetRequested, &w, [&] { ++resets; });

    chooser.answers = {a.toLocalFile(), a.toLocalFile() + QLatin1Char('/'), QString(),
                       home.filePath(QStringLiteral("nowhere"))};
    w.addPinnedFolder();
    w.addPinnedFolder();  // the same folder again: browsed, not pinned twice
    w.addPinnedFolder();  // cancelled
    w.addPinnedFolder();  // a folder that cannot be reached
    EXPECT_EQ(chooser.folderRequests.size(), 4);
    EXPECT_EQ(chooser.folderRequests[0].prompt, QStringLiteral("Add"));
    EXPECT_EQ(w.pinned(), QList<QUrl>{a});
    EXPECT_EQ(stored(), QList<QUrl>{a});
    EXPECT_EQ(browsed, (QList<QUrl>{a, a}));

    w.syncDefaultFolder(b);
    w.selectPinned(a);
    EXPECT_EQ(w.vaultURL(), a);
    EXPECT_EQ(resets, 1);
    w.removePinned(a);
    EXPECT_EQ(w.pinned(), QList<QUrl>{b});
    EXPECT_EQ(stored(), QList<QUrl>{b});
}

TEST_F(Pinned, DraggingAChipOntoAnotherPutsItInTheOthersPlace)
{
    const QUrl a = folder(QStringLiteral("a")), b = folder(QStringLiteral("b")), c = folder(QStringLiteral("c")),
               d = folder(QStringLiteral("d"));
    Workspace::savePinned(*settings, {a, b, c, d});
    auto& w = make();

    w.beginDrag(a);
    w.dragEntered(a);  // over itself: nothing
    w.dragEntered(c);
    EXPECT_EQ(w.pinned(), (QList<QUrl>{b, c, a, d}));
    EXPECT_EQ(stored(), (QList<QUrl>{a, b, c, d})) << "stored when the drag ends";
    w.endDrag();
    EXPECT_EQ(stored(), (QList<QUrl>{b, c, a, d}));
    EXPECT_TRUE(w.dragging().isEmpty());

    Workspace::savePinned(*settings, {a, b, c, d});
    auto& again = make();
    again.beginDrag(d);
    again.dragEntered(b);
    again.endDrag();
    EXPECT_EQ(again.pinned(), (QList<QUrl>{a, d, b, c}));

    again.dragEntered(a);  // no drag running
    EXPECT_EQ(again.pinned(), (QList<QUrl>{a, d, b, c}));
}

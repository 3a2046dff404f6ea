// "Flintly History" as a person uses it: the open note's versions, the deleted notes
// and the recovery files, a version shown and put back.
#include "history/HistoryFixture.h"
#include "historyview/HistoryWindow.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>

using namespace flintly;
using namespace flintly::test;

namespace {

class Window : public HistoryFixture {
protected:
    void TearDown() override
    {
        window.reset();
        HistoryFixture::TearDown();
    }

    HistoryWindow& show()
    {
        HistoryWindow::Dependencies deps;
        deps.history = history.get();
        deps.model = model.get();
        deps.recoveryFolder = home.filePath(QStringLiteral("Recovery"));
        window = std::make_unique<HistoryWindow>(deps);
        QSignalSpy listed(window.get(), &HistoryWindow::listed);
        window->show();
        EXPECT_TRUE(listed.wait(5000));
        return *window;
    }

    QTreeWidgetItem* group(int index) const { return window->entries()->topLevelItem(index); }

    // Selects the row and waits for its text.
    QString select(QTreeWidgetItem* item)
    {
        QSignalSpy previewed(window.get(), &HistoryWindow::previewed);
        window->entries()->setCurrentItem(item);
        EXPECT_TRUE(!previewed.isEmpty() || previewed.wait(5000));
        return window->preview()->toPlainText();
    }

    std::unique_ptr<HistoryWindow> window;
};

}  // namespace

TEST_F(Window, ListsTheOpenNotesVersionsAndPutsOneBack)
{
    auto& m = makeModelWithHistory();
    m.setText(QStringLiteral("Trip\nday one"));
    m.save();
    advance(6 * 60'000);
    m.setText(QStringLiteral("Trip\nday one\nday two"));
    m.save();
    m.setText(QStringLiteral("Trip\nday one\nday two\nday three, not saved yet"));

    auto& w = show();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Flintly History"));
    EXPECT_FALSE(w.entries()->accessibleName().isEmpty());
    EXPECT_FALSE(w.preview()->accessibleName().isEmpty());
    QTreeWidgetItem* note = group(0);
    ASSERT_EQ(note->childCount(), 2);
    EXPECT_EQ(note->child(0)->text(2), QStringLiteral("Saved"));
    EXPECT_EQ(note->child(1)->text(2), QStringLiteral("First save"));
    EXPECT_FALSE(note->child(1)->text(1).isEmpty()) << "its size";

    EXPECT_EQ(select(note->child(1)), QStringLiteral("Trip\nday one"));
    ASSERT_TRUE(w.restoreButton()->isEnabled());
    EXPECT_EQ(w.restoreButton()->text(), QStringLiteral("Restore"));
    QSignalSpy listed(&w, &HistoryWindow::listed);
    w.restoreButton()->click();
    EXPECT_EQ(m.text(), QStringLiteral("Trip\nday one"));
    ASSERT_TRUE(listed.wait(5000));
    ASSERT_EQ(group(0)->childCount(), 3) << "what the restore replaced is a version now";
    EXPECT_EQ(group(0)->child(0)->text(2), QStringLiteral("Before a restore"));
    EXPECT_EQ(select(group(0)->child(0)), QStringLiteral("Trip\nday one\nday two\nday three, not saved yet"));

    // Another note opened while the window is up: the list is that note's, so Restore
    // can never put this note's text into it.
    m.newNote();
    ASSERT_EQ(group(0)->childCount(), 1);
    EXPECT_EQ(group(0)->child(0)->text(0), QStringLiteral("No versions before its first save"));
    EXPECT_FALSE(w.restoreButton()->isEnabled());
}

TEST_F(Window, DeletedNotesAndRecoveryFilesComeBackAsNewNotes)
{
    auto& m = makeModelWithHistory();
    m.setText(QStringLiteral("Gone soon\ntext"));
    m.save();
    const QString gone = m.filePath();
    m.newNote();
    ASSERT_TRUE(QFile::remove(gone));
    QDir().mkpath(home.filePath(QStringLiteral("Recovery")));
    writeBytes(home.filePath(QStringLiteral("Recovery/Unsaved 2026-03-01 090000.md")), "Rescued\nwords");
    m.setText(QStringLiteral("Open now\nkeep me"));
    m.save();
    const QString open = m.filePath();

    show();
    QTreeWidgetItem* deleted = group(1);
    ASSERT_EQ(deleted->childCount(), 1);
    EXPECT_EQ(deleted->child(0)->text(0), QStringLiteral("Gone soon.md"));
    deleted->child(0)->setExpanded(true);
    ASSERT_TRUE(waitUntil([&] { return deleted->child(0)->childCount() == 1; }));
    EXPECT_EQ(select(deleted->child(0)->child(0)), QStringLiteral("Gone soon\ntext"));
    EXPECT_EQ(window->restoreButton()->text(), QStringLiteral("Restore as New Note"));

    QTreeWidgetItem* recovery = group(2);
    ASSERT_EQ(recovery->childCount(), 1);
    EXPECT_EQ(select(recovery->child(0)), QStringLiteral("Rescued\nwords"));
    window->restoreButton()->click();
    EXPECT_EQ(m.text(), QStringLiteral("Rescued\nwords"));
    EXPECT_TRUE(m.filePath().isEmpty()) << "a new note";
    EXPECT_EQ(readBytes(open), QByteArray("Open now\nkeep me")) << "the note that was open is untouched";
}

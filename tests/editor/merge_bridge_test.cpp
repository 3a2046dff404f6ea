// Another program's changes merged into the note reach the real page as edits: the
// user's typing, whether or not the page has reported it yet, stays where it was.
#include "EditorFixture.h"

#include <QFile>
#include <QTest>

namespace flintly::test {
namespace {

class MergeInThePage : public EditorFixture {
protected:
    // A note opened from disk, shown in the page, with the keyboard at its end.
    void openNote(const QByteArray& content)
    {
        path = home.filePath(QStringLiteral("Notes/Shared.md"));
        writeFile(content);
        openEditor();
        model->open(QUrl::fromLocalFile(path));
        ASSERT_TRUE(pageTextBecomes(QString::fromUtf8(content)));
        js(QStringLiteral("document.querySelector('.cm-content').focus(); true"));
        QTest::keyClick(keys(), Qt::Key_End, Qt::ControlModifier);
    }

    void writeFile(const QByteArray& bytes)
    {
        // The way sync tools write: a temporary renamed over the note.
        QFile f(path + QStringLiteral(".sync~"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        ASSERT_EQ(std::rename(QFile::encodeName(f.fileName()).constData(), QFile::encodeName(path).constData()), 0);
    }

    QByteArray fileBytes() const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QWidget* keys() const { return view->webView()->focusProxy(); }

    QStringList conflictCopies() const
    {
        return QDir(home.filePath(QStringLiteral("Notes"))).entryList({QStringLiteral("* (conflict *).md")});
    }

    QString path;
};

}  // namespace

TEST_F(MergeInThePage, ASyncToolsWordAtTheStartJoinsTypingAtTheEnd)
{
    openNote("Hello world, this is the note.\n\nA second paragraph.");
    QTest::keyClicks(keys(), QStringLiteral(" More"));
    ASSERT_TRUE(waitUntil([&] { return model->text().endsWith(QStringLiteral("paragraph. More")); }));
    const int wholeTexts = setCalls();

    writeFile("Howdy world, this is the note.\n\nA second paragraph.");
    const QString merged = QStringLiteral("Howdy world, this is the note.\n\nA second paragraph. More");
    ASSERT_TRUE(pageTextBecomes(merged, 10000)) << pageText().toStdString();
    EXPECT_TRUE(waitUntil([&] { return fileBytes() == merged.toUtf8(); }, 10000)) << fileBytes().constData();
    EXPECT_EQ(setCalls(), wholeTexts) << "the page got edits, not the whole text";
    EXPECT_TRUE(conflictCopies().isEmpty());
    EXPECT_TRUE(logs.containsPrefix(QStringLiteral("🔀 외부 변경 병합 완료: Shared.md")));

    // The caret stayed at the end of the user's typing, and the merge is one undo step.
    QTest::keyClicks(keys(), QStringLiteral("!"));
    ASSERT_TRUE(waitUntil([&] { return model->text() == merged + QStringLiteral("!"); }));
    QTest::keyClick(keys(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(keys(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(pageTextBecomes(QStringLiteral("Hello world, this is the note.\n\nA second paragraph. More")))
        << pageText().toStdString();
}

TEST_F(MergeInThePage, TypingWhileTheMergeIsOnItsWayIsKept)
{
    openNote("Hello world, one paragraph");
    QTest::keyClicks(keys(), QStringLiteral(" and"));
    ASSERT_TRUE(waitUntil([&] { return model->text() == QStringLiteral("Hello world, one paragraph and"); }));
    const int wholeTexts = setCalls();

    writeFile("Howdy world, one paragraph");
    // Keys go to the page while the save merges the file's version and sends it there.
    QTest::keyClicks(keys(), QStringLiteral(" more"));
    ASSERT_NO_THROW(model->save());
    QTest::keyClicks(keys(), QStringLiteral(" words"));

    const QString both = QStringLiteral("Howdy world, one paragraph and more words");
    ASSERT_TRUE(pageTextBecomes(both, 10000)) << pageText().toStdString();
    EXPECT_TRUE(waitUntil([&] { return model->text() == both; }, 10000)) << model->text().toStdString();
    EXPECT_TRUE(waitUntil([&] { return fileBytes() == both.toUtf8(); }, 10000)) << fileBytes().constData();
    EXPECT_EQ(setCalls(), wholeTexts);
    EXPECT_TRUE(conflictCopies().isEmpty());
}

}  // namespace flintly::test

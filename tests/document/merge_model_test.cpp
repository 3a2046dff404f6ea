// Another program's changes to the open note are merged into what the user is typing,
// with the real model, files and watcher: both edits end up in the note and on disk,
// the file's line breaks and byte-order mark stay, and only a true conflict (or a file
// cut down to an old copy) leaves a conflict copy.
#include "SharedNoteFixture.h"

using namespace flintly;
using namespace flintly::test;

namespace {

// The editor page as the model sees it: every key is reported at once, and a new text
// from the model (a merge made while time passed) is taken only after `lag` + 1 more
// keys, which the page reports on the text the merge replaced.
class Page {
public:
    Page(MarkdownModel& model, int lag) : model_(model), lag_(lag), text_(model.text()), generation_(model.generation())
    {}

    void type(const QString& keys)
    {
        for (const QChar key : keys) {
            text_ += key;
            model_.setTextFromEditor(text_, generation_);
            catchUp();
        }
    }
    // The page has had time to take whatever the model sent it.
    QString settled()
    {
        behind_ = lag_;
        catchUp();
        return text_;
    }

private:
    void catchUp()
    {
        if (model_.generation() == generation_)
            return;
        if (behind_++ < lag_)
            return;
        behind_ = 0;
        text_ = model_.text();
        generation_ = model_.generation();
    }

    MarkdownModel& model_;
    const int lag_;
    int behind_ = 0;
    QString text_;
    quint64 generation_;
};

struct TypingRow {
    const char* name;
    const char* note;    // the file when the note is opened
    const char* theirs;  // what the sync tool writes while the user types at the end
    int lag;
};

void PrintTo(const TypingRow& row, std::ostream* os) { *os << row.name; }

const TypingRow kTyping[] = {
    {"SameParagraph", "Hello world, one paragraph that goes on", "Howdy world, one paragraph that goes on", 0},
    {"AnotherParagraph", "Hello world.\n\nThe paragraph being written", "Howdy world.\n\nThe paragraph being written",
     0},
    {"SameParagraphWhileThePageIsBehind", "Hello world, one paragraph that goes on",
     "Howdy world, one paragraph that goes on", 1},
    {"AnotherParagraphWhileThePageIsBehind", "Hello world.\n\nThe paragraph being written",
     "Howdy world.\n\nThe paragraph being written", 1},
};

class TypingAtTheEnd : public SharedNoteFixture, public ::testing::WithParamInterface<TypingRow> {};

class Merging : public SharedNoteFixture {};

}  // namespace

TEST_P(TypingAtTheEnd, WhileASyncToolChangesAWordAtTheStartKeepsBothWithoutACopy)
{
    const TypingRow& row = GetParam();
    auto& m = openShared(row.note);
    Page page(m, row.lag);
    // Seven seconds without the half-second pause: the sync tool's write is merged by
    // the save that comes at the latest every five seconds, while typing goes on.
    const QString typed = QStringLiteral(" and it goes on, and on, for a while, and then some more, until it ends.");
    for (qsizetype i = 0; i < typed.size(); ++i) {
        page.type(typed.mid(i, 1));
        wait(90);
        if (i == 8)
            outside(row.theirs);
    }
    wait(2000);
    const QString expected = QString::fromUtf8(row.theirs) + typed;
    EXPECT_EQ(m.text(), expected);
    EXPECT_EQ(page.settled(), expected);
    EXPECT_EQ(readBytes(path), expected.toUtf8());
    EXPECT_TRUE(conflictCopies().isEmpty());
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_EQ(count(QStringLiteral("🔀 외부 변경 병합 완료: Shared.md")), 1);
}

INSTANTIATE_TEST_SUITE_P(Merging, TypingAtTheEnd, ::testing::ValuesIn(kTyping),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Merging, TheFilesLineBreaksByteOrderMarkAndLastLineStay)
{
    struct Case {
        QByteArray opened;
        QString typed;
        QByteArray theirs;
        QByteArray merged;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBFone\r\ntwo\r\n", QStringLiteral("one\r\ntwo mine\r\n"), "\xEF\xBB\xBFONE\r\ntwo\r\n",
         "\xEF\xBB\xBFONE\r\ntwo mine\r\n"},
        {"a\nb", QStringLiteral("a\nb more"), "A\nb", "A\nb more"},
        {"one\ntwo\n", QStringLiteral("one mine\ntwo\n"), "one\r\ntwo\r\n", "one mine\r\ntwo\r\n"},
        {"\xEF\xBB\xBFkeep the mark\n", QStringLiteral("keep the mark\nmine"), "keep the marks\n",
         "keep the marks\nmine"},
    };
    for (const Case& c : cases) {
        auto& m = openShared(c.opened);
        m.setTextFromEditor(c.typed, m.generation());
        wait(100);
        outside(c.theirs);
        wait(2000);
        EXPECT_EQ(readBytes(path), c.merged) << c.opened.constData();
        EXPECT_EQ(m.text().toUtf8(), c.merged.startsWith("\xEF\xBB\xBF") ? c.merged.mid(3) : c.merged);
        EXPECT_TRUE(conflictCopies().isEmpty());
        model.reset();
        QFile::remove(path);
    }
}

TEST_F(Merging, AFileEmptiedOutsideGetsTheUsersTextBack)
{
    auto& m = openShared("First line.\nSecond line.\n");
    m.setTextFromEditor(QStringLiteral("First line.\nSecond line.\nTyped."), m.generation());
    wait(100);
    outside("");
    wait(2000);
    EXPECT_EQ(m.text(), QStringLiteral("First line.\nSecond line.\nTyped."));
    EXPECT_EQ(readBytes(path), QByteArray("First line.\nSecond line.\nTyped."));
    EXPECT_TRUE(conflictCopies().isEmpty()) << "nothing of the empty file to keep";
}

TEST_F(Merging, AFileReplacedByAMuchOlderCopyIsKeptAsACopy)
{
    const QByteArray now = "Plan\n\nDay one went well.\n\nDay two: rain.\n\nDay three: sun.\n";
    auto& m = openShared(now);
    m.setTextFromEditor(QString::fromUtf8(now) + QStringLiteral("\nDay four"), m.generation());
    wait(100);
    outside("Plan\n\nDay one.\n");
    wait(2000);
    EXPECT_EQ(m.text(), QString::fromUtf8(now) + QStringLiteral("\nDay four"));
    EXPECT_EQ(readBytes(path), now + "\nDay four");
    EXPECT_EQ(conflictCopies(), QList<QByteArray>{"Plan\n\nDay one.\n"});
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(logs->containsPrefix(QStringLiteral("🔀 외부 변경 병합 불가 (충돌): Shared.md")));
}

// The three-way merge of a note: what merges, what is a conflict, and that a clean
// merge never drops anything either side wrote.
#include "document/TextMerge.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>

using namespace flintly;
using TextMerge::Edit;

namespace {

struct Row {
    const char* name;
    const char* base;
    const char* ours;
    const char* theirs;
    const char* merged;  // nullptr: a conflict
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

QString q(const char* s) { return QString::fromUtf8(s); }

const Row kRows[] = {
    {"EditsInDifferentParagraphs", "One.\n\nTwo.\n\nThree.\n", "One.\n\nTwo, mine.\n\nThree.\n",
     "One, theirs.\n\nTwo.\n\nThree.\n", "One, theirs.\n\nTwo, mine.\n\nThree.\n"},
    {"OneParagraphAtDifferentWords", "The quick brown fox jumps over the dog.\n",
     "The quick brown fox leaps over the dog.\n", "The slow brown fox jumps over the dog.\n",
     "The slow brown fox leaps over the dog.\n"},
    {"TypingAtTheEndWhileAWordAtTheStartChanges", "Hello world, this is the note.",
     "Hello world, this is the note. And more", "Howdy world, this is the note.",
     "Howdy world, this is the note. And more"},
    {"TypingANewLineAfterAParagraphWhoseFirstWordChanged", "Hello world\n", "Hello world\nand more", "Howdy world\n",
     "Howdy world\nand more"},
    {"BothAppendingLines", "list\n", "list\nmine\n", "list\ntheirs\n", "list\ntheirs\nmine\n"},
    {"BothAppendingLastLinesWithoutABreak", "list\n", "list\nmine", "list\ntheirs", "list\ntheirs\nmine"},
    {"BothAppendingToTheLastParagraph", "para", "para mine", "para theirs", "para theirs mine"},
    {"BothAppendingTheSameLine", "- milk\n", "- milk\n- eggs\n", "- milk\n- eggs\n", "- milk\n- eggs\n"},
    {"BothDeletingTheSameLine", "a\nb\nc\nd\n", "A\nc\nd\n", "a\nc\nd\n", "A\nc\nd\n"},
    {"AWordAddedAfterAWordTheOtherChanged", "a b c", "a b c more", "a b X", "a b X more"},
    {"AWordAddedBeforeAWordTheOtherChanged", "a b c", "a more b c", "a X c", "a more X c"},
    {"OneDeletingWhatTheOtherEdited", "keep\ngone soon\nkeep\n", "keep\nkeep\n", "keep\ngone later\nkeep\n", nullptr},
    {"BothChangingTheSameWord", "The colour red.\n", "The color red.\n", "The hue red.\n", nullptr},
    {"ALetterAddedToAWordTheOtherChanged", "a b c", "a b cc", "a b X", nullptr},
    {"AParagraphAddedRightAfterOneTheOtherDeleted", "p1\np2\n", "p1\np2\np3\n", "p1\n", nullptr},
    {"CrlfFiles", "one\r\ntwo\r\n", "one mine\r\ntwo\r\n", "one\r\ntwo theirs\r\n", "one mine\r\ntwo theirs\r\n"},
    {"CrlfLinesAppendedByBoth", "a\r\n", "a\r\nmine", "a\r\ntheirs", "a\r\ntheirs\r\nmine"},
    {"AFileConvertedToCrlf", "one\ntwo\n", "one mine\ntwo\n", "one\r\ntwo theirs\r\n", "one mine\r\ntwo theirs\r\n"},
    {"AFileConvertedToLf", "one\r\ntwo\r\n", "one mine\r\ntwo\r\n", "one\ntwo theirs\n", "one mine\ntwo theirs\n"},
    {"AFileEmptiedOutside", "First line.\nSecond line.\n", "First line.\nSecond line.\nTyped.", "", nullptr},
    {"AFileEmptiedOutsideAfterAnEditInside", "First line.\nSecond line.\n", "First line, edited.\nSecond line.\n", "",
     nullptr},
    {"AFileReplacedByAMuchOlderCopy", "Plan\n\nDay one went well.\n\nDay two: rain.\n\nDay three: sun.\n",
     "Plan\n\nDay one went well.\n\nDay two: rain.\n\nDay three: sun.\n\nDay four", "Plan\n\nDay one.\n", nullptr},
    {"SurrogatePairsAndEmojiSequences", "👍 ok 👨‍👩‍👧\n", "👍 ok 👨‍👩‍👧 fine\n",
     "👎 ok 👨‍👩‍👧\n", "👎 ok 👨‍👩‍👧 fine\n"},
    {"KoreanWords", "오늘은 날씨가 좋다.\n", "오늘은 날씨가 좋다. 산책하자.\n", "어제는 날씨가 좋다.\n",
     "어제는 날씨가 좋다. 산책하자.\n"},
};

class Rows : public ::testing::TestWithParam<Row> {};

}  // namespace

TEST_P(Rows, MergeOrConflict)
{
    const Row& row = GetParam();
    const TextMerge::Result r = TextMerge::merge(q(row.base), q(row.ours), q(row.theirs));
    if (!row.merged) {
        EXPECT_FALSE(r.clean) << r.text.toStdString();
        return;
    }
    ASSERT_TRUE(r.clean);
    EXPECT_EQ(r.text.toStdString(), std::string(row.merged));
    if (r.breaksConverted)
        EXPECT_TRUE(r.edits.empty());
    else
        EXPECT_EQ(TextMerge::applyEdits(q(row.ours), r.edits), r.text) << "the edits turn the user's text into it";
}

INSTANTIATE_TEST_SUITE_P(TextMerge, Rows, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TextMerge, TheEditsForThePageTouchOnlyWhatTheFileChanged)
{
    const QString ours = QStringLiteral("Hello world, this is the note. And more");
    const auto r = TextMerge::merge(QStringLiteral("Hello world, this is the note."), ours,
                                    QStringLiteral("Howdy world, this is the note."));
    ASSERT_TRUE(r.clean);
    EXPECT_EQ(r.edits, (std::vector<Edit>{{1, 5, QStringLiteral("owdy")}}));
    EXPECT_EQ(r.changesTaken, 1);
}

// --- Properties over random notes --------------------------------------------------

namespace {

// A note of unique words, each with the space or line break after it, so a word can be
// found again in the result and an edit moves no other word's break.
struct Note {
    QList<std::pair<QString, QString>> items;
    static Note of(int words)
    {
        Note n;
        for (int i = 0; i < words; ++i)
            n.items.append({QStringLiteral("w%1").arg(i), i % 7 == 6 ? QStringLiteral("\n") : QStringLiteral(" ")});
        return n;
    }
    QString text() const
    {
        QString t;
        for (const auto& [word, after] : items)
            t += word + after;
        return t;
    }
    QStringList words() const
    {
        QStringList w;
        for (const auto& item : items)
            w << item.first;
        return w;
    }
    // Replaces, adds a word after, or deletes word `at`.
    void edit(qsizetype at, int kind, const QString& fresh)
    {
        if (kind == 0)
            items[at].first = fresh;
        else if (kind == 1)
            items.insert(at + 1, {fresh, QStringLiteral(" ")});
        else
            items.removeAt(at);
    }
};

QStringList wordsOf(const QString& text)
{
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

}  // namespace

TEST(TextMergeProperties, EditsOnSeparateWordsAlwaysMergeAndKeepBoth)
{
    QRandomGenerator rng(20);
    for (int round = 0; round < 400; ++round) {
        const int n = 12 + static_cast<int>(rng.bounded(60));
        const Note base = Note::of(n);
        // Each edited word belongs to one side; words of the two sides are at least
        // four apart, so no change of one touches a change of the other.
        std::vector<int> owner(static_cast<std::size_t>(n), 0);
        for (int tries = 0; tries < 6; ++tries) {
            const int at = 1 + static_cast<int>(rng.bounded(n - 1));
            const int side = 1 + static_cast<int>(rng.bounded(2));
            bool free = true;
            for (int k = std::max(0, at - 4); k <= std::min(n - 1, at + 4); ++k)
                free = free && owner[static_cast<std::size_t>(k)] != 3 - side;
            if (free)
                owner[static_cast<std::size_t>(at)] = side;
        }
        Note ours = base, theirs = base, both = base;
        QStringList added;
        for (int at = n - 1; at >= 0; --at) {  // back to front, so the indexes stay valid
            const int side = owner[static_cast<std::size_t>(at)];
            if (side == 0)
                continue;
            const int kind = static_cast<int>(rng.bounded(3));
            const QString fresh = QStringLiteral("%1x%2").arg(side == 1 ? "ours" : "theirs").arg(at);
            (side == 1 ? ours : theirs).edit(at, kind, fresh);
            both.edit(at, kind, fresh);
            if (kind != 2)
                added << fresh;
        }
        const TextMerge::Result r = TextMerge::merge(base.text(), ours.text(), theirs.text());
        ASSERT_TRUE(r.clean) << "round " << round << "\nbase:   " << base.text().toStdString()
                             << "\nours:   " << ours.text().toStdString()
                             << "\ntheirs: " << theirs.text().toStdString();
        EXPECT_EQ(wordsOf(r.text), both.words()) << "round " << round;
        for (const QString& word : added)
            EXPECT_TRUE(r.text.contains(word)) << word.toStdString() << " in round " << round;
        EXPECT_EQ(TextMerge::applyEdits(ours.text(), r.edits), r.text);
    }
}

TEST(TextMergeProperties, AnyCleanMergeKeepsEveryWordBothSidesKeptOrAdded)
{
    QRandomGenerator rng(7);
    int conflicts = 0;
    for (int round = 0; round < 400; ++round) {
        const Note base = Note::of(4 + static_cast<int>(rng.bounded(20)));
        Note ours = base, theirs = base;
        // Edits anywhere, overlapping or not.
        for (Note* side : {&ours, &theirs}) {
            const int edits = 1 + static_cast<int>(rng.bounded(3));
            for (int e = 0; e < edits && !side->items.isEmpty(); ++e)
                side->edit(rng.bounded(static_cast<int>(side->items.size())), static_cast<int>(rng.bounded(3)),
                           QStringLiteral("%1n%2r%3").arg(side == &ours ? "o" : "t").arg(e).arg(round));
        }
        const TextMerge::Result r = TextMerge::merge(base.text(), ours.text(), theirs.text());
        if (!r.clean) {
            ++conflicts;
            continue;
        }
        const QStringList result = wordsOf(r.text), mine = ours.words(), other = theirs.words(), was = base.words();
        for (const QString& w : mine + other) {
            if (!was.contains(w) || (mine.contains(w) && other.contains(w))) {
                EXPECT_TRUE(result.contains(w)) << w.toStdString() << " lost in round " << round;
            }
        }
        for (const QString& w : was) {
            if (!mine.contains(w) || !other.contains(w)) {
                EXPECT_FALSE(result.contains(w)) << w.toStdString() << " came back in round " << round;
            }
        }
        EXPECT_EQ(TextMerge::applyEdits(ours.text(), r.edits), r.text);
    }
    EXPECT_GT(conflicts, 0) << "overlapping edits were tried";
}

#include "search/NoteText.h"
#include "search/SearchQuery.h"
#include "search/Snippet.h"
#include "search/TextFolding.h"

#include <gtest/gtest.h>

using namespace flintly::search;

namespace {

bool matches(const QString& query, const QString& text)
{
    const SearchQuery q = SearchQuery::parse(query);
    return wordsIn(fold(text), q) == allWords(q);
}

struct MatchRow {
    const char* name;
    QString query;
    QString text;
    bool expected;
};

}  // namespace

class Matching : public ::testing::TestWithParam<MatchRow> {};

TEST_P(Matching, WordsAreFoundAsTheyReadNotAsTheyAreEncoded)
{
    const MatchRow& row = GetParam();
    EXPECT_EQ(matches(row.query, row.text), row.expected)
        << row.query.toStdString() << " in " << row.text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, Matching,
    ::testing::Values(MatchRow{"letter-case", "GIT", "git rebase", true},
                      MatchRow{"diacritics-ignored-in-text", "cafe", QStringLiteral("Café"), true},
                      MatchRow{"diacritics-ignored-in-query", QStringLiteral("résumé"), "resume", true},
                      MatchRow{"decomposed-text", "cafe", QStringLiteral("Cafe\u0301"), true},
                      MatchRow{"decomposed-query-composed-text", QStringLiteral("cafe\u0301"), QStringLiteral("café"),
                               true},
                      MatchRow{"upper-case-accent", QStringLiteral("école"), QStringLiteral("ÉCOLE"), true},
                      MatchRow{"full-case-folding", "strasse", QStringLiteral("Straße"), true},
                      MatchRow{"stroke-letters", "lodz", QStringLiteral("Łódź"), true},
                      MatchRow{"greek-tonos", QStringLiteral("αθηνα"), QStringLiteral("Αθήνα"), true},
                      MatchRow{"marks-of-other-scripts-kept", QStringLiteral("か"), QStringLiteral("が"), false},
                      MatchRow{"words-in-any-order", "rebase git", "git pull --rebase", true},
                      MatchRow{"every-word-needed", "git merge", "git pull --rebase", false},
                      MatchRow{"substring-of-a-word", "base", "rebase", true},
                      MatchRow{"separators-inside-a-word", "pull --rebase", "git pull --rebase", true},
                      MatchRow{"words-on-different-lines", "a b", "a\nb", true},
                      MatchRow{"phrase-words-separately", "plan budget", "budget for the plan", true},
                      MatchRow{"emoji-and-cjk", QStringLiteral("日本"), QStringLiteral("東京 日本語 🎌"), true}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST(Phrases, AreTheWordsInTheirOrderWithOnlySpaceBetween)
{
    const SearchQuery q = SearchQuery::parse(QStringLiteral("List  Directory contents"));
    const auto holds = [&](const char* text) { return holdsPhrase(fold(QString::fromUtf8(text)), q); };
    EXPECT_TRUE(holds("ls \\- list directory contents"));
    EXPECT_TRUE(holds("to list\n  directory contents"));
    EXPECT_TRUE(holds("a list, then list directory contents")) << "a later start of the first word";
    EXPECT_FALSE(holds("contents: list directory"));
    EXPECT_FALSE(holds("list the directory contents"));
    EXPECT_FALSE(holds("listdirectory contents"));
    EXPECT_FALSE(holdsPhrase(QStringLiteral("anything"), SearchQuery::parse(QString())));
}

TEST(NameRanking, ExactBeforePrefixBeforeWordStartBeforeAnywhere)
{
    auto rank = [](const char* name, const char* query) {
        return matchName(fold(QString::fromUtf8(name)), SearchQuery::parse(QString::fromUtf8(query)));
    };
    EXPECT_EQ(rank("git", "git"), NameMatch::exact);
    EXPECT_EQ(rank("Git", "GIT"), NameMatch::exact);
    EXPECT_EQ(rank("git-rebase", "git"), NameMatch::prefix);
    EXPECT_EQ(rank("using git daily", "git"), NameMatch::wordStart);
    EXPECT_EQ(rank("legit", "git"), NameMatch::anywhere);
    EXPECT_EQ(rank("日本語メモ", "メモ"), NameMatch::anywhere) << "after a letter of several bytes";
    EXPECT_EQ(rank("notes", "git"), NameMatch::none);
    EXPECT_EQ(rank("Meeting  notes", "meeting notes"), NameMatch::wordStart) << "two spaces are not the phrase";
    EXPECT_EQ(rank("meeting notes 2024", "  meeting   notes "), NameMatch::prefix);
    EXPECT_EQ(rank("notes of the meeting", "meeting notes"), NameMatch::wordStart);
    EXPECT_EQ(rank("notes of the meetings", "eting notes"), NameMatch::anywhere);
    EXPECT_EQ(rank("Résumé", "resume"), NameMatch::exact);
}

TEST(Snippets, TheLineWithMostWordsWithTheMatchesMarked)
{
    const QString text = QStringLiteral("# Trip\n\nPack the tent.\r\nBook the tent and the Café near the lake.\n");
    const Snippet s = findSnippet(text, SearchQuery::parse(QStringLiteral("cafe tent")));
    ASSERT_TRUE(s.isValid());
    EXPECT_EQ(s.line, 3) << "the first line with both words, not the first with one";
    EXPECT_EQ(s.text, QStringLiteral("Book the tent and the Café near the lake."));
    EXPECT_EQ(s.match, (Snippet::Range{9, 4}));
    ASSERT_EQ(s.emphasis.size(), 2);
    EXPECT_EQ(s.text.mid(s.emphasis[0].start, s.emphasis[0].length), QStringLiteral("tent"));
    EXPECT_EQ(s.text.mid(s.emphasis[1].start, s.emphasis[1].length), QStringLiteral("Café"));
    // No line with every word: the first of those with the most, where the reveal lands.
    EXPECT_EQ(findSnippet(QStringLiteral("Pack the tent.\nno\nBook the tent."),
                          SearchQuery::parse(QStringLiteral("cafe tent")))
                  .line,
              0);

    // Decomposed text: the range covers the letter and its mark; a long line is cut
    // around the match.
    const QString decomposed = QString(200, QLatin1Char('x')) + QStringLiteral(" Cafe\u0301 ") + QString(200, u'y');
    const Snippet d = findSnippet(decomposed, SearchQuery::parse(QStringLiteral("CAFE")), 60);
    EXPECT_EQ(d.line, 0);
    EXPECT_EQ(d.match, (Snippet::Range{201, 5}));
    EXPECT_TRUE(d.text.startsWith(QStringLiteral("…")));
    EXPECT_TRUE(d.text.endsWith(QStringLiteral("…")));
    ASSERT_EQ(d.emphasis.size(), 1);
    EXPECT_EQ(d.text.mid(d.emphasis[0].start, d.emphasis[0].length), QStringLiteral("Cafe\u0301"));

    // "ss" found inside "ß": the whole letter is the match.
    const Snippet sharp = findSnippet(QStringLiteral("Großstadt"), SearchQuery::parse(QStringLiteral("oss")));
    EXPECT_EQ(sharp.match, (Snippet::Range{2, 2}));
    EXPECT_FALSE(findSnippet(QStringLiteral("nothing here"), SearchQuery::parse(QStringLiteral("zzz"))).isValid());
}

TEST(IndexedWords, AreTheRunsOfWordCharactersOfTheFoldedText)
{
    EXPECT_EQ(distinctWords(fold(QStringLiteral("Git-rebase, git PULL; Café_2 日本語"))),
              (std::vector<std::string>{"2", "cafe", "git", "pull", "rebase", "日本語"}));
    EXPECT_TRUE(distinctWords(fold(QStringLiteral(" -- ;; "))).empty());
}

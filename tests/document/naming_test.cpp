#include "document/DocumentErrors.h"
#include "document/NoteNaming.h"
#include "document/TextDecoding.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextBoundaryFinder>

using namespace flintly;
namespace N = flintly::NoteNaming;

TEST(NoteTitle, IsTheFirstLineWithVisibleCharactersTrimmed)
{
    EXPECT_EQ(N::titleOf(QStringLiteral("\n\n   \t\n  Groceries  \nmilk")), QStringLiteral("Groceries"));
    EXPECT_EQ(N::titleOf(QStringLiteral("\r\n\r\nWindows line\r\nnext")), QStringLiteral("Windows line"));
    EXPECT_EQ(N::titleOf(QStringLiteral("\u2028\u2029First\u2028Second")), QStringLiteral("First"));
    EXPECT_EQ(N::titleOf(QStringLiteral(" \n\t\n")), QString());
    EXPECT_EQ(N::titleOf(QString()), QString());
}

TEST(NoteTitle, DisplayNameIsCutToTwentyCharactersWithoutSanitising)
{
    EXPECT_EQ(N::displayNameOf(QStringLiteral("a/b:c")), QStringLiteral("a/b:c"));
    EXPECT_EQ(N::displayNameOf(QStringLiteral("   ")), QStringLiteral("Untitled"));
    EXPECT_EQ(N::displayNameOf(QStringLiteral("123456789012345678901234")), QStringLiteral("12345678901234567890"));
}

struct SanitiseCase {
    const char* label;
    QString input;
    QString expected;
};

class Sanitise : public ::testing::TestWithParam<SanitiseCase> {};

TEST_P(Sanitise, GivesAValidFileNameThatStaysInTheFolder)
{
    EXPECT_EQ(N::sanitize(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, Sanitise,
    ::testing::Values(
        SanitiseCase{"removes_the_ten", QStringLiteral("a/b:c\\d?e%f*g|h\"i<j>k"), QStringLiteral("abcdefghijk")},
        SanitiseCase{"only_removed_characters", QStringLiteral("/:/::"), QStringLiteral("Untitled")},
        SanitiseCase{"parent_traversal", QStringLiteral("../../etc/passwd"), QStringLiteral("etcpasswd")},
        SanitiseCase{"leading_dots_would_hide", QStringLiteral("...hidden"), QStringLiteral("hidden")},
        SanitiseCase{"dot_only", QStringLiteral(". . ."), QStringLiteral("Untitled")},
        SanitiseCase{"control_characters", QStringLiteral("tab\there\x01\x7f\u0085end"), QStringLiteral("tabhereend")},
        SanitiseCase{"lone_surrogate", QString(QChar(0xD800)) + QStringLiteral("ok"), QStringLiteral("ok")},
        SanitiseCase{"emoji_kept", QStringLiteral("👩‍👩‍👧 family"),
                     QStringLiteral("👩‍👩‍👧 family")},
        SanitiseCase{"right_to_left_kept", QStringLiteral("שלום עולם"), QStringLiteral("שלום עולם")},
        SanitiseCase{"bidirectional_overrides_dropped", QStringLiteral("invoice\u202Egpj.exe\u2066x\u2069"),
                     QStringLiteral("invoicegpj.exex")},
        SanitiseCase{"trimmed", QStringLiteral("  \t spaced  "), QStringLiteral("spaced")}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(NoteBaseName, CountsUserPerceivedCharacters)
{
    // 21 family emoji, each one grapheme of many code units.
    QString families;
    for (int i = 0; i < 21; ++i)
        families += QStringLiteral("👩‍👩‍👧");
    EXPECT_EQ(graphemeCount(N::baseNameOf(families)), 20);
    EXPECT_EQ(N::baseNameOf(families).size(), families.size() / 21 * 20);

    const QString accented = QStringLiteral("e\u0301").repeated(25);  // é as e + combining accent
    EXPECT_EQ(N::baseNameOf(accented), QStringLiteral("e\u0301").repeated(20));
    EXPECT_EQ(N::baseNameOf(QStringLiteral("  Meeting notes for the quarterly review ")),
              QStringLiteral("Meeting notes for th"));
}

TEST(UniqueFilePath, CountsUpFromTheBareNameAndCreatesTheFolder)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("a/b/Notes"));
    const QString first = N::uniqueFilePath(folder, QStringLiteral("Untitled"));
    EXPECT_EQ(first, folder + QStringLiteral("/Untitled.md"));
    EXPECT_TRUE(QDir(folder).exists());
    QFile(first).open(QIODevice::WriteOnly);
    QFile(folder + QStringLiteral("/Untitled-1.md")).open(QIODevice::WriteOnly);
    EXPECT_EQ(N::uniqueFilePath(folder, QStringLiteral("Untitled")), folder + QStringLiteral("/Untitled-2.md"));
}

TEST(UniqueFilePath, ShortensByWholeCharactersToFitTheFileNameLimit)
{
    QTemporaryDir dir;
    // Twenty graphemes of 30 combining marks each: far beyond 255 bytes.
    QString base;
    for (int i = 0; i < 20; ++i)
        base += QStringLiteral("a") + QString(30, QChar(0x0301));
    const QString path = N::uniqueFilePath(dir.path(), base);
    const QString name = QFileInfo(path).fileName();
    EXPECT_LE(name.toUtf8().size(), 255);
    EXPECT_TRUE(name.endsWith(QStringLiteral(".md")));
    EXPECT_TRUE(base.startsWith(name.chopped(3)));
    EXPECT_EQ((name.size() - 3) % 31, 0) << "cut inside a cluster";
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << "the file system refused the name";
}

TEST(UniqueFilePath, ThrowsWhenTheFolderCannotBeCreated)
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("file")));
    blocker.open(QIODevice::WriteOnly);
    EXPECT_THROW(N::uniqueFilePath(dir.filePath(QStringLiteral("file/sub")), QStringLiteral("x")), FileError);
}

TEST(CounterSuffix, IsRemovedOnlyAtTheEnd)
{
    EXPECT_EQ(N::withoutCounterSuffix(QStringLiteral("Plan-2")), QStringLiteral("Plan"));
    EXPECT_EQ(N::withoutCounterSuffix(QStringLiteral("2024-01-05")), QStringLiteral("2024-01"));
    EXPECT_EQ(N::withoutCounterSuffix(QStringLiteral("Plan-2 draft")), QStringLiteral("Plan-2 draft"));
}

// The fast ASCII path must agree with the boundary finder on any mix of text.
TEST(GraphemeCount, AgreesWithTheBoundaryFinderOnMixedText)
{
    const QStringList atoms = {QStringLiteral("a"),    QStringLiteral("\r"),       QStringLiteral("\n"),
                               QStringLiteral("\r\n"), QStringLiteral("\u0301"),   QStringLiteral("é"),
                               QStringLiteral("日本"), QStringLiteral("👍🏽"), QStringLiteral("\u200d"),
                               QStringLiteral("🇰🇷"),   QStringLiteral("한"),       QStringLiteral("\u1100\u1161"),
                               QStringLiteral(" ")};
    auto reference = [](const QString& s) {
        QTextBoundaryFinder f(QTextBoundaryFinder::Grapheme, s);
        qint64 n = 0;
        while (f.toNextBoundary() != -1)
            ++n;
        return n;
    };
    QRandomGenerator rng(7);
    for (int round = 0; round < 2000; ++round) {
        QString s;
        const int len = rng.bounded(1, 12);
        for (int i = 0; i < len; ++i)
            s += atoms[rng.bounded(int(atoms.size()))];
        ASSERT_EQ(graphemeCount(s), reference(s)) << s.toStdString();
    }
}

TEST(Utf8, StrictDecodingRefusesInvalidBytesAndDropsTheByteOrderMark)
{
    EXPECT_EQ(decodeUtf8("\xEF\xBB\xBFhello"), QStringLiteral("hello"));
    EXPECT_FALSE(decodeUtf8("caf\xE9"));       // Latin-1
    EXPECT_FALSE(decodeUtf8("\xC3"));          // cut short
    EXPECT_FALSE(decodeUtf8("\xED\xA0\x80"));  // an encoded surrogate
    EXPECT_EQ(decodeUtf8(QByteArray("a\0b", 3))->size(), 3);
}

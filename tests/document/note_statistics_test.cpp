#include "document/NoteStatistics.h"
#include "document/TextDecoding.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextBoundaryFinder>

#include <unistd.h>

using namespace flintly;

namespace {

qint64 finderCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qint64 count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// What the same bytes count when read whole.
TextCounts wholeCounts(const QByteArray& bytes)
{
    const auto text = decodeUtf8(bytes);
    return text ? countText(*text) : TextCounts{};
}

QString utf8(const char* bytes) { return QString::fromUtf8(bytes); }

class FolderTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) { writeFile(path(name), bytes); }

    QTemporaryDir dir;
};

}  // namespace

TEST(GraphemeCountTest, CountsUserPerceivedCharacters)
{
    EXPECT_EQ(graphemeCount(u""), 0);
    EXPECT_EQ(graphemeCount(u"plain"), 5);
    EXPECT_EQ(graphemeCount(u"a\r\nb\n\r"), 5);  // CR LF is one, LF CR two
    EXPECT_EQ(graphemeCount(utf8("e\xCC\x81"
                                 "e\xCC\x81\xCC\xA3")),
              2);                                       // letters with combining marks
    EXPECT_EQ(graphemeCount(utf8("\r\n\xCC\x81")), 2);  // a mark cannot join a line break
    EXPECT_EQ(graphemeCount(utf8("x\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB"
                                 "y")),
              3);                                                                           // woman + ZWJ + laptop
    EXPECT_EQ(graphemeCount(utf8("\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD")), 1);                  // thumbs up + skin tone
    EXPECT_EQ(graphemeCount(utf8("\xF0\x9F\x87\xBA\xF0\x9F\x87\xB8\xF0\x9F\x87\xAC")), 2);  // US flag + lone RI
    EXPECT_EQ(graphemeCount(utf8("1\xEF\xB8\x8F\xE2\x83\xA3!")), 2);                        // keycap one
    EXPECT_EQ(graphemeCount(utf8("\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8"
                                 "a")),
              2);                                                   // Hangul L V T
    EXPECT_EQ(graphemeCount(utf8("\xEA\xB0\x80\xEB\x82\x98")), 2);  // precomposed syllables
    // A prefixing character (ARABIC NUMBER SIGN) joins the ASCII digit after it.
    EXPECT_EQ(graphemeCount(utf8("\xD8\x80"
                                 "12")),
              2);
}

// The ASCII fast path must agree with the boundary finder on any mix of text.
TEST(GraphemeCountTest, AgreesWithTheBoundaryFinder)
{
    const QStringList pieces = {"a",
                                "1",
                                " ",
                                "\r",
                                "\n",
                                utf8("\xCC\x81"),
                                utf8("\xE2\x80\x8D"),
                                utf8("\xF0\x9F\x91\xA9"),
                                utf8("\xF0\x9F\x8F\xBD"),
                                utf8("\xF0\x9F\x87\xBA"),
                                utf8("\xE1\x84\x80"),
                                utf8("\xE1\x85\xA1"),
                                utf8("\xE1\x86\xA8"),
                                utf8("\xEA\xB0\x80"),
                                utf8("\xD8\x80"),
                                utf8("\xEF\xB8\x8F"),
                                utf8("\xE6\x97\xA5"),
                                utf8("\xEF\xBB\xBF")};
    QRandomGenerator rng(7);
    for (int round = 0; round < 5000; ++round) {
        QString text;
        const int length = rng.bounded(1, 14);
        for (int k = 0; k < length; ++k)
            text += pieces[rng.bounded(pieces.size())];
        ASSERT_EQ(graphemeCount(text), finderCount(text)) << text.toUtf8().toHex(' ').toStdString();
    }
}

TEST(CountTextTest, TickedTodoLines)
{
    EXPECT_EQ(countText(u"- [x] lower\nnote - [X] upper\n").todosDone, 2);
    EXPECT_EQ(countText(u"- [x] both - [X] here\n").todosDone, 1);
    EXPECT_EQ(countText(u"- [ ] open\n-[x] tight\n- [x missing\n- [y] other\n").todosDone, 0);
    // A false start right before the marker must not hide it.
    EXPECT_EQ(countText(u"- - [x]\n- [- [X]").todosDone, 2);
    // Every kind of line break separates lines, not just LF.
    EXPECT_EQ(countText(u"- [x]\r- [x]\r\n- [x]\u2028- [x]").todosDone, 4);
    EXPECT_EQ(countText(u"- [x]").characters, 5);
}

TEST_F(FolderTest, CountsMarkdownNotesDirectlyInTheFolder)
{
    write("one.md", "- [x] ab\n");  // 9 characters, 1 to-do
    write("two.MD", "- [X] cd");    // 8 characters, 1 to-do
    write("other.txt", "- [x] not a note\n");
    write("markdown", "no extension\n");
    write(".hidden.md", "- [x] hidden\n");
    ASSERT_TRUE(QDir(dir.path()).mkpath("sub"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("folder.md"));
    write("sub/inner.md", "- [x] below\n");

    const auto stats = computeFolderStatistics(dir.path());
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->noteCount, 2);
    EXPECT_EQ(stats->charCount, 17);
    EXPECT_EQ(stats->todoDone, 2);
}

TEST_F(FolderTest, BadNotesCountAsEmptyNotes)
{
    write("good.md", "abc");
    write("latin1.md", "caf\xE9 - [x]\n");
    write("truncated.md", "ab\xE6\x97");
    write("unreadable.md", "- [x] secret\n");
    ASSERT_TRUE(QFile::setPermissions(path("unreadable.md"), QFileDevice::Permissions()));

    const auto stats = computeFolderStatistics(dir.path());
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->noteCount, 4);
    const bool root = geteuid() == 0;  // root reads it anyway
    EXPECT_EQ(stats->charCount, root ? 3 + 13 : 3);
    EXPECT_EQ(stats->todoDone, root ? 1 : 0);
}

TEST_F(FolderTest, NothingWhenTheFolderIsMissingOrTheCallerGivesUp)
{
    EXPECT_FALSE(computeFolderStatistics(path("missing")));
    EXPECT_FALSE(computeFolderStatistics(QString()));
    write("file.md", "x");
    EXPECT_FALSE(computeFolderStatistics(path("file.md")));

    write("second.md", "y");
    int asked = 0;
    EXPECT_FALSE(computeFolderStatistics(dir.path(), [&] { return ++asked < 2; }));
    EXPECT_EQ(asked, 2);
}

TEST_F(FolderTest, NotesAtAndAboveTheThresholdCountAlike)
{
    // Lines of mixed width, so chunk boundaries fall inside characters, clusters and
    // markers alike.
    const QByteArray line =
        "- [x] caf\xC3\xA9 \xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB \xE6\x97\xA5\xE6\x9C\xAC\r\n";
    QByteArray body;
    while (body.size() + line.size() <= kLargeNoteThreshold)
        body += line;
    body += QByteArray(kLargeNoteThreshold - body.size(), 'z');
    ASSERT_EQ(body.size(), kLargeNoteThreshold);
    const TextCounts expected = wholeCounts(body);
    ASSERT_GT(expected.todosDone, 0);

    write("exact.md", body);
    const auto exact = computeFolderStatistics(dir.path());
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->charCount, expected.characters);
    EXPECT_EQ(exact->todoDone, expected.todosDone);

    // One more byte and the note is read in chunks.
    ASSERT_TRUE(QFile::remove(path("exact.md")));
    write("above.md", body + "z");
    const auto above = computeFolderStatistics(dir.path());
    ASSERT_TRUE(above);
    EXPECT_EQ(above->charCount, expected.characters + 1);
    EXPECT_EQ(above->todoDone, expected.todosDone);
}

TEST_F(FolderTest, ChunkBoundariesDoNotChangeTheCounts)
{
    const QList<QByteArray> straddlers = {
        "\xE6\x97\xA5",                                  // three-byte character
        "\xF0\x9F\x98\x80",                              // four-byte character
        "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB",  // emoji ZWJ sequence
        "\xF0\x9F\x87\xBA\xF0\x9F\x87\xB8",              // flag
        "e\xCC\x81\xCC\xA3",                             // letter with marks
        "\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8",          // Hangul jamo
        "\r\n",
        "\xEF\xBB\xBF",  // ZERO WIDTH NO-BREAK SPACE mid-file
        "\n- [x] \n",
        "- [X]- [x]",
    };
    for (const QByteArray& straddler : straddlers) {
        for (int back = 0; back <= straddler.size() + 1; ++back) {
            QByteArray bytes(kStatisticsChunkSize - back, 'a');
            bytes += straddler;
            bytes += QByteArray(1000, 'b');
            writeFile(path("note.md"), bytes);
            const TextCounts expected = wholeCounts(bytes);
            const TextCounts got = processLargeFileStreaming(path("note.md"));
            ASSERT_EQ(got.characters, expected.characters) << straddler.toHex().toStdString() << " back " << back;
            ASSERT_EQ(got.todosDone, expected.todosDone) << straddler.toHex().toStdString() << " back " << back;
        }
    }
}

TEST_F(FolderTest, ChunkedTextWithoutAsciiCountsExactly)
{
    // Three-byte characters never line up with 64 KiB chunks; a cut character must be
    // carried, not let the rest of the file go astray.
    QByteArray bytes;
    for (int k = 0; k < 150'000; ++k)
        bytes += k % 1000 == 999 ? QByteArray("\n") : QByteArray("\xE6\x97\xA5");
    bytes += "\xEA\xB0\x80\xEB\x82\x98";  // and no ASCII at all at the end
    for (int k = 0; k < 40'000; ++k)
        bytes += "\xEA\xB0\x80";
    writeFile(path("cjk.md"), bytes);
    const TextCounts got = processLargeFileStreaming(path("cjk.md"));
    EXPECT_EQ(got.characters, wholeCounts(bytes).characters);
    EXPECT_EQ(got.characters, 150'000 + 2 + 40'000);
}

TEST_F(FolderTest, ChunkedReadingSurvivesBadBytes)
{
    EXPECT_EQ(processLargeFileStreaming(path("missing.md")).characters, 0);

    // A bad byte costs the chunk it is in; the chunks around it still count.
    QByteArray bytes(3 * kStatisticsChunkSize, 'a');
    bytes[kStatisticsChunkSize + 10] = '\xFF';
    writeFile(path("bad.md"), bytes);
    const TextCounts bad = processLargeFileStreaming(path("bad.md"));
    EXPECT_GE(bad.characters, 2 * kStatisticsChunkSize - 2);
    EXPECT_LT(bad.characters, 3 * kStatisticsChunkSize - 1);

    // A file that ends inside a character keeps what came before it.
    writeFile(path("cut.md"), QByteArray(kStatisticsChunkSize + 5, 'a') + "\xE6\x97");
    EXPECT_EQ(processLargeFileStreaming(path("cut.md")).characters, kStatisticsChunkSize + 5);

    // A byte-order mark at the start is not a character.
    writeFile(path("bom.md"),
              "\xEF\xBB\xBF"
              "abc");
    EXPECT_EQ(processLargeFileStreaming(path("bom.md")).characters, 3);

    // One letter under marks that run over many chunks: the count ends, roughly right.
    QByteArray marks("e");
    for (int k = 0; k < 200'000; ++k)
        marks += "\xCC\x81";
    writeFile(path("marks.md"), marks);
    const TextCounts piled = processLargeFileStreaming(path("marks.md"));
    EXPECT_GE(piled.characters, 1);
    EXPECT_LE(piled.characters, 1 + marks.size() / kStatisticsChunkSize + 1);
}

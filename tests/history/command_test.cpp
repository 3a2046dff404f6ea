// `flintly --history NOTE [--print ID]`: the listing people and scripts read, and
// versions given back byte for byte.
#include "HistoryFixture.h"

#include "history/HistoryCommand.h"

#include <cstdio>
#include <ctime>

using namespace flintly;
using namespace flintly::test;

namespace {

struct Output {
    int code = 0;
    QByteArray out, err;
};

class Command : public HistoryFixture {
protected:
    // A zone whose offset is neither zero nor whole hours, so a listed time that left out
    // the offset, or got its sign or minutes wrong, names another moment.
    void SetUp() override
    {
        HistoryFixture::SetUp();
        savedZone_ = qgetenv("TZ");
        qputenv("TZ", "America/St_Johns");
        tzset();
    }
    void TearDown() override
    {
        HistoryFixture::TearDown();
        if (savedZone_.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", savedZone_);
        tzset();
    }

    Output run(const QString& path, std::optional<qint64> version = std::nullopt)
    {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        Output r;
        r.code = history::runHistoryCommand(path, version, out, err, options);
        for (auto [file, bytes] : {std::pair{out, &r.out}, std::pair{err, &r.err}}) {
            std::rewind(file);
            char buffer[4096];
            for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
                bytes->append(buffer, static_cast<qsizetype>(n));
            std::fclose(file);
        }
        return r;
    }

private:
    QByteArray savedZone_;
};

}  // namespace

TEST_F(Command, ListsNewestFirstAndGivesEachVersionBackByteForByte)
{
    // A note made elsewhere, with a byte-order mark and CRLF line ends.
    const QString path = note(QStringLiteral("Windows note.md"));
    const QByteArray original("\xEF\xBB\xBF# From Windows\r\nline\r\n");
    writeBytes(path, original);
    auto& m = makeModelWithHistory();
    m.open(QUrl::fromLocalFile(path));
    m.setText(m.text() + QStringLiteral("more\r\n"));
    m.save();
    advance(6 * 60'000);
    m.setText(QStringLiteral("# From Windows\r\n"));
    m.save();
    history->drain();

    const auto stored = versionsOf(path);
    ASSERT_EQ(stored.size(), 3u);
    const Output listing = run(path);
    ASSERT_EQ(listing.code, 0) << listing.err.toStdString();
    const QList<QByteArray> lines = listing.out.split('\n');
    ASSERT_EQ(lines.size(), 4) << listing.out.toStdString();  // three and the final newline
    EXPECT_TRUE(lines.last().isEmpty());
    const QStringList expectedReasons{history::reason::interval, history::reason::firstSave, history::reason::opened};
    QDateTime previous;
    for (int i = 0; i < 3; ++i) {
        const QList<QByteArray> fields = lines[i].split('\t');
        ASSERT_EQ(fields.size(), 4) << lines[i].toStdString();
        bool numeric = false;
        const qint64 id = fields[0].toLongLong(&numeric);
        ASSERT_TRUE(numeric);
        const QDateTime when = QDateTime::fromString(QString::fromLatin1(fields[1]), Qt::ISODate);
        ASSERT_TRUE(when.isValid()) << fields[1].toStdString();
        EXPECT_TRUE(fields[1].endsWith("-03:30") || fields[1].endsWith("-02:30"))
            << "carries its offset: " << fields[1].toStdString();
        EXPECT_EQ(when.toSecsSinceEpoch(), stored[i].time.toSecsSinceEpoch()) << fields[1].toStdString();
        if (previous.isValid()) {
            EXPECT_LE(when, previous) << "newest first";
        }
        previous = when;
        EXPECT_EQ(QString::fromLatin1(fields[3]), expectedReasons[i]);

        const Output printed = run(path, id);
        ASSERT_EQ(printed.code, 0);
        EXPECT_EQ(fields[2].toLongLong(), printed.out.size());
        if (i == 2) {
            EXPECT_EQ(printed.out, original) << "as the file held it";
        }
    }

    EXPECT_EQ(run(path, 999999).code, 1);
    const Output elsewhere = run(note(QStringLiteral("Never saved.md")));
    EXPECT_EQ(elsewhere.code, 1);
    EXPECT_TRUE(elsewhere.err.contains("no history")) << elsewhere.err.toStdString();

    // Renamed by another program, it is found by what the file holds.
    m.newNote();
    const QString moved = note(QStringLiteral("Moved elsewhere.md"));
    ASSERT_TRUE(QFile::rename(path, moved));
    EXPECT_EQ(run(moved).out, listing.out);

    // Deleted, it is still there by its old name.
    ASSERT_TRUE(QFile::remove(moved));
    EXPECT_EQ(run(path).out, listing.out);
}

TEST_F(Command, AVersionOfAnotherNoteIsNotPrintedForThisOne)
{
    auto& m = makeModelWithHistory();
    m.setText(QStringLiteral("One\ntext"));
    m.save();
    const QString one = m.filePath();
    m.newNote();
    m.setText(QStringLiteral("Two\ntext"));
    m.save();
    const QString two = m.filePath();
    const qint64 ofTwo = versionsOf(two).front().id;
    const Output r = run(one, ofTwo);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(run(two, ofTwo).out, QByteArray("Two\ntext"));
}

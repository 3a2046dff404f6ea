// The three-way merge of a big note whose both sides were edited at both ends: the
// user's edits and the file's are far apart, so the merge is clean, but every line
// between them has to be compared. Writes the three texts beside the note for the
// baseline to read, then prints the merge's median time.
#include "document/TextMerge.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace flintly;

namespace {

QString read(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

void write(const QString& path, const QString& text)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text.toUtf8());
}

// Replaces the first whole word `word` at or after `from`.
QString replaceWord(QString text, qsizetype from, const QString& word, const QString& by)
{
    const qsizetype at = text.indexOf(QLatin1Char(' ') + word + QLatin1Char(' '), from);
    return at < 0 ? text : text.replace(at + 1, word.size(), by);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: merge_bench NOTE RUNS\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int runs = std::max(1, std::atoi(argv[2]));
    const QString base = read(path);
    if (base.isEmpty()) {
        std::fprintf(stderr, "merge_bench: cannot read %s\n", argv[1]);
        return 2;
    }
    // Near the start and near the end, on both sides, never the same words.
    const qsizetype end = base.size() - 2000;
    QString ours = replaceWord(base, 100, QStringLiteral("note"), QStringLiteral("NOTE"));
    ours =
        replaceWord(ours, end, QStringLiteral("plan"), QStringLiteral("PLAN")) + QStringLiteral("\nTyped at the end.");
    QString theirs = replaceWord(base, 600, QStringLiteral("idea"), QStringLiteral("IDEA"));
    theirs = replaceWord(theirs, end + 600, QStringLiteral("sync"), QStringLiteral("SYNC"));
    write(path + QStringLiteral(".ours"), ours);
    write(path + QStringLiteral(".theirs"), theirs);

    std::vector<double> ms;
    TextMerge::Result r;
    for (int i = 0; i <= runs; ++i) {
        QElapsedTimer t;
        t.start();
        r = TextMerge::merge(base, ours, theirs);
        if (i > 0)  // the first run warms the caches
            ms.push_back(t.nsecsElapsed() / 1e6);
    }
    if (!r.clean || r.changesTaken != 2) {
        std::fprintf(stderr, "merge_bench: the merge was not the clean one expected (%d changes)\n", r.changesTaken);
        return 1;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("note %lld bytes, edits at both ends on both sides\n", static_cast<long long>(base.toUtf8().size()));
    std::printf("merge_ms %.2f\n", ms[ms.size() / 2]);
    return 0;
}

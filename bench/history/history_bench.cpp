// The history's two promises about time: taking a version of a 1 MB note costs the GUI
// thread under 2 ms (the work itself is the history thread's), and the 10,000 versions
// of one note are listed, as `flintly --history` lists them, in under 50 ms.
// Prints each figure beside its budget; exits 1 when one is over.
#include "history/HistoryCommand.h"
#include "history/HistoryStore.h"
#include "history/NoteHistory.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace flintly;
using namespace flintly::history;

namespace {
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

QString prose(qsizetype bytes, quint32 seed)
{
    static const char* words[] = {"note", "the", "plan", "- [ ] call", "meeting", "and", "**draft**", "ideas\n"};
    QRandomGenerator random(seed);
    QString s = QStringLiteral("# A big note\n\n");
    while (s.size() < bytes) {
        s += QLatin1String(words[random.bounded(8)]);
        s += QLatin1Char(' ');
    }
    return s;
}

bool report(const char* what, double value, double budget)
{
    const bool ok = value <= budget;
    std::printf("%-52s %9.3f ms | budget %7.1f ms | %s\n", what, value, budget, ok ? "ok" : "OVER");
    return ok;
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The benchmark's folder on the build's disk, not a RAM disk.
    QTemporaryDir home(QDir::currentPath() + QStringLiteral("/history-bench-XXXXXX"));
    setLogObserver({});
    bool ok = true;

    // 1. A version of a 1 MB note, as a save hands it over, and as a replacement does.
    {
        HistoryStore::Options options;
        options.folder = home.filePath(QStringLiteral("versions"));
        NoteHistory history(options);
        const QString path = home.filePath(QStringLiteral("Big.md"));
        std::vector<double> saves, replacements;
        constexpr int kRounds = 40;
        std::vector<QString> texts;
        for (int i = 0; i <= kRounds; ++i)
            texts.push_back(prose(1 << 20, i));
        QString previous = texts[0];
        QElapsedTimer worker;
        worker.start();
        for (int i = 1; i <= kRounds; ++i) {
            QString text = texts[i];
            const QDateTime when = QDateTime(QDate(2026, 3, 1), QTime(9, 0), Qt::UTC).addSecs(400 * i);
            QElapsedTimer t;
            t.start();
            history.noteSaving({path, previous, text, false, i == 1, when});
            saves.push_back(t.nsecsElapsed() / 1e6);
            t.restart();
            history.noteReplacing({path, text, previous, false, NoteVersionSink::Cause::outsideChange, when});
            replacements.push_back(t.nsecsElapsed() / 1e6);
            previous = std::move(text);
        }
        history.drain();
        ok &= report("version of a 1 MB note at a save, GUI thread", median(saves), 2);
        ok &= report("version of a 1 MB note before a replacement, GUI thread", median(replacements), 2);
        std::printf("%-52s %9.3f ms (for information)\n", "history thread, per 1 MB version taken",
                    worker.nsecsElapsed() / 1e6 / (2 * kRounds));
    }

    // 2. 10,000 versions of one note, listed.
    {
        HistoryStore::Options options;
        options.folder = home.filePath(QStringLiteral("listing"));
        const QString path = home.filePath(QStringLiteral("Busy.md"));
        {
            HistoryStore store(options);
            store.open();
            const qint64 note = store.noteAt(path, {});
            const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-80);
            for (int i = 0; i < 10'000; ++i)
                store.addVersion(note, Content(prose(600, 1000 + i).toUtf8()), reason::interval,
                                 start.addSecs(600 * i));
        }
        std::FILE* sink = std::fopen("/dev/null", "w");
        std::vector<double> listings, queries;
        for (int i = 0; i < 11; ++i) {
            QElapsedTimer t;
            t.start();
            if (runHistoryCommand(path, std::nullopt, sink, stderr, options) != 0)
                return 1;
            if (i > 0)  // the first warms the caches
                listings.push_back(t.nsecsElapsed() / 1e6);
        }
        HistoryStore store(options);
        store.open();
        const qint64 note = *store.findNote(path);
        size_t listed = 0;
        for (int i = 0; i < 10; ++i) {
            QElapsedTimer t;
            t.start();
            listed = store.versions(note).size();
            queries.push_back(t.nsecsElapsed() / 1e6);
        }
        std::fclose(sink);
        if (listed != 10'000) {
            std::fprintf(stderr, "history bench: %zu versions listed, not 10,000\n", listed);
            return 1;
        }
        ok &= report("10,000 versions of one note listed (--history)", median(listings), 50);
        std::printf("%-52s %9.3f ms (for information)\n", "of which the store's query", median(queries));
    }
    return ok ? 0 : 1;
}

// The content search's figures on a folder of notes (times in milliseconds):
//   search_bench keystrokes DIR CACHE   typing in quick open with the index of DIR (built
//                                       into CACHE first if needed): from the debounce
//                                       firing to the text results in the list, per keystroke
//   search_bench build DIR CACHE        the index built from nothing, and how long the GUI
//                                       thread went unserved meanwhile
//   search_bench sets DIR CACHE OUT WORD...  each word's notes (by their text), from the
//                                       built index, one path a line into OUT/WORD.txt, and
//                                       the time per query
//   search_bench memory DIR CACHE names|index  resident memory with the folder listed,
//                                       without or with its index
#include "browser/QuickOpenModel.h"
#include "browser/Workspace.h"
#include "document/MarkdownModel.h"
#include "platform/SettingsStore.h"
#include "search/SearchEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <future>

using namespace flintly;

namespace {

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

long rssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Runs the event loop until `done`, checking every millisecond. (processEvents with a
// time limit never sleeps: it would spin this thread against the ones measured.)
void spinUntil(const std::function<bool()>& done)
{
    QTimer wake;
    wake.setInterval(1);
    wake.start();
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

search::SearchEngine::Options engineOptions(const QString& cache)
{
    search::SearchEngine::Options o;
    o.indexFile = cache.isEmpty() ? QString() : cache + QStringLiteral("/SearchIndex");
    o.saveDelayMs = 0;
    return o;
}

// A quick-open model browsing `dir`, scanned, with `engine` (or none).
struct Browser {
    Browser(const QString& dir, search::SearchEngine* engine)
        : settings(home.filePath(QStringLiteral("Flintly.conf"))), model(MarkdownModel::Dependencies(&settings))
    {
        QuickOpenModel::Dependencies deps;
        deps.settings = &settings;
        deps.model = &model;
        deps.search = engine;
        browser = std::make_unique<QuickOpenModel>(std::move(deps));
        browser->workspace().browse(QUrl::fromLocalFile(dir));
        spinUntil([this] { return !browser->isScanning(); });
    }
    QTemporaryDir home;
    SettingsStore settings;
    MarkdownModel model;
    std::unique_ptr<QuickOpenModel> browser;
};

// The notes of `dir` as the browser lists them.
search::Listing listingOf(const QString& dir, Browser*& keep)
{
    keep = new Browser(dir, nullptr);
    return NoteIndex(std::vector<FileInfo>(keep->browser->files())).listing();
}

void ensureIndex(search::SearchEngine& engine, const search::Listing& listing, const QString& dir)
{
    engine.keepCurrent(dir, listing);
    engine.waitUntilIdle();
    engine.saveNow();
}

int keystrokes(const QString& dir, const QString& cache)
{
    search::SearchEngine engine(engineOptions(cache));
    Browser b(dir, &engine);
    ensureIndex(engine, NoteIndex(std::vector<FileInfo>(b.browser->files())).listing(), dir);
    // Typed as people type: each word grows a letter at a time; every prefix of three
    // letters or more is one applied query (the debounce firing).
    const QStringList words = {"meeting",    "recipe garden", "budget travel", "release notes", "design review",
                               "alpha beta", "cloud sync",    "health music",  "unknownword",   "project plan"};
    std::vector<double> times;
    std::size_t rows = 0;
    for (const QString& phrase : words) {
        for (qsizetype n = 3; n <= phrase.size(); ++n) {
            const QString q = phrase.left(n);
            if (q.endsWith(QLatin1Char(' ')))
                continue;
            QElapsedTimer clock;
            clock.start();
            b.browser->applyQuery(q);
            spinUntil([&] { return !b.browser->isSearchingText(); });
            QCoreApplication::processEvents();
            times.push_back(clock.nsecsElapsed() / 1e6);
            rows = std::max(rows, b.browser->rowCount());
        }
    }
    std::printf("notes %zu\nkeystrokes %zu\nmedian_ms %.2f\np95_ms %.2f\nmax_ms %.2f\nmax_rows %zu\n",
                b.browser->files().size(), times.size(), percentile(times, 0.5), percentile(times, 0.95),
                percentile(times, 1.0), rows);
    return 0;
}

int build(const QString& dir)
{
    Browser* keep = nullptr;
    const search::Listing listing = listingOf(dir, keep);
    search::SearchEngine engine(engineOptions(QString()));
    // A timer every 10 ms on the GUI thread: how late its ticks come is how long the
    // GUI thread (typing, painting) could not run.
    double worst = 0;
    QElapsedTimer tick;
    tick.start();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, &probe, [&] {
        worst = std::max(worst, tick.nsecsElapsed() / 1e6 - 10);
        tick.restart();
    });
    probe.start();
    const double cpu0 = processCpuMs();
    QElapsedTimer clock;
    clock.start();
    engine.keepCurrent(dir, listing);
    std::atomic<bool> idle{false};
    auto waiter = std::async(std::launch::async, [&] {
        engine.waitUntilIdle();
        idle = true;
    });
    spinUntil([&] { return idle.load(); });
    const double ms = clock.nsecsElapsed() / 1e6;
    const double cpu = processCpuMs() - cpu0;
    qint64 bytes = 0;
    for (const auto& n : *listing)
        bytes += n.stamp.size;
    std::printf("notes %zu\ntext_bytes %lld\nbuild_ms %.0f\nbuild_cpu_ms %.0f\ngui_longest_late_ms %.1f\n"
                "index_memory_kib %zu\n",
                listing->size(), static_cast<long long>(bytes), ms, cpu, worst, engine.indexMemoryBytes() / 1024);
    return 0;
}

int sets(const QString& dir, const QString& cache, const QString& out, const QStringList& words)
{
    Browser* keep = nullptr;
    const search::Listing listing = listingOf(dir, keep);
    search::SearchEngine engine(engineOptions(cache));
    ensureIndex(engine, listing, dir);
    QDir().mkpath(out);
    for (const QString& word : words) {
        std::vector<double> times;
        search::WordHits hits;
        for (int run = 0; run < 6; ++run) {
            QElapsedTimer clock;
            clock.start();
            std::promise<search::WordHits> answer;
            engine.search(listing, search::SearchQuery::parse(word),
                          [&answer](search::WordHits h) { answer.set_value(std::move(h)); });
            hits = answer.get_future().get();
            if (run > 0)  // the first warms up
                times.push_back(clock.nsecsElapsed() / 1e6);
        }
        QFile file(out + QLatin1Char('/') + word + QStringLiteral(".txt"));
        file.open(QIODevice::WriteOnly);
        std::size_t count = 0;
        for (std::size_t i = 0; i < listing->size(); ++i)
            if (!hits.empty() && hits[0][i]) {
                file.write((*listing)[i].path.toUtf8() + '\n');
                ++count;
            }
        std::printf("word %s notes %zu median_ms %.3f\n", qPrintable(word), count, percentile(times, 0.5));
    }
    return 0;
}

int memory(const QString& dir, const QString& cache, bool withIndex)
{
    std::unique_ptr<search::SearchEngine> engine;
    if (withIndex)
        engine = std::make_unique<search::SearchEngine>(engineOptions(cache));
    Browser b(dir, engine.get());
    if (engine) {
        engine->waitUntilIdle();
        b.browser->applyQuery(QStringLiteral("meeting"));
        spinUntil([&] { return !b.browser->isSearchingText(); });
        std::printf("indexed %lld\n", static_cast<long long>(engine->indexedCount()));
    }
    QCoreApplication::processEvents();
    std::printf("rss_kib %ld\n", rssKiB());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: %s keystrokes|build|sets|memory DIR CACHE ...\n", argv[0]);
        return 2;
    }
    const QString mode = args[1], dir = args[2], cache = args[3];
    if (mode == u"keystrokes")
        return keystrokes(dir, cache);
    if (mode == u"build")
        return build(dir);
    if (mode == u"sets" && args.size() > 5)
        return sets(dir, cache, args[4], args.mid(5));
    if (mode == u"memory" && args.size() > 4)
        return memory(dir, cache, args[4] == u"index");
    std::fprintf(stderr, "unknown mode %s\n", argv[1]);
    return 2;
}

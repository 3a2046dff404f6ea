// The note browser's figures on a folder of notes:
//   browser_bench scan DIR [runs]   walking the tree (as the background scan does), then
//                                   preparing the list (sorting and folding the names)
//   browser_bench list DIR          the quick-open view over the folder: filtering per
//                                   applied query, changing the sort mode, memory
//   browser_bench pin CONF DIR      stores DIR as the one pinned folder in settings file
//                                   CONF, for running the app against it
// Medians over the runs; times in milliseconds.
#include "browser/FolderScanner.h"
#include "browser/NoteIndex.h"
#include "browser/QuickOpenModel.h"
#include "browser/Workspace.h"
#include "document/MarkdownModel.h"
#include "platform/SettingsStore.h"
#include "quickopen/QuickOpenView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <thread>
#include <vector>

using namespace flintly;

namespace {

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
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

int scan(const QString& dir, int runs)
{
    std::vector<double> wall, cpu, prepare, pauses;
    std::size_t notes = 0;
    for (int i = 0; i <= runs; ++i) {  // the first run warms the caches and is not counted
        QElapsedTimer clock;
        clock.start();
        const double cpu0 = cpuMs();
        // The pauses are timed apart: the kernel rounds each 1 ms sleep up a little.
        double paused = 0;
        ScanControl control;
        control.pause = [&paused] {
            QElapsedTimer p;
            p.start();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            paused += p.nsecsElapsed() / 1e6;
        };
        std::vector<FileInfo> files = scanFolder(dir, control);
        const double w = clock.nsecsElapsed() / 1e6;
        const double c = cpuMs() - cpu0;
        notes = files.size();
        clock.restart();
        auto index = NoteIndex::sortedBy(std::move(files), SortMode::modifiedDesc);
        const double p = clock.nsecsElapsed() / 1e6;
        if (i == 0)
            continue;
        wall.push_back(w);
        pauses.push_back(paused);
        cpu.push_back(c);
        prepare.push_back(p);
    }
    std::printf("notes %zu\nmedian_ms %.1f\nmedian_paused_ms %.1f\nmedian_cpu_ms %.1f\nprepare_ms %.1f\n", notes,
                median(wall), median(pauses), median(cpu), median(prepare));
    return 0;
}

int list(const QString& dir)
{
    QTemporaryDir home;
    SettingsStore settings(home.filePath(QStringLiteral("Flintly.conf")));
    MarkdownModel model{MarkdownModel::Dependencies(&settings)};
    QuickOpenModel::Dependencies deps;
    deps.settings = &settings;
    deps.model = &model;
    QuickOpenModel browser(std::move(deps));
    QuickOpenView view(&browser, 16);
    view.resize(360, 344);
    view.show();
    QApplication::processEvents();

    const long before = rssKiB();
    QElapsedTimer clock;
    clock.start();
    browser.workspace().browse(QUrl::fromLocalFile(dir));
    while (browser.isScanning())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QApplication::processEvents();
    const double listed = clock.nsecsElapsed() / 1e6;
    const long after = rssKiB();
    std::printf("notes %zu listed in %.0f ms (scan in the background)\n", static_cast<std::size_t>(browser.rowCount()),
                listed);
    std::printf("memory_added_kib %ld\n", after - before);

    const std::vector<std::pair<int, QStringList>> queries = {
        {1, QString::fromLatin1("abcdefghijklmnopqrstuvwxyz").split(QString(), Qt::SkipEmptyParts)},
        {2, {"no", "al", "be", "ga", "de", "id", "me", "pr", "to", "re", "dr", "pl", "co", "te", "bu"}},
        {5,
         {"alpha", "gamma", "delta", "meeti", "proje", "revie", "draft", "00012", "note-", "-beta", "desig", "budge",
          "trave", "recip", "garde"}},
    };
    for (const auto& [length, set] : queries) {
        std::vector<double> times;
        std::size_t rows = 0;
        for (const QString& q : set) {
            clock.restart();
            browser.applyQuery(q);
            QApplication::processEvents();  // the list view lays the new rows out
            times.push_back(clock.nsecsElapsed() / 1e6);
            rows = std::max(rows, browser.rowCount());
        }
        std::printf("filter_%d_median_ms %.2f (max %.2f, up to %zu rows, %lld queries)\n", length, median(times),
                    *std::max_element(times.begin(), times.end()), rows, static_cast<long long>(set.size()));
    }
    // The same queries on the prepared notes alone, without the list model and view.
    const auto index = NoteIndex::sortedBy(std::vector<FileInfo>(browser.files()), SortMode::modifiedDesc);
    for (const auto& [length, set] : queries) {
        std::vector<double> times;
        for (const QString& q : set) {
            clock.restart();
            const auto rows = index->matchNames(search::SearchQuery::parse(q), SortMode::modifiedDesc);
            times.push_back(clock.nsecsElapsed() / 1e6);
        }
        std::printf("filter_%d_index_only_median_ms %.2f (max %.2f)\n", length, median(times),
                    *std::max_element(times.begin(), times.end()));
    }
    browser.applyQuery(QString());

    std::vector<double> sorts;
    for (SortMode mode : sortmode::all()) {
        if (mode == browser.workspace().sortMode())
            continue;
        clock.restart();
        browser.workspace().setSortMode(mode);
        QApplication::processEvents();
        sorts.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::printf("sort_change_median_ms %.1f (max %.1f, each mode the first time)\n", median(sorts),
                *std::max_element(sorts.begin(), sorts.end()));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s scan DIR [runs] | list DIR | pin CONF DIR\n", argv[0]);
        return 2;
    }
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString dir = QString::fromLocal8Bit(argv[2]);
    if (mode == u"scan")
        return scan(dir, argc > 3 ? std::atoi(argv[3]) : 5);
    if (mode == u"list")
        return list(dir);
    if (mode == u"pin" && argc > 3) {
        SettingsStore settings(dir);
        Workspace::savePinned(settings, {QUrl::fromLocalFile(QString::fromLocal8Bit(argv[3]))});
        return 0;
    }
    std::fprintf(stderr, "unknown mode %s\n", argv[1]);
    return 2;
}

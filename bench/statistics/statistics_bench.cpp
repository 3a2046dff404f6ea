// statistics_bench <folder> [passes]
//   Runs the statistics pass over <folder> once to warm the cache, then <passes> times
//   (default 5), and prints the figures, each pass's wall and processor time and the
//   medians.
// statistics_bench --memory <folder>
//   Runs one pass and prints how far the peak resident memory rose above what the
//   process held just before it.
#include "document/NoteStatistics.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace flintly;

namespace {

// A figure of /proc/self/status in KiB, or -1.
qint64 statusKiB(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Lowers the peak mark to the current size, so the next peak is the pass's own.
bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

void printFigures(const FolderStatistics& s)
{
    std::printf("notes %lld characters %lld todos %lld\n", static_cast<long long>(s.noteCount),
                static_cast<long long>(s.charCount), static_cast<long long>(s.todoDone));
}

int measureMemory(const QString& folder)
{
    const bool reset = resetPeak();
    const qint64 before = statusKiB(reset ? "VmRSS" : "VmHWM");
    QElapsedTimer timer;
    timer.start();
    const auto stats = computeFolderStatistics(folder);
    const qint64 ms = timer.elapsed();
    const qint64 peak = statusKiB("VmHWM");
    if (!stats) {
        std::fprintf(stderr, "cannot list %s\n", qPrintable(folder));
        return 1;
    }
    printFigures(*stats);
    std::printf("time_ms %lld\n", static_cast<long long>(ms));
    std::printf("rss_before_kib %lld peak_kib %lld increase_kib %lld%s\n", static_cast<long long>(before),
                static_cast<long long>(peak), static_cast<long long>(peak - before),
                reset ? "" : " (peak mark could not be reset; increase is a lower bound)");
    return 0;
}

int measureTime(const QString& folder, int passes)
{
    const auto warm = computeFolderStatistics(folder);
    if (!warm) {
        std::fprintf(stderr, "cannot list %s\n", qPrintable(folder));
        return 1;
    }
    printFigures(*warm);
    // Wall time is what the user waits; processor time (user + system) tells the
    // same story on a machine that others keep busy.
    std::vector<double> wall, cpu;
    for (int k = 0; k < passes; ++k) {
        QElapsedTimer timer;
        timer.start();
        const std::clock_t cpuStart = std::clock();
        computeFolderStatistics(folder);
        cpu.push_back(1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        wall.push_back(timer.nsecsElapsed() / 1e6);
        std::printf("pass_ms %.1f cpu_ms %.1f\n", wall.back(), cpu.back());
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("median_ms %.1f\nmedian_cpu_ms %.1f\n", wall[wall.size() / 2], cpu[cpu.size() / 2]);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == QLatin1String("--memory"))
        return measureMemory(args[1]);
    if (args.size() == 1 || args.size() == 2) {
        const int passes = args.size() == 2 ? args[1].toInt() : 5;
        if (passes > 0)
            return measureTime(args[0], passes);
    }
    std::fprintf(stderr, "usage: statistics_bench <folder> [passes]\n       statistics_bench --memory <folder>\n");
    return 2;
}

// How long track() keeps its caller: the record is built and stored on the tracking
// queue, so the call itself should only copy the properties and queue them.
// Baseline: the 20 µs budget for the median call.
#include "BenchSupport.h"

#include <cstdio>

int main(int argc, char** argv)
{
    const int calls = argc > 1 ? std::atoi(argv[1]) : 2000;
    bench::ScratchFolder folder;
    flintly::analytics::AnalyticsInstance instance(bench::options(folder.path));

    std::vector<double> micros;
    micros.reserve(static_cast<size_t>(calls));
    for (int n = 0; n < calls; ++n) {
        const auto props = bench::typicalProperties(n);
        const auto begin = bench::Clock::now();
        instance.track("first_save", props);
        micros.push_back(bench::seconds(bench::Clock::now() - begin) * 1e6);
    }
    const auto drainBegin = bench::Clock::now();
    instance.waitForPendingWork();
    const double drain = bench::seconds(bench::Clock::now() - drainBegin);

    std::sort(micros.begin(), micros.end());
    const double median = micros[micros.size() / 2];
    const double p99 = micros[micros.size() * 99 / 100];
    std::printf("track(): %d calls, median %.2f us, p99 %.2f us, max %.2f us; queue drained %.2f s later\n", calls,
                median, p99, micros.back(), drain);
    bench::report("track() median", median, "us", "budget", 20.0);
    return median < 20.0 ? 0 : 1;
}

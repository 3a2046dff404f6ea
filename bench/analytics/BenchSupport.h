#pragma once

#include "analytics/AnalyticsInstance.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A scratch folder of its own, removed when the run ends.
struct ScratchFolder {
    std::string path;
    ScratchFolder()
    {
        char pattern[] = "/tmp/flintly-analytics-bench-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~ScratchFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

inline flintly::analytics::InstanceOptions options(const std::string& folder, const std::string& serverURL = {})
{
    flintly::analytics::InstanceOptions o;
    o.token = "benchtoken";
    o.flushInterval = 0;
    o.serverURL = serverURL;
    o.cacheDirectory = folder + "/cache";
    o.suiteFile = folder + "/config/Analytics.json";
    flintly::analytics::DeviceInfo device;
    device.screenWidth = 2560;
    device.screenHeight = 1440;
    device.appVersion = "0.1.0";
    device.appBuildNumber = "1";
    device.osVersion = "Debian GNU/Linux 12 (bookworm)";
    device.manufacturer = "LENOVO";
    device.model = "ThinkPad X1 Carbon Gen 11";
    o.device = device;
    return o;
}

// The properties of a typical app event ("first_save").
inline flintly::analytics::Properties typicalProperties(int n)
{
    return {{"noteId", "5D2C6F0A-1111-4222-8333-944455556666"}, {"chars", n}};
}

// "name value unit baseline-value ratio" on one line, for run.sh to collect.
inline void report(const char* name, double value, const char* unit, const char* baselineName, double baseline)
{
    std::printf("%-34s %10.3f %-3s | %-38s %10.3f %-3s | ratio %.2f\n", name, value, unit, baselineName, baseline, unit,
                value / baseline);
}

}  // namespace bench

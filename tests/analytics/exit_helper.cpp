// The app's analytics from launch to exit, in a process of its own for exit_test: start
// as the app does, record, flush into a server that never answers, and once told (a line
// on standard input) record what the app records at quit and leave as main() does.
//   exit_helper <folder>
#include "analytics/Analytics.h"
#include "analytics/AppEvents.h"

#include <cstdio>
#include <iostream>
#include <string>

using namespace flintly::analytics;

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::string folder = argv[1];
    InstanceOptions base;
    base.cacheDirectory = folder + "/cache";
    base.suiteFile = folder + "/config/Analytics.json";
    base.networkTimeouts = {30, 60};  // only quitting may end the hanging request
    base.device = DeviceInfo{};
    startAppAnalytics("5D2C6F0A-1111-4222-8333-944455556666", base);
    flintly::events::createNote(flintly::usageTracker(), "5D2C6F0A-1111-4222-8333-944455556666");
    Analytics::mainInstance()->flush(true);

    std::string line;
    std::getline(std::cin, line);
    flintly::events::focusSessionEnd(flintly::usageTracker(), "5D2C6F0A-1111-4222-8333-944455556666", 42.0, false);
    shutdownAppAnalytics();
    return 0;
}

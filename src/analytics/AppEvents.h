#pragma once

#include "analytics/AnalyticsUsageTracker.h"

#include "core/AppEvents.h"
#include "core/UsageTracker.h"

#include <cstdint>
#include <optional>
#include <string>

namespace flintly::analytics {

// The analytics values of the build (FLINTLY_ANALYTICS_TOKEN, FLINTLY_ANALYTICS_URL),
// each overridden by the environment variable of the same name when it is set.
struct AppAnalyticsConfig {
    std::string token;      // "AnalyticsToken"; empty: nothing stored, nothing requested
    std::string serverURL;  // empty: nothing sent, records wait in the store
    // FLINTLY_ANALYTICS_DEBUG=1: the log shows what each batch holds (folder paths of
    // the user among it), not only how many records went where.
    bool logBatchContents = false;
};
AppAnalyticsConfig appAnalyticsConfig();

// The app's start-up sequence: initialise the client (flush every 60 s, logging on),
// identify the user by the note model's debug id with people use on, record
// "app_launch". `tracker` becomes the process's usage tracker and must outlive its use.
void startAppAnalytics(AnalyticsUsageTracker& tracker, const std::string& debugId, const AppAnalyticsConfig& config);
// The same with a tracker of the process's own and the build's values.
AnalyticsUsageTracker& startAppAnalytics(const std::string& debugId, InstanceOptions base = {});
// The app's end of analytics, after its event loop and before main returns: events
// from now on go nowhere, and the client is shut down (Analytics::shutdown) while
// everything it logs to still exists.
void shutdownAppAnalytics();

}  // namespace flintly::analytics

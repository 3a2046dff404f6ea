#include "analytics/AppEvents.h"

#include "analytics/Analytics.h"

#include <cstdlib>

namespace flintly::analytics {

namespace {
std::string overridable(const char* variable, const char* built)
{
    if (const char* value = std::getenv(variable))
        return value;
    return built;
}
}  // namespace

AppAnalyticsConfig appAnalyticsConfig()
{
    const char* debug = std::getenv("FLINTLY_ANALYTICS_DEBUG");
    return {overridable("FLINTLY_ANALYTICS_TOKEN", FLINTLY_BUILD_ANALYTICS_TOKEN),
            overridable("FLINTLY_ANALYTICS_URL", FLINTLY_BUILD_ANALYTICS_URL), debug && std::string(debug) == "1"};
}

void startAppAnalytics(AnalyticsUsageTracker& tracker, const std::string& debugId, const AppAnalyticsConfig& config)
{
    setUsageTracker(&tracker);
    TrackerOptions options;
    options.loggingEnabled = true;
    options.flushIntervalSeconds = 60;
    options.serverUrl = config.serverURL;
    tracker.setLogBatchContents(config.logBatchContents);
    tracker.initialize(config.token, options);
    tracker.identify(debugId);
    events::appLaunch(tracker);
}

AnalyticsUsageTracker& startAppAnalytics(const std::string& debugId, InstanceOptions base)
{
    if (!base.device) {
        DeviceInfo device = readDeviceInfo();
        device.appVersion = device.appBuildNumber = FLINTLY_BUILD_APP_VERSION;
        base.device = device;
    }
    static AnalyticsUsageTracker tracker(std::move(base));
    startAppAnalytics(tracker, debugId, appAnalyticsConfig());
    return tracker;
}

void shutdownAppAnalytics()
{
    setUsageTracker(nullptr);
    Analytics::shutdown();
}

}  // namespace flintly::analytics

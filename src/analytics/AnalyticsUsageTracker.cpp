#include "analytics/AnalyticsUsageTracker.h"

#include "analytics/Analytics.h"

namespace flintly::analytics {

AnalyticsUsageTracker::AnalyticsUsageTracker(InstanceOptions base) : base_(std::move(base)) {}

void AnalyticsUsageTracker::initialize(const std::string& token, const TrackerOptions& options)
{
    InstanceOptions instanceOptions = base_;
    instanceOptions.token = token;
    instanceOptions.trackAutomaticEvents = false;
    instanceOptions.flushInterval = options.flushIntervalSeconds;
    instanceOptions.instanceName.reset();
    instanceOptions.optOutTrackingByDefault = false;
    instanceOptions.useUniqueDistinctId = false;
    instanceOptions.superProperties = nullptr;
    instanceOptions.serverURL = options.serverUrl;
    instanceOptions.useGzipCompression = false;
    instanceOptions.loggingEnabled = options.loggingEnabled;
    const auto instance = Analytics::initialize(std::move(instanceOptions));
    // A client made earlier under the same name keeps its own setting otherwise.
    if (instance->loggingEnabled() != options.loggingEnabled)
        instance->setLoggingEnabled(options.loggingEnabled);
}

void AnalyticsUsageTracker::identify(const std::string& distinctId)
{
    Analytics::mainInstance()->identify(distinctId, true);
}

void AnalyticsUsageTracker::track(const std::string& event, const TrackProperties& properties)
{
    Analytics::mainInstance()->track(event, toProperties(properties));
}

void AnalyticsUsageTracker::applicationDidBecomeActive() { Analytics::mainInstance()->applicationDidBecomeActive(); }

void AnalyticsUsageTracker::applicationWillResignActive() { Analytics::mainInstance()->applicationWillResignActive(); }

Properties AnalyticsUsageTracker::toProperties(const TrackProperties& properties)
{
    Properties out = Properties::object();
    for (const auto& [key, value] : properties)
        std::visit([&](const auto& v) { out[key] = v; }, value);
    return out;
}

}  // namespace flintly::analytics

#include "analytics/AppEvents.h"

#include "analytics/Analytics.h"

#include <cmath>
#include <cstdlib>

namespace flintly::analytics {

namespace events {

void appLaunch(UsageTracker& tracker) { tracker.track(kAppLaunch); }

void createNote(const std::string& noteId, UsageTracker& tracker) { tracker.track(kCreateNote, {{kNoteId, noteId}}); }

void firstSave(const std::string& noteId, std::int64_t characters, UsageTracker& tracker)
{
    tracker.track(kFirstSave, {{kNoteId, noteId}, {kChars, characters}});
}

void openExternalNote(const std::string& fileName, const std::string& folderPath, UsageTracker& tracker)
{
    tracker.track(kOpenExternalNote, {{kNoteId, fileName}, {kFolderPath, folderPath}});
}

void focusSessionEnd(const std::string& noteId, double seconds, const std::string& origin, UsageTracker& tracker)
{
    // A clock set back during the session must not report a negative duration.
    const auto whole = std::isfinite(seconds) && seconds > 0 ? static_cast<std::int64_t>(seconds) : 0;
    tracker.track(kFocusSessionEnd, {{kNoteId, noteId}, {kDurationSec, whole}, {kOrigin, origin}});
}

void importScanComplete(const std::string& folderPath, std::int64_t noteCount, UsageTracker& tracker)
{
    tracker.track(kImportScanComplete, {{kFolderPath, folderPath}, {kNoteCount, noteCount}});
}

bool isInsideFolder(const std::string& path, const std::string& folder)
{
    if (folder.empty())
        return false;
    std::string prefix = folder;
    while (prefix.size() > 1 && prefix.ends_with('/'))
        prefix.pop_back();
    if (prefix == "/")
        return path.starts_with('/');
    return path.size() > prefix.size() && path.starts_with(prefix) && path[prefix.size()] == '/';
}

const char* focusOrigin(bool isScratch, const std::optional<std::string>& notesFolder,
                        const std::optional<std::string>& filePath)
{
    if (!isScratch && notesFolder && filePath && !isInsideFolder(*filePath, *notesFolder))
        return kOriginExternal;
    return kOriginInternal;
}

}  // namespace events

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
            overridable("FLINTLY_ANALYTICS_URL", FLINTLY_BUILD_ANALYTICS_URL),
            debug && std::string(debug) == "1"};
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

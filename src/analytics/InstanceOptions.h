#pragma once

#include "analytics/AnalyticsTypes.h"
#include "analytics/AutomaticProperties.h"
#include "analytics/Network.h"
#include "analytics/QueueTrimmer.h"

#include <functional>
#include <optional>
#include <string>

namespace flintly::analytics {

// How one analytics client is made.
struct InstanceOptions {
    std::string token;
    bool trackAutomaticEvents = false;
    double flushInterval = 60;
    std::optional<std::string> instanceName;  // defaults to the token
    bool optOutTrackingByDefault = false;
    bool useUniqueDistinctId = false;
    Properties superProperties;  // null: none
    std::string serverURL;       // empty: records are kept and never sent
    bool useGzipCompression = false;
    // On before the client sets itself up, so its lines are in the log.
    bool loggingEnabled = false;
    // Uploaded records in the debug log, not only their count: they carry the user's
    // folder paths, so only when someone debugs the upload asks for it.
    bool logBatchContents = false;
    QueueLimits queueLimits;

    // Seams; the defaults are the real ones.
    std::optional<std::string> cacheDirectory;  // default: defaultCacheDirectory()
    std::optional<std::string> suiteFile;       // default: <config>/Analytics.json
    Clock clock;                                // default: the system clock
    NetworkTimeouts networkTimeouts;
    std::optional<DeviceInfo> device;  // default: readDeviceInfo()
    // Where completions run; the app passes a hop to its GUI thread. Default: on the
    // client's queue that finished the work.
    std::function<void(std::function<void()>)> completionDispatcher;
};

}  // namespace flintly::analytics

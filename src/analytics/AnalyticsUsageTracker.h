#pragma once

#include "analytics/AnalyticsInstance.h"

#include "core/UsageTracker.h"

#include <memory>

namespace flintly::analytics {

// The app's usage tracker backed by the analytics client's main instance.
class AnalyticsUsageTracker final : public UsageTracker {
public:
    // `base` carries what TrackerOptions does not: folders, device facts, the hop to the
    // GUI thread for completions. Its token, interval and server URL are replaced.
    explicit AnalyticsUsageTracker(InstanceOptions base = {});

    // Automatic events off, no instance name, no super properties, gzip off.
    void initialize(const std::string& token, const TrackerOptions& options) override;
    // With people use on, so profile updates queued earlier are released.
    void identify(const std::string& distinctId) override;
    // Never blocks: the record is built and stored on the client's tracking queue.
    void track(const std::string& event, const TrackProperties& properties = {}) override;

    // The app forwards its activation changes: active starts the flush timer, inactive
    // stops it and flushes once.
    void applicationDidBecomeActive();
    void applicationWillResignActive();

    // Whether the log shows the records of each uploaded batch (see InstanceOptions).
    void setLogBatchContents(bool enabled) { base_.logBatchContents = enabled; }

    static Properties toProperties(const TrackProperties& properties);

private:
    InstanceOptions base_;
};

}  // namespace flintly::analytics

#pragma once

#include "core/UsageTracker.h"

#include <mutex>
#include <vector>

namespace flintly::test {

struct TrackedEvent {
    std::string name;
    TrackProperties properties;
};

// Keeps every call so tests can check which events app code records, with which
// properties, without any analytics backend.
class RecordingUsageTracker final : public UsageTracker {
public:
    void initialize(const std::string& token, const TrackerOptions& options) override
    {
        std::lock_guard lock(mutex_);
        initializedToken = token;
        initializedOptions = options;
    }
    void identify(const std::string& distinctId) override
    {
        std::lock_guard lock(mutex_);
        identified.push_back(distinctId);
    }
    void track(const std::string& event, const TrackProperties& properties) override
    {
        std::lock_guard lock(mutex_);
        events.push_back({event, properties});
    }

    std::vector<TrackedEvent> named(const std::string& name) const
    {
        std::lock_guard lock(mutex_);
        std::vector<TrackedEvent> out;
        for (const auto& e : events)
            if (e.name == name)
                out.push_back(e);
        return out;
    }

    std::string initializedToken;
    TrackerOptions initializedOptions;
    std::vector<std::string> identified;
    std::vector<TrackedEvent> events;

private:
    mutable std::mutex mutex_;
};

}  // namespace flintly::test

#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>

namespace flintly {

// Values the app attaches to events: text or whole numbers, nothing else, so every
// backend can store them without guessing at types.
using TrackValue = std::variant<std::string, std::int64_t>;
using TrackProperties = std::map<std::string, TrackValue>;

struct TrackerOptions {
    bool loggingEnabled = false;
    double flushIntervalSeconds = 60.0;
    std::string serverUrl;
};

// The seam between app code and the analytics client: models and controllers record
// usage through this and never know whether anything is sent.
class UsageTracker {
public:
    virtual ~UsageTracker() = default;
    virtual void initialize(const std::string& token, const TrackerOptions& options) = 0;
    virtual void identify(const std::string& distinctId) = 0;
    virtual void track(const std::string& event, const TrackProperties& properties = {}) = 0;
};

// Records nothing; stands in until the app installs a real tracker.
class NullUsageTracker final : public UsageTracker {
public:
    void initialize(const std::string&, const TrackerOptions&) override {}
    void identify(const std::string&) override {}
    void track(const std::string&, const TrackProperties&) override {}
};

// The process-wide tracker the app installed (a NullUsageTracker until then). The
// pointer is owned elsewhere and must outlive its use; set it before threads start.
UsageTracker& usageTracker();
void setUsageTracker(UsageTracker* tracker);

std::string toString(const TrackValue& value);

}  // namespace flintly

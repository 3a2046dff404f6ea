#include "core/UsageTracker.h"

#include <atomic>

namespace flintly {

namespace {
NullUsageTracker g_nullTracker;
std::atomic<UsageTracker*> g_tracker{&g_nullTracker};
}  // namespace

UsageTracker& usageTracker() { return *g_tracker.load(); }

void setUsageTracker(UsageTracker* tracker) { g_tracker.store(tracker ? tracker : &g_nullTracker); }

std::string toString(const TrackValue& value)
{
    if (const auto* s = std::get_if<std::string>(&value))
        return *s;
    return std::to_string(std::get<std::int64_t>(value));
}

}  // namespace flintly

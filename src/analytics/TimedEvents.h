#pragma once

#include <map>
#include <optional>
#include <string>

namespace flintly::analytics {

class AnalyticsPersistence;

// The events being timed, each with its start (seconds since 1970), kept across runs:
// the next event of that name takes its duration. Each change is saved at once. Used
// on the tracking queue only.
class TimedEvents {
public:
    // Takes the saved ones; until then, and without a store, changes are kept in memory.
    void restore(AnalyticsPersistence& persistence);

    void start(const std::string& event, double startTime);
    void clear(const std::string& event);
    void clearAll();
    // The start of `event`, which is no longer timed afterwards. Saved by `saveTaken()`,
    // once the event that took it is stored.
    std::optional<double> take(const std::string& event);
    void saveTaken();

private:
    void save();

    AnalyticsPersistence* persistence_ = nullptr;
    std::map<std::string, double> starts_;
    bool taken_ = false;
};

}  // namespace flintly::analytics

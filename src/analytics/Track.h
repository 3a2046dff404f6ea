#pragma once

#include "analytics/AnalyticsPersistence.h"
#include "analytics/AnalyticsTypes.h"
#include "analytics/SessionMetadata.h"
#include "analytics/TimedEvents.h"

#include <optional>
#include <string>

namespace flintly::analytics {

// 1000 × seconds, rounded to the nearest whole number with halves away from zero.
double roundedMilliseconds(double seconds);

// Drops (and logs) every property whose value is outside the client's value family,
// so one bad value costs that property, not the event or the process.
void dropInvalidProperties(Properties& properties);

// Builds complete records and stores them. Runs on the tracking queue only.
class Track {
public:
    Track(std::string apiToken, Properties automaticEventProperties, Properties automaticPeopleProperties,
          SessionMetadata& metadata, AnalyticsPersistence& persistence);

    // Stores the event and returns the record, or nullopt when it is dropped. Takes a
    // finished timed event from `timedEvents` (the caller saves them).
    std::optional<nlohmann::json> track(const std::optional<std::string>& event, Properties properties,
                                        double captureTime, TimedEvents& timedEvents, const Properties& superProperties,
                                        const Identity& identity, bool automaticEventsEnabled);

    // A people record for `action` ("$set", "$add", ...); stored with flag 1 while the
    // user has not been identified with people use on.
    nlohmann::json trackPeople(const std::string& action, nlohmann::json value, double captureTime, bool ignoreTime,
                               const Identity& identity);

    nlohmann::json trackGroup(const std::string& action, nlohmann::json value, double captureTime,
                              const std::string& groupKey, const nlohmann::json& groupID);

    const Properties& automaticEventProperties() const { return automaticEventProperties_; }

private:
    std::string apiToken_;
    Properties automaticEventProperties_;
    Properties automaticPeopleProperties_;
    SessionMetadata& metadata_;
    AnalyticsPersistence& persistence_;
};

}  // namespace flintly::analytics

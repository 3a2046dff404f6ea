#include "analytics/Track.h"

#include "analytics/AnalyticsLogger.h"
#include "analytics/JSONHandler.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace flintly::analytics {

namespace {
const char* typeName(const nlohmann::json& value)
{
    if (value.is_binary())
        return "Data";
    if (value.is_number())
        return "Double";
    return value.type_name();
}

std::string describeValue(const nlohmann::json& value)
{
    if (value.is_binary())
        return std::to_string(value.get_binary().size()) + " bytes";
    if (value.is_number())
        return JSONHandler::formatDouble(value.get<double>());
    return JSONHandler::serializeJSONObject(value);
}

// The first offending leaf, for the log line.
const nlohmann::json* firstInvalid(const nlohmann::json& value)
{
    if (value.is_object() || value.is_array()) {
        for (const auto& item : value)
            if (const auto* bad = firstInvalid(item))
                return bad;
        return nullptr;
    }
    return JSONHandler::isValidPropertyValue(value) ? nullptr : &value;
}
}  // namespace

double roundedMilliseconds(double seconds) { return std::round(seconds * 1000); }

void dropInvalidProperties(Properties& properties)
{
    if (!properties.is_object()) {
        properties = Properties::object();
        return;
    }
    for (auto it = properties.begin(); it != properties.end();) {
        if (const auto* bad = firstInvalid(*it)) {
            ANALYTICS_ERROR(std::string("Property values must be of valid type (AnalyticsType) and valid value. Got ")
                            + typeName(*bad) + " and Value " + describeValue(*bad));
            it = properties.erase(it);
        } else {
            ++it;
        }
    }
}

Track::Track(std::string apiToken, Properties automaticEventProperties, Properties automaticPeopleProperties,
             SessionMetadata& metadata, AnalyticsPersistence& persistence)
    : apiToken_(std::move(apiToken)), automaticEventProperties_(std::move(automaticEventProperties)),
      automaticPeopleProperties_(std::move(automaticPeopleProperties)), metadata_(metadata), persistence_(persistence)
{}

std::optional<nlohmann::json> Track::track(const std::optional<std::string>& event, Properties properties,
                                           double captureTime, TimedEvents& timedEvents,
                                           const Properties& superProperties, const Identity& identity,
                                           bool automaticEventsEnabled)
{
    std::string name = event.value_or("");
    if (name.empty()) {
        ANALYTICS_INFO("analytics track called with empty event parameter. using 'an_event'");
        name = "an_event";
    }
    if (!automaticEventsEnabled && name.starts_with("$ae_"))
        return std::nullopt;
    dropInvalidProperties(properties);

    Properties p = automaticEventProperties_;
    p["token"] = apiToken_;
    p["time"] = roundedMilliseconds(captureTime);
    if (const auto start = timedEvents.take(name)) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.3f", captureTime - *start);
        p["$duration"] = std::strtod(buffer, nullptr);
    }
    p["distinct_id"] = identity.distinctId;
    if (identity.anonymousId)
        p["$device_id"] = *identity.anonymousId;
    if (identity.userId)
        p["$user_id"] = *identity.userId;
    if (identity.hadPersistedDistinctId)
        p["$had_persisted_distinct_id"] = *identity.hadPersistedDistinctId;
    if (superProperties.is_object())
        p.update(superProperties);
    p.update(properties);

    nlohmann::json record = {{"event", name}, {"properties", std::move(p)}};
    record["$an_metadata"] = metadata_.toDict(true);
    persistence_.saveEntity(record, PersistenceType::Events);
    return record;
}

nlohmann::json Track::trackPeople(const std::string& action, nlohmann::json value, double captureTime, bool ignoreTime,
                                  const Identity& identity)
{
    nlohmann::json record = {{"$token", apiToken_}, {"$time", roundedMilliseconds(captureTime)}};
    if (ignoreTime)
        record["$ignore_time"] = 1;
    if (action == "$set" || action == "$set_once") {
        Properties merged = automaticPeopleProperties_;
        if (value.is_object())
            merged.update(value);
        value = std::move(merged);
    }
    record[action] = std::move(value);
    record["$an_metadata"] = metadata_.toDict(false);
    if (identity.anonymousId)
        record["$device_id"] = *identity.anonymousId;
    if (identity.userId)
        record["$user_id"] = *identity.userId;
    if (identity.hadPersistedDistinctId)
        record["$had_persisted_distinct_id"] = *identity.hadPersistedDistinctId;
    const bool identified = identity.peopleDistinctId.has_value();
    if (identified)
        record["$distinct_id"] = *identity.peopleDistinctId;
    persistence_.saveEntity(record, PersistenceType::People, !identified);
    return record;
}

nlohmann::json Track::trackGroup(const std::string& action, nlohmann::json value, double captureTime,
                                 const std::string& groupKey, const nlohmann::json& groupID)
{
    nlohmann::json record = {{"$token", apiToken_}, {"$time", roundedMilliseconds(captureTime)}};
    record[action] = std::move(value);
    // Group records carry the people sequence: the metadata has only two counters.
    record["$an_metadata"] = metadata_.toDict(false);
    record["$group_key"] = groupKey;
    record["$group_id"] = groupID;
    persistence_.saveEntity(record, PersistenceType::Groups);
    return record;
}

}  // namespace flintly::analytics

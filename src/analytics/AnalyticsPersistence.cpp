#include "analytics/AnalyticsPersistence.h"

#include "analytics/AnalyticsLogger.h"
#include "analytics/JSONHandler.h"

namespace flintly::analytics {

namespace {
std::optional<std::string> optionalText(const nlohmann::json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    return std::nullopt;
}

std::optional<nlohmann::json> jsonOrRemove(const std::optional<std::string>& value)
{
    if (value)
        return nlohmann::json(*value);
    return std::nullopt;
}
}  // namespace

AnalyticsPersistence::AnalyticsPersistence(const std::string& instanceName, const std::string& cacheDirectory,
                                           const std::string& suitePath, QueueLimits limits)
    : instanceName_(instanceName), db_(instanceName, cacheDirectory, limits), suite_(suitePath)
{}

std::string AnalyticsPersistence::key(const char* suffix) const { return "analytics-" + instanceName_ + "-" + suffix; }

void AnalyticsPersistence::saveEntity(const nlohmann::json& entity, PersistenceType type, bool flag)
{
    db_.insertRow(type, JSONHandler::serializeJSONObject(entity), flag);
}

void AnalyticsPersistence::saveEntities(const std::vector<nlohmann::json>& entities, PersistenceType type, bool flag)
{
    for (const auto& entity : entities)
        saveEntity(entity, type, flag);
}

std::vector<nlohmann::json> AnalyticsPersistence::loadEntitiesInBatch(PersistenceType type, std::int64_t batchSize,
                                                                      bool flag, bool excludeAutomaticEvents,
                                                                      const std::string& distinctId)
{
    auto rows = db_.readRows(type, batchSize, flag);
    if (type == PersistenceType::Events && excludeAutomaticEvents) {
        std::erase_if(rows, [](const nlohmann::json& row) {
            const auto event = row.find("event");
            return event != row.end() && event->is_string() && event->get<std::string>().starts_with("$ae_");
        });
    }
    if (type == PersistenceType::People) {
        for (auto& row : rows)
            row["$distinct_id"] = distinctId;
    }
    return rows;
}

void AnalyticsPersistence::removeEntitiesInBatch(PersistenceType type, const std::vector<std::int64_t>& ids)
{
    db_.deleteRows(type, ids);
}

void AnalyticsPersistence::identifyPeople() { db_.updateRowsFlag(PersistenceType::People, false); }

void AnalyticsPersistence::resetEntities()
{
    for (auto type : {PersistenceType::Events, PersistenceType::People, PersistenceType::Groups})
        db_.deleteRows(type, {}, true);
}

void AnalyticsPersistence::saveSuperProperties(const Properties& properties)
{
    if (!suite_.setValue(key("superProperties"), JSONHandler::makeObjectSerializable(properties)))
        ANALYTICS_WARNING("Failed to archive super properties");
}

Properties AnalyticsPersistence::loadSuperProperties() const
{
    const auto value = suite_.value(key("superProperties"));
    if (value.is_object())
        return value;
    if (!value.is_null())
        ANALYTICS_WARNING("Failed to unarchive super properties");
    return Properties::object();
}

void AnalyticsPersistence::saveTimedEvents(const std::map<std::string, double>& timedEvents)
{
    if (!suite_.setValue(key("timedEvents"), nlohmann::json(timedEvents)))
        ANALYTICS_WARNING("Failed to archive timed events");
}

std::map<std::string, double> AnalyticsPersistence::loadTimedEvents() const
{
    std::map<std::string, double> timedEvents;
    const auto value = suite_.value(key("timedEvents"));
    if (value.is_null())
        return timedEvents;
    if (!value.is_object()) {
        ANALYTICS_WARNING("Failed to unarchive timed events");
        return timedEvents;
    }
    for (const auto& [event, start] : value.items()) {
        if (start.is_number())
            timedEvents[event] = start.get<double>();
    }
    return timedEvents;
}

void AnalyticsPersistence::saveIdentity(const Identity& identity)
{
    std::optional<nlohmann::json> hadPersisted;
    if (identity.hadPersistedDistinctId)
        hadPersisted = *identity.hadPersistedDistinctId;
    suite_.setValues({
        {key("ANDistinctID"), nlohmann::json(identity.distinctId)},
        {key("ANPeopleDistinctID"), jsonOrRemove(identity.peopleDistinctId)},
        {key("ANAnonymousId"), jsonOrRemove(identity.anonymousId)},
        {key("ANUserId"), jsonOrRemove(identity.userId)},
        {key("ANAlias"), jsonOrRemove(identity.alias)},
        {key("ANHadPersistedDistinctId"), hadPersisted},
    });
}

Identity AnalyticsPersistence::loadIdentity() const
{
    Identity identity;
    identity.distinctId = optionalText(suite_.value(key("ANDistinctID"))).value_or("");
    identity.peopleDistinctId = optionalText(suite_.value(key("ANPeopleDistinctID")));
    identity.anonymousId = optionalText(suite_.value(key("ANAnonymousId")));
    identity.userId = optionalText(suite_.value(key("ANUserId")));
    identity.alias = optionalText(suite_.value(key("ANAlias")));
    const auto had = suite_.value(key("ANHadPersistedDistinctId"));
    if (had.is_boolean())
        identity.hadPersistedDistinctId = had.get<bool>();
    return identity;
}

void AnalyticsPersistence::saveOptOutStatus(bool optedOut) { suite_.setValue(key("OptOutStatus"), optedOut); }

std::optional<bool> AnalyticsPersistence::loadOptOutStatus() const
{
    const auto value = suite_.value(key("OptOutStatus"));
    if (value.is_boolean())
        return value.get<bool>();
    return std::nullopt;
}

}  // namespace flintly::analytics

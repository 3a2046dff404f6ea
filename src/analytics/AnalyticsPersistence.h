#pragma once

#include "analytics/AnalyticsDB.h"
#include "analytics/AnalyticsSuite.h"
#include "analytics/AnalyticsTypes.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace flintly::analytics {

// One client's storage: the record queues in SQLite and its small state (super
// properties, timed events, identity, opt-out) in the "Analytics" suite, under keys
// "analytics-{instanceName}-...". Used only from the client's serial queues.
class AnalyticsPersistence {
public:
    // An empty `suitePath` keeps the small state in memory only.
    AnalyticsPersistence(const std::string& instanceName, const std::string& cacheDirectory,
                         const std::string& suitePath, QueueLimits limits = {});

    void saveEntity(const nlohmann::json& entity, PersistenceType type, bool flag = false);
    void saveEntities(const std::vector<nlohmann::json>& entities, PersistenceType type, bool flag = false);

    // Oldest first. Events named "$ae_..." are left out when `excludeAutomaticEvents`;
    // people records get `distinctId` as "$distinct_id", whatever they held, since the
    // user may have been identified after they were queued.
    std::vector<nlohmann::json> loadEntitiesInBatch(PersistenceType type, std::int64_t batchSize, bool flag,
                                                    bool excludeAutomaticEvents, const std::string& distinctId);
    void removeEntitiesInBatch(PersistenceType type, const std::vector<std::int64_t>& ids);
    // Releases people updates that were held back until the user was identified.
    void identifyPeople();
    void resetEntities();

    void saveSuperProperties(const Properties& properties);
    Properties loadSuperProperties() const;
    void saveTimedEvents(const std::map<std::string, double>& timedEvents);
    std::map<std::string, double> loadTimedEvents() const;
    void saveIdentity(const Identity& identity);
    Identity loadIdentity() const;
    void saveOptOutStatus(bool optedOut);
    std::optional<bool> loadOptOutStatus() const;

    AnalyticsDB& database() { return db_; }
    const std::string& instanceName() const { return instanceName_; }

private:
    std::string key(const char* suffix) const;

    std::string instanceName_;
    AnalyticsDB db_;
    AnalyticsSuite suite_;
};

}  // namespace flintly::analytics

#pragma once

#include "analytics/AnalyticsTypes.h"

#include <string>

namespace flintly::analytics {

class AnalyticsPersistence;

// The properties merged into every event, kept across runs: each change is saved at
// once. Used on the tracking queue only.
class SuperProperties {
public:
    // Takes the saved ones; until then, and without a store, changes are kept in memory.
    void restore(AnalyticsPersistence& persistence);

    const Properties& values() const { return values_; }
    void merge(const Properties& properties);
    void remove(const std::string& name);
    void clear();

    // The groups the user is in: each group key holds the list of the user's ids in it.
    void addGroupId(const std::string& groupKey, const Value& groupID);
    void removeGroupId(const std::string& groupKey, const Value& groupID);

private:
    void save();

    AnalyticsPersistence* persistence_ = nullptr;
    Properties values_ = Properties::object();
};

}  // namespace flintly::analytics

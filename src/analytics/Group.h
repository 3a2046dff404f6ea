#pragma once

#include "analytics/AnalyticsTypes.h"
#include "analytics/ProfileRecordQueue.h"

#include <string>
#include <vector>

namespace flintly::analytics {

// Updates of one group profile (a key such as "company" and the group's id), each
// queued as one group record.
class Group {
public:
    Group(ProfileRecordQueue& queue, std::string groupKey, nlohmann::json groupID)
        : queue_(queue), groupKey_(std::move(groupKey)), groupID_(std::move(groupID))
    {}

    void set(const Properties& properties);
    void setOnce(const Properties& properties);
    void unset(const std::vector<std::string>& propertyNames);
    void remove(const std::string& key, const Value& value);
    void union_(const std::string& key, const std::vector<Value>& values);
    void deleteGroup();

    const std::string& groupKey() const { return groupKey_; }
    const nlohmann::json& groupID() const { return groupID_; }

private:
    void addGroupRecordToQueue(const std::string& action, nlohmann::json value);

    ProfileRecordQueue& queue_;
    std::string groupKey_;
    nlohmann::json groupID_;
};

}  // namespace flintly::analytics

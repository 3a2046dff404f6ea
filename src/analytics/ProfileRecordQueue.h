#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace flintly::analytics {

// Where the people and group objects hand their profile updates: the client that
// completes them into records and stores them. All the two need of the client.
class ProfileRecordQueue {
public:
    // `action` is the operation key ("$set", "$add", "$delete", ...) with its value.
    virtual void queuePeopleRecord(const std::string& action, nlohmann::json value, bool ignoreTime) = 0;
    virtual void queueGroupRecord(const std::string& action, nlohmann::json value, const std::string& groupKey,
                                  const nlohmann::json& groupID) = 0;

protected:
    ~ProfileRecordQueue() = default;
};

}  // namespace flintly::analytics

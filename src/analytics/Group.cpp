#include "analytics/Group.h"

namespace flintly::analytics {

void Group::set(const Properties& properties) { addGroupRecordToQueue("$set", properties); }
void Group::setOnce(const Properties& properties) { addGroupRecordToQueue("$set_once", properties); }
void Group::unset(const std::vector<std::string>& propertyNames) { addGroupRecordToQueue("$unset", propertyNames); }
void Group::remove(const std::string& key, const Value& value) { addGroupRecordToQueue("$remove", {{key, value}}); }
void Group::union_(const std::string& key, const std::vector<Value>& values)
{
    addGroupRecordToQueue("$union", {{key, values}});
}
void Group::deleteGroup() { addGroupRecordToQueue("$delete", ""); }

void Group::addGroupRecordToQueue(const std::string& action, nlohmann::json value)
{
    queue_.queueGroupRecord(action, std::move(value), groupKey_, groupID_);
}

}  // namespace flintly::analytics

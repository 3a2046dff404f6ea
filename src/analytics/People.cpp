#include "analytics/People.h"

#include "analytics/JSONHandler.h"

#include <chrono>

namespace flintly::analytics {

void People::set(const Properties& properties) { addPeopleRecordToQueue("$set", properties); }
void People::setOnce(const Properties& properties) { addPeopleRecordToQueue("$set_once", properties); }
void People::unset(const std::vector<std::string>& propertyNames) { addPeopleRecordToQueue("$unset", propertyNames); }
void People::increment(const Properties& properties) { addPeopleRecordToQueue("$add", properties); }
void People::append(const Properties& properties) { addPeopleRecordToQueue("$append", properties); }
void People::remove(const Properties& properties) { addPeopleRecordToQueue("$remove", properties); }
void People::union_(const Properties& properties) { addPeopleRecordToQueue("$union", properties); }

void People::trackCharge(double amount, const Properties& properties)
{
    Properties transaction = properties.is_object() ? properties : Properties::object();
    transaction["$amount"] = amount;
    transaction["$time"] = JSONHandler::formatDate(std::chrono::system_clock::now());
    append({{"$transactions", transaction}});
}

void People::clearCharges() { set({{"$transactions", nlohmann::json::array()}}); }

void People::deleteUser() { addPeopleRecordToQueue("$delete", ""); }

void People::addPeopleRecordToQueue(const std::string& action, nlohmann::json value)
{
    queue_.queuePeopleRecord(action, std::move(value), ignoreTime);
}

}  // namespace flintly::analytics

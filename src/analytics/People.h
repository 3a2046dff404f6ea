#pragma once

#include "analytics/AnalyticsTypes.h"
#include "analytics/ProfileRecordQueue.h"

#include <string>
#include <vector>

namespace flintly::analytics {

// Updates of the user's profile, each queued as one people record.
class People {
public:
    explicit People(ProfileRecordQueue& queue) : queue_(queue) {}

    void set(const Properties& properties);
    void setOnce(const Properties& properties);
    void unset(const std::vector<std::string>& propertyNames);
    void increment(const Properties& properties);
    void append(const Properties& properties);
    void remove(const Properties& properties);
    void union_(const Properties& properties);
    void trackCharge(double amount, const Properties& properties = Properties::object());
    void clearCharges();
    void deleteUser();

    // Asks that this update not move the profile's last-seen time.
    bool ignoreTime = false;

private:
    void addPeopleRecordToQueue(const std::string& action, nlohmann::json value);

    ProfileRecordQueue& queue_;
};

}  // namespace flintly::analytics

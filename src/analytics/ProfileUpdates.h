#pragma once

#include "analytics/AnalyticsTypes.h"
#include "analytics/ProfileRecordQueue.h"
#include "analytics/UserIdentity.h"

#include "core/SerialQueue.h"

#include <atomic>
#include <string>

namespace flintly::analytics {

class Track;

// Completes the people and group objects' updates into profile records and stores
// them, on the client's tracking queue, unless the user has opted out.
class ProfileUpdates final : public ProfileRecordQueue {
public:
    // What it uses of its client, which outlives it.
    struct Client {
        SerialQueue& trackingQueue;
        const std::atomic<bool>& optedOut;
        Clock clock;
        const UserIdentity& identity;
    };
    explicit ProfileUpdates(Client client) : client_(std::move(client)) {}

    // The client's record builder, made once its store is open (on the tracking queue,
    // ahead of every update).
    void setRecordBuilder(Track& track) { track_ = &track; }

    void queuePeopleRecord(const std::string& action, nlohmann::json value, bool ignoreTime) override;
    void queueGroupRecord(const std::string& action, nlohmann::json value, const std::string& groupKey,
                          const nlohmann::json& groupID) override;

private:
    Client client_;
    Track* track_ = nullptr;
};

}  // namespace flintly::analytics

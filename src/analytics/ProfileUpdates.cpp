#include "analytics/ProfileUpdates.h"

#include "analytics/Track.h"

namespace flintly::analytics {

void ProfileUpdates::queuePeopleRecord(const std::string& action, nlohmann::json value, bool ignoreTime)
{
    if (client_.optedOut)
        return;
    const double captureTime = client_.clock();
    client_.trackingQueue.async([this, action, value = std::move(value), ignoreTime, captureTime]() mutable {
        if (client_.optedOut || !track_)
            return;
        if (value.is_object())
            dropInvalidProperties(value);
        track_->trackPeople(action, std::move(value), captureTime, ignoreTime, client_.identity.get());
    });
}

void ProfileUpdates::queueGroupRecord(const std::string& action, nlohmann::json value, const std::string& groupKey,
                                      const nlohmann::json& groupID)
{
    if (client_.optedOut)
        return;
    const double captureTime = client_.clock();
    client_.trackingQueue.async([this, action, value = std::move(value), groupKey, groupID, captureTime]() mutable {
        if (client_.optedOut || !track_)
            return;
        if (value.is_object())
            dropInvalidProperties(value);
        track_->trackGroup(action, std::move(value), captureTime, groupKey, groupID);
    });
}

}  // namespace flintly::analytics

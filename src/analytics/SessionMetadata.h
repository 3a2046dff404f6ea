#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

namespace flintly::analytics {

// Where a record stands in this run of the client: the server uses the session id and
// sequence numbers to spot gaps and duplicates. Used only on the tracking queue.
class SessionMetadata {
public:
    SessionMetadata();

    // The "$an_metadata" object of the next event (isEvent) or people record, whose
    // counter then moves on by one.
    nlohmann::json toDict(bool isEvent);

    // Two random 32-bit values as "%08x%08x".
    static std::string randomId();

    std::uint64_t eventsCounter = 0;
    std::uint64_t peopleCounter = 0;
    std::string sessionID;
    std::uint64_t sessionStartEpoch = 0;
};

}  // namespace flintly::analytics

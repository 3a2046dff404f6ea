#include "analytics/SessionMetadata.h"

#include <cstdio>
#include <random>

namespace flintly::analytics {

SessionMetadata::SessionMetadata() : sessionID(randomId()) {}

std::string SessionMetadata::randomId()
{
    thread_local std::mt19937 generator{std::random_device{}()};
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%08x%08x", static_cast<unsigned>(generator()),
                  static_cast<unsigned>(generator()));
    return buffer;
}

nlohmann::json SessionMetadata::toDict(bool isEvent)
{
    std::uint64_t& counter = isEvent ? eventsCounter : peopleCounter;
    nlohmann::json metadata = {
        {"$an_event_id", randomId()},
        {"$an_session_id", sessionID},
        {"$an_session_seq_id", counter},
        {"$an_session_start_sec", sessionStartEpoch},
    };
    ++counter;
    return metadata;
}

}  // namespace flintly::analytics

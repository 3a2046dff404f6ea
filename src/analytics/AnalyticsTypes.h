#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <string>

namespace flintly::analytics {

// Property values of the client: text, integers, doubles, booleans, null, and arrays and
// objects of these. Dates and URLs are given as text (see JSONHandler::formatDate).
using Value = nlohmann::json;
// Always a JSON object.
using Properties = nlohmann::json;

// The three record queues, each with its own table and upload path.
enum class PersistenceType { Events, People, Groups };

const char* rawValue(PersistenceType type);  // "events", "people", "groups"

// Who the records are about. "distinctId" goes into every record; the people id is
// known once the user was identified with people use on.
struct Identity {
    std::string distinctId;
    std::optional<std::string> peopleDistinctId;
    std::optional<std::string> anonymousId;
    std::optional<std::string> userId;
    std::optional<std::string> alias;
    std::optional<bool> hadPersistedDistinctId;
};

// Seconds since 1970. Injected so that back-off and timed events can be tested without
// waiting.
using Clock = std::function<double()>;
Clock systemClock();

}  // namespace flintly::analytics

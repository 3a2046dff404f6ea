#pragma once

#include "analytics/AnalyticsTypes.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace flintly::analytics {

// Turning records into bytes for the store and the upload, and back.
namespace JSONHandler {

// JSON text of the value after makeObjectSerializable. Invalid UTF-8 in texts (a file
// name from an old disk, say) is replaced by U+FFFD rather than failing the record.
std::string serializeJSONObject(const nlohmann::json& value);

// The body of an upload: the records as one JSON array; nullopt when it cannot be made.
std::optional<std::string> encodeAPIData(const std::vector<nlohmann::json>& records);

// Values JSON cannot carry (bytes, NaN, infinities) become their text description,
// each logged as "enforcing string on object".
nlohmann::json makeObjectSerializable(const nlohmann::json& value);

// Whether the value belongs to the property value family (recursively). Non-finite
// numbers and raw bytes do not.
bool isValidPropertyValue(const nlohmann::json& value);

// "yyyy-MM-dd'T'HH:mm:ss.SSS'Z'" in UTC: how dates travel as property values.
std::string formatDate(std::chrono::system_clock::time_point time);

// Shortest text that reads back as the same double, with ".0" on whole numbers
// (how numbers appear in log lines).
std::string formatDouble(double value);

}  // namespace JSONHandler

}  // namespace flintly::analytics
